// The lazy rule of every sub-record of a profile, an episode or a series, and how it is saved.
//
// A sub-record is cached with the rows it was read from (Cached). Reading returns a cached object
// as it is; otherwise the empty object is cached first and then filled from the owner's catalogue
// (CatalogueLink::Find), so a failed fill leaves what was read so far. A record that names rows of
// the reference lists belongs to that catalogue. Without a catalogue the empty object stays cached
// for the life of its owner, or, for the sub-records that cannot be empty (kFail), the read fails
// with error 91 after caching it.
//
// Saving writes a cached object against the rows it was read from (store/row_images.h). An object
// set by a caller without a read replaces the owner's rows: they are read when it is first saved.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "frame/error.h"
#include "store/catalogue_link.h"
#include "store/row_images.h"

namespace zel {

enum class WithoutCatalogue { kStayEmpty, kFail };

// A sub-record and the stored rows it stands for: none until read (or, for an object a caller set,
// until saved).
template <class T, class Image>
struct Cached {
  std::shared_ptr<T> object;
  std::optional<Image> stored;
};

// The owner of sub-record rows as a save sees it: the identifier its rows carry, whether it has a
// stored row at all, and whether its rows were just moved to `id` from the identifier they were
// read under.
struct Owner {
  std::string id;
  bool stored = false;
  bool moved = false;

  // The list context of a table whose rows carry this owner in `table`'s owner column.
  template <class C>
  store::ListContext<C> Context(store::Table table,
                                std::function<std::string(const C&)> describe) const {
    const store::TableLayout& layout = store::Describe(table);
    const size_t column = layout.IndexOf(layout.owner);
    store::ListContext<C> context{
        {{column, store::StoredValue::Text(id)}}, {}, std::move(describe)};
    if (moved) context.expect = context.fixed;
    return context;
  }
  // " of 'P1'", for naming a sub-record in messages.
  std::string Of() const { return " of '" + id + "'"; }
};

template <class T, class Image, class Fill>
std::shared_ptr<T> LoadOnce(Cached<T, Image>& slot, CatalogueLink& owner, WithoutCatalogue absent,
                            Fill fill) {
  if (slot.object) return slot.object;
  slot.object = std::make_shared<T>();
  store::CatalogueFile* database = owner.Find();
  if (!database) {
    if (absent == WithoutCatalogue::kFail) Raise(errc::kMissingObject);
    return slot.object;
  }
  if constexpr (requires { slot.object->catalogue(); }) slot.object->catalogue().Bind(*database);
  slot.stored = fill(*database, *slot.object);
  return slot.object;
}

// Saves the cached object of `slot`, if any, with `save(database, owner, object, rows)`. When it
// was never read (a caller set it), the rows it replaces are read first with
// `load(database, owner id, scratch object)`; an owner without a stored row has none.
template <class T, class Image, class Load, class Save>
void SaveCached(store::CatalogueFile& database, Cached<T, Image>& slot, const Owner& owner,
                Load load, Save save) {
  if (!slot.object) return;
  if (!slot.stored) {
    store::UndoOnRollback(database, slot.stored, nullptr);
    if (owner.stored) {
      T replaced;
      slot.stored = load(database, owner.id, replaced);
    } else {
      slot.stored.emplace();
    }
  }
  save(database, owner, *slot.object, *slot.stored);
}

// The rows of `shape`'s table that belong to `owner_id`, in `order`, each read into a new record
// appended to `list` with `add`; records that look up reference lists belong to `database`.
template <class T, class List, class Add>
store::ListImage<T> LoadOwned(store::CatalogueFile& database, const store::RecordShape<T>& shape,
                              std::string_view owner_id, std::string_view order, List& list,
                              Add add) {
  const int16_t schema = store::SchemaOf(database);
  store::ListImage<T> image;
  for (store::LoadedRow& row : store::LoadRows(
           database, shape.table(), "t.\"" + std::string(shape.layout().owner) + "\" = ?",
           {store::StoredValue::Text(std::string(owner_id))}, order)) {
    auto member = std::make_shared<T>();
    shape.Read(*member, row.image, schema);
    if constexpr (requires { member->catalogue().Bind(database); }) {
      member->catalogue().Bind(database);
    }
    (list.*add)(member);
    image.rows.push_back({member, std::move(row.image)});
  }
  return image;
}

// The one row of `shape`'s table that belongs to `owner_id`, read into `record`; no image (and the
// record as it was) when there is none.
template <class T>
store::RowImage LoadOwnedRow(store::CatalogueFile& database, const store::RecordShape<T>& shape,
                             std::string_view owner_id, T& record) {
  auto rows = store::LoadRows(database, shape.table(),
                              "t.\"" + std::string(shape.layout().owner) + "\" = ?",
                              {store::StoredValue::Text(std::string(owner_id))});
  if (rows.empty()) return {};
  shape.Read(record, rows.front().image, store::SchemaOf(database));
  return std::move(rows.front().image);
}

}  // namespace zel
