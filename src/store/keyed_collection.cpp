#include "store/keyed_collection.h"

#include <unordered_map>

#include "frame/text.h"
#include "store/catalogue_file.h"
#include "store/engine_errors.h"

namespace zel {

int16_t KeyedCollection::Count() const { return Variant(items_.Count()).ToInteger(); }

void KeyedCollection::Remove(Variant index) {
  ObjectPtr item = ItemObject(index);
  Delete(*item);
  size_t position = 0;
  while (items_.At(position).ToObject() != item) ++position;
  const std::string key = KeyOf(*item);
  items_.Remove(Variant(static_cast<int32_t>(position + 1)));
  UndoOnRollback([this, self = weak_from_this().lock(), item, position, key] {
    const Variant before = position < static_cast<size_t>(items_.Count())
                               ? Variant(static_cast<int32_t>(position + 1))
                               : Variant();
    items_.Add(Variant(item), key.empty() ? Variant() : Variant(key), before);
  });
}

void KeyedCollection::RemoveAll() {
  for (int32_t position = items_.Count(); position >= 1; --position) Remove(Variant(position));
}

void KeyedCollection::AddLoaded(ObjectPtr item) {
  const std::string key = KeyOf(*item);
  Insert(std::move(item), key);
}

ObjectPtr KeyedCollection::ItemObject(const Variant& index) const {
  return items_.Item(index).ToObject();
}

void KeyedCollection::SetKeyAt(size_t zero_based, const std::string& key) {
  const Variant item = items_.At(zero_based);
  const int32_t position = static_cast<int32_t>(zero_based + 1);
  items_.Remove(Variant(position));
  const Variant before = position <= items_.Count() ? Variant(position) : Variant();
  items_.Add(item, key.empty() ? Variant() : Variant(key), before);
}

void KeyedCollection::UndoOnRollback(std::function<void()> undo) {
  if (store::CatalogueFile* database = catalogue_.Peek()) {
    database->connection().OnRollback(std::move(undo));
  }
}

void KeyedCollection::Rekey(const Object& item) {
  for (size_t i = 0; i < static_cast<size_t>(items_.Count()); ++i) {
    if (items_.At(i).ToObject().get() == &item) return RekeyAt(i);
  }
}

void KeyedCollection::RekeyChanged() {
  for (size_t i = 0; i < static_cast<size_t>(items_.Count()); ++i) RekeyAt(i);
}

void KeyedCollection::RekeyAt(size_t zero_based) {
  const std::string& added = items_.FoldedKeyAt(zero_based);
  const std::string key = KeyOf(*items_.At(zero_based).ToObject());
  if (added.empty() || added == FoldKey(key)) return;
  // The folded key stands for the original spelling well enough to find the member again.
  const std::string previous = added;
  SetKeyAt(zero_based, key);
  auto self = weak_from_this().lock();
  UndoOnRollback([this, self, zero_based, previous] { SetKeyAt(zero_based, previous); });
}

void KeyedCollection::RequireDistinctKeys(std::string_view what) const {
  // Members read under one key (a stored row whose key another row's rule also gives) are two
  // rows already; only a member renamed since it was added can take another's key.
  struct Seen {
    std::string key;
    bool renamed;
  };
  std::unordered_map<std::string, Seen> seen;
  for (size_t i = 0; i < static_cast<size_t>(items_.Count()); ++i) {
    const std::string key = KeyOf(*items_.At(i).ToObject());
    if (key.empty()) continue;
    const std::string folded = FoldKey(key);
    const std::string& added = items_.FoldedKeyAt(i);
    const bool renamed = !added.empty() && added != folded;
    auto [it, fresh] = seen.emplace(folded, Seen{key, renamed});
    if (fresh || !(renamed || it->second.renamed)) continue;
    Raise(store::engine_errc::kDuplicateKey,
          std::string(what) + " '" + it->second.key + "' and '" + key +
              "' cannot both be stored: they have one key (the case of letters aside); rename one");
  }
}

std::string KeyedCollection::KeyOf(const Object&) const { return {}; }
void KeyedCollection::Save(Object&) {}
void KeyedCollection::Delete(Object&) {}

ObjectPtr KeyedCollection::AddExisting(ObjectPtr item) {
  if (!item) Raise(errc::kMissingObject);
  Insert(item, KeyOf(*item));
  try {
    Save(*item);
  } catch (...) {
    // An unsaved member would make every later save of the whole list fail on it.
    items_.Remove(Variant(items_.Count()));
    throw;
  }
  UndoOnRollback([this, self = weak_from_this().lock(), item] {
    for (int32_t position = items_.Count(); position >= 1; --position) {
      if (items_.At(static_cast<size_t>(position - 1)).ToObject() == item) {
        items_.Remove(Variant(position));
        return;
      }
    }
  });
  return item;
}

void KeyedCollection::Insert(ObjectPtr item, const std::string& key) {
  items_.Add(Variant(std::move(item)), key.empty() ? Variant() : Variant(key));
}

void KeyedCollection::SyncStored(store::CatalogueFile&, std::string_view) {}

}  // namespace zel
