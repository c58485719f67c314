#include "frame/collection.h"

#include "frame/error.h"
#include "frame/member_table.h"
#include "frame/text.h"

namespace zel {
namespace {

// The platform's errors, saying which key or position was asked for.
[[noreturn]] void RaiseUnknownKey(const Variant& key) {
  Raise(errc::kInvalidArgument,
        PlatformErrorText(errc::kInvalidArgument) + ": no item has the key '" + key.ToText() + "'");
}

[[noreturn]] void RaiseNoPosition(int32_t position, size_t count) {
  Raise(errc::kSubscriptOutOfRange, PlatformErrorText(errc::kSubscriptOutOfRange) +
                                        ": no item at position " + std::to_string(position) +
                                        " of " + std::to_string(count));
}

}  // namespace

const ClassInfo& Collection::Info() {
  static const ClassInfo info =
      ClassBuilder<Collection>("Collection")
          .Creatable()
          .Method("Add", &Collection::Add,
                  {Param("Item"), Optional("Key"), Optional("Before"), Optional("After")})
          .Get("Count", &Collection::Count)
          .Method("Item", &Collection::Item, {Param("Index")})
          .Default()
          .Method("Remove", &Collection::Remove, {Param("Index")})
          .Get("NewEnum", &Collection::NewEnum)
          .Enumerator()
          .Build();
  return info;
}

size_t Collection::Locate(const Variant& index) const {
  if (index.IsString()) {
    auto it = by_key_.find(ToLower(index.ToText()));
    if (it == by_key_.end()) RaiseUnknownKey(index);
    for (size_t i = 0; i < entries_.size(); ++i) {
      if (entries_[i] == it->second) return i;
    }
  }
  if (!index.IsNumeric() && index.type() != VarType::kDate) Raise(errc::kInvalidArgument);
  const int32_t position = index.ToLong();
  if (position < 1 || static_cast<size_t>(position) > entries_.size()) {
    RaiseNoPosition(position, entries_.size());
  }
  return static_cast<size_t>(position - 1);
}

void Collection::Add(Variant item, Variant key, Variant before, Variant after) {
  if (!before.IsEmpty() && !after.IsEmpty()) Raise(errc::kInvalidArgument);
  auto entry = std::make_shared<Entry>();
  entry->item = std::move(item);
  if (!key.IsEmpty()) {
    if (!key.IsString()) Raise(errc::kTypeMismatch);
    entry->folded_key = ToLower(key.ToText());
    if (by_key_.contains(entry->folded_key)) Raise(errc::kDuplicateKey);
  }
  size_t position = entries_.size();
  if (!before.IsEmpty()) position = Locate(before);
  if (!after.IsEmpty()) position = Locate(after) + 1;
  entries_.insert(entries_.begin() + static_cast<ptrdiff_t>(position), entry);
  if (!key.IsEmpty()) by_key_.emplace(entry->folded_key, entry);
}

Variant Collection::Item(Variant index) const {
  if (index.IsString()) {
    auto it = by_key_.find(ToLower(index.ToText()));
    if (it == by_key_.end()) RaiseUnknownKey(index);
    return it->second->item;
  }
  return entries_[Locate(index)]->item;
}

void Collection::Remove(Variant index) {
  const size_t position = Locate(index);
  if (!entries_[position]->folded_key.empty()) by_key_.erase(entries_[position]->folded_key);
  entries_.erase(entries_.begin() + static_cast<ptrdiff_t>(position));
}

ObjectPtr Collection::NewEnum() const { return std::make_shared<Enumerator>(Items()); }

bool Collection::HasKey(std::string_view key) const { return by_key_.contains(ToLower(key)); }

std::vector<Variant> Collection::Items() const {
  std::vector<Variant> items;
  items.reserve(entries_.size());
  for (const auto& entry : entries_) items.push_back(entry->item);
  return items;
}

void Collection::Clear() {
  entries_.clear();
  by_key_.clear();
}

const ClassInfo& Enumerator::Info() {
  static const ClassInfo info = ClassBuilder<Enumerator>("Enumerator").Build();
  return info;
}

bool Enumerator::Next(Variant& out) {
  if (position_ >= items_.size()) return false;
  out = items_[position_++];
  return true;
}

}  // namespace zel
