// The machinery every plural class shares: a typed wrapper around one Collection.
//
// A wrapper decides its key rule (KeyOf) and, for wrappers that stand for a whole table, what
// adding saves (Save) and what removing deletes (Delete). Everything else (Count, Item by position
// or key, Remove, RemoveAll from last to first, enumeration, AddLoaded) lives here once. Items are
// shared references: adding an object does not copy it. A key is taken when the item is added;
// changing the item's field afterwards does not re-key it. Keys ignore the case of ASCII letters,
// and so do the Exists of every wrapper (FoldKey), as the catalogue file does.
//
// A table wrapper belongs to one catalogue (catalogue()), the one it was loaded from or first
// wrote to, and saves and deletes there. An add whose save fails leaves the wrapper as it was, and
// so does an add or a removal whose write scope rolls back later (store::Connection::OnRollback).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "frame/collection.h"
#include "frame/error.h"
#include "frame/object.h"
#include "store/catalogue_link.h"

namespace zel {

class KeyedCollection : public Object {
 public:
  // Number of items as a 16-bit count (Overflow above 32767), the width most wrappers report.
  int16_t Count() const;
  // Number of items as a 32-bit count, for the wrappers that report that width.
  int32_t CountLong() const { return items_.Count(); }
  // Removes by position or key; table wrappers delete the item's rows first.
  void Remove(Variant index);
  // Removes every item, last to first, through Remove.
  void RemoveAll();
  ObjectPtr NewEnum() const { return items_.NewEnum(); }

  // Adds an item read from the catalogue under the key rule, writing nothing. Library-internal.
  void AddLoaded(ObjectPtr item);

  // The item at a position (number) or under a key (text), untyped.
  ObjectPtr ItemObject(const Variant& index) const;
  bool empty() const { return items_.Count() == 0; }

  // Library-internal: the catalogue a table wrapper belongs to.
  CatalogueLink& catalogue() { return catalogue_; }
  // Library-internal: reads the row stored under `key`, which an import wrote, into this list
  // (store::CatalogueFile::SyncImported). Lists that take no imported rows leave it empty.
  virtual void SyncStored(store::CatalogueFile& database, std::string_view key);
  // Library-internal: keys the item under what its key rule gives now (after a renamed member was
  // saved); every member whose key changed, for RekeyChanged. Undone with the write scope.
  void Rekey(const Object& item);
  void RekeyChanged();
  // Raises 3022, naming both, when two members' key rule gives one key (a member renamed onto
  // another's key): a list save must not store one over the other. `what` names a member ("Alias").
  void RequireDistinctKeys(std::string_view what) const;

 protected:
  // Key of an item under the wrapper's rule; empty for wrappers without keys.
  virtual std::string KeyOf(const Object& item) const;
  // Stores an added item in the catalogue (table wrappers only).
  virtual void Save(Object& item);
  // Deletes a removed item's rows from the catalogue (table wrappers only).
  virtual void Delete(Object& item);

  // Adds under the key rule, then saves; returns the item. A duplicate key fails before any write,
  // and an item whose save fails is taken out again.
  ObjectPtr AddExisting(ObjectPtr item);
  // Adds under an explicit key (empty: none), writing nothing.
  void Insert(ObjectPtr item, const std::string& key);
  // Puts the item at a 0-based position under `key` (empty: none), in place.
  void SetKeyAt(size_t zero_based, const std::string& key);
  // Rekey of the member at a 0-based position.
  void RekeyAt(size_t zero_based);
  // Registers how to undo a change of the list if the catalogue's write scope rolls back.
  void UndoOnRollback(std::function<void()> undo);

  // Linear scan in order: true when `matches` holds for some item.
  template <class T, class Pred>
  bool AnyOf(Pred matches) const {
    for (const Variant& item : items_.Items()) {
      if (matches(static_cast<const T&>(*item.ToObject()))) return true;
    }
    return false;
  }

  Collection items_;
  CatalogueLink catalogue_;
};

// A wrapper whose items are all of class T.
template <class T>
class TypedCollection : public KeyedCollection {
 public:
  // The item at a position or under a key; fails as Collection does.
  std::shared_ptr<T> Item(Variant index) const {
    auto typed = std::dynamic_pointer_cast<T>(ItemObject(index));
    if (!typed) Raise(errc::kTypeMismatch);
    return typed;
  }
  // The items in order.
  std::vector<std::shared_ptr<T>> All() const {
    std::vector<std::shared_ptr<T>> all;
    for (const Variant& item : items_.Items()) {
      all.push_back(std::static_pointer_cast<T>(item.ToObject()));
    }
    return all;
  }
};

}  // namespace zel
