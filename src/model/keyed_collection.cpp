#include "model/keyed_collection.h"

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

std::string KeyedCollection::KeyOf(const Object&) const { return {}; }
void KeyedCollection::Save(Object&) {}
void KeyedCollection::Delete(Object&) {}

ObjectPtr KeyedCollection::AddExisting(ObjectPtr item) {
  if (!item) Raise(errc::kMissingObject);
  Insert(item, KeyOf(*item));
  Save(*item);
  return item;
}

void KeyedCollection::Insert(ObjectPtr item, const std::string& key) {
  items_.Add(Variant(std::move(item)), key.empty() ? Variant() : Variant(key));
}

}  // namespace zel
