#include "store/keyed_collection.h"

#include "frame/text.h"

namespace zel {

int16_t KeyedCollection::Count() const { return Variant(items_.Count()).ToInteger(); }

void KeyedCollection::Remove(Variant index) {
  ObjectPtr item = ItemObject(index);
  Delete(*item);
  items_.Remove(index);
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

bool KeyedCollection::KeptItsKey(size_t zero_based) const {
  const std::string& added = items_.FoldedKeyAt(zero_based);
  return added.empty() || added == FoldKey(KeyOf(*items_.At(zero_based).ToObject()));
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
  return item;
}

void KeyedCollection::Insert(ObjectPtr item, const std::string& key) {
  items_.Add(Variant(std::move(item)), key.empty() ? Variant() : Variant(key));
}

void KeyedCollection::SyncStored(store::CatalogueFile&, std::string_view) {}

}  // namespace zel
