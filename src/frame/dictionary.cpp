#include "frame/dictionary.h"

#include "frame/error.h"
#include "frame/member_table.h"
#include "frame/text.h"

namespace zel {
namespace {
constexpr int32_t kElementNotFound = 32811;
[[noreturn]] void RaiseNotFound(std::string_view key) {
  Raise(kElementNotFound, "Element not found: " + std::string(key));
}
}  // namespace

const ClassInfo& Dictionary::Info() {
  static const ClassInfo info =
      ClassBuilder<Dictionary>("Dictionary")
          .Creatable()
          .Method("Add", &Dictionary::Add, {Param("Key"), Param("Item")})
          .Method("Exists", &Dictionary::Exists, {Param("Key")})
          .Method("Item", &Dictionary::Item, {Param("Key")})
          .Default()
          .Method("SetItem", &Dictionary::SetItem, {Param("Key"), Param("Item")})
          .Method("Keys", &Dictionary::Keys)
          .Method("Items", &Dictionary::Items)
          .Method("Remove", &Dictionary::Remove, {Param("Key")})
          .Method("RemoveAll", &Dictionary::RemoveAll)
          .Get("Count", &Dictionary::Count)
          .Get("CompareMode", &Dictionary::GetCompareMode)
          .Build();
  return info;
}

std::string Dictionary::IndexKey(std::string_view key) const {
  return mode_ == kTextCompare ? FoldKey(key) : std::string(key);
}

void Dictionary::Add(std::string key, Variant item) {
  std::string index_key = IndexKey(key);
  if (index_.contains(index_key)) Raise(errc::kDuplicateKey);
  index_.emplace(std::move(index_key), entries_.size());
  entries_.emplace_back(std::move(key), std::move(item));
}

bool Dictionary::Exists(std::string_view key) const { return index_.contains(IndexKey(key)); }

Variant Dictionary::Item(std::string_view key) const {
  auto it = index_.find(IndexKey(key));
  if (it == index_.end()) RaiseNotFound(key);
  return entries_[it->second].second;
}

void Dictionary::SetItem(std::string key, Variant item) {
  auto it = index_.find(IndexKey(key));
  if (it == index_.end()) {
    Add(std::move(key), std::move(item));
  } else {
    entries_[it->second].second = std::move(item);
  }
}

std::shared_ptr<Array> Dictionary::Keys() const {
  auto keys = std::make_shared<Array>(entries_.size());
  for (size_t i = 0; i < entries_.size(); ++i) keys->At(i) = Variant(entries_[i].first);
  return keys;
}

std::shared_ptr<Array> Dictionary::Items() const {
  auto items = std::make_shared<Array>(entries_.size());
  for (size_t i = 0; i < entries_.size(); ++i) items->At(i) = entries_[i].second;
  return items;
}

void Dictionary::Remove(std::string_view key) {
  auto it = index_.find(IndexKey(key));
  if (it == index_.end()) RaiseNotFound(key);
  const size_t removed = it->second;
  index_.erase(it);
  entries_.erase(entries_.begin() + static_cast<ptrdiff_t>(removed));
  for (auto& [name, position] : index_) {
    if (position > removed) --position;
  }
}

void Dictionary::RemoveAll() {
  entries_.clear();
  index_.clear();
}

std::string Dictionary::TextOr(std::string_view key, std::string_view fallback) const {
  auto it = index_.find(IndexKey(key));
  return it == index_.end() ? std::string(fallback) : entries_[it->second].second.ToTextOrEmpty();
}

}  // namespace zel
