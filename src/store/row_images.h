// How records remember what they were read as, and how saves write only what changed since.
//
// A record read from a catalogue keeps the image of its row: the rowid and the stored value of
// every column the file's schema has (RowImage). A save compares each property with what its
// column reads as and writes only the columns that differ, in an UPDATE that also requires every
// column of the row to still hold its stored value; a row changed or deleted elsewhere since it was
// read (by another process, another object or an import) fails the save with kChangedElsewhere,
// naming the record. Deletes are guarded the same way; new records are plain INSERTs that fail on
// a key another row holds. Rows a record never read are never touched.
//
// Records that own lists (profiles, episodes, series) keep one image per list they read
// (ListImage): the members as read, by identity, with their rows. Saving the list deletes the rows
// of members no longer in it, updates the members still in it and inserts the new ones.
//
// Every save runs in its write scope and registers, for each change it makes in memory (images,
// identifiers, list keys), how to undo it if the scope rolls back (Connection::OnRollback): a
// failed save leaves the file and the objects as they were, and a retry does what the first try
// would have done.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "frame/collection.h"
#include "store/connection.h"
#include "store/stored_value.h"
#include "store/tables.h"

namespace zel::store {

class CatalogueFile;
class Connection;

// The engine connection and the schema number of a catalogue, for the templates below.
Connection& ConnectionOf(CatalogueFile& database);
int16_t SchemaOf(const CatalogueFile& database);

struct RowImage {
  int64_t rowid = 0;  // 0: the record has no stored row
  // One value per column of the table's description; columns the file's schema lacks stay Null.
  std::vector<StoredValue> values;
  bool Stored() const { return rowid != 0; }
};

// Column values to write, by column position in the table's description.
using ColumnValues = std::vector<std::pair<size_t, StoredValue>>;

// How the properties of a record class C meet the columns of its table. Each field names a
// property of the description and reaches C's member directly, so reading a row sets no property
// through a setter with side effects.
template <class C>
class RecordShape {
 public:
  struct Field {
    std::string_view property;
    std::function<Variant(const C&)> get;
    std::function<void(C&, const Variant&)> set;
    Variant null_value;  // what a Null cell reads as, when not the type's empty value
  };

  // Binds every column of `table` that names a property to its field; a column without a field,
  // or a field without a column, is a fault of the program (std::logic_error).
  RecordShape(Table table, std::vector<Field> fields) : table_(table) {
    const TableLayout& layout = Describe(table);
    for (Field& field : fields) {
      size_t column = layout.columns.size();
      for (size_t i = 0; i < layout.columns.size(); ++i) {
        if (layout.columns[i].property == field.property) column = i;
      }
      if (column == layout.columns.size()) {
        throw std::logic_error(std::string(layout.name) + " has no column for property " +
                               std::string(field.property));
      }
      bound_.push_back({std::move(field), column});
    }
    for (size_t i = 0; i < layout.columns.size(); ++i) {
      if (layout.columns[i].property.empty()) continue;
      bool found = false;
      for (const Bound& bound : bound_) found = found || bound.column == i;
      if (!found) {
        throw std::logic_error(std::string(layout.name) + "." +
                               std::string(layout.columns[i].name) +
                               " names a property no field reaches");
      }
    }
  }

  Table table() const { return table_; }
  const TableLayout& layout() const { return Describe(table_); }

  // Sets every field from the row, as its column reads (stored_value.h).
  void Read(C& record, const RowImage& image, int16_t schema) const {
    const TableLayout& table = layout();
    for (const Bound& bound : bound_) {
      const ColumnLayout& column = table.columns[bound.column];
      if (!column.In(schema)) continue;
      bound.field.set(record,
                      ReadColumn(column, image.values[bound.column], bound.field.null_value));
    }
  }

  // The columns whose property no longer reads as the stored value; every field when there is no
  // stored row.
  ColumnValues Changes(const C& record, const RowImage* image, int16_t schema) const {
    const TableLayout& table = layout();
    ColumnValues changes;
    for (const Bound& bound : bound_) {
      const ColumnLayout& column = table.columns[bound.column];
      if (!column.In(schema)) continue;
      const Variant current = bound.field.get(record);
      if (image && image->Stored() &&
          current == ReadColumn(column, image->values[bound.column], bound.field.null_value)) {
        continue;
      }
      changes.emplace_back(bound.column, WriteColumn(column, current, schema));
    }
    return changes;
  }

 private:
  struct Bound {
    Field field;
    size_t column;
  };
  Table table_;
  std::vector<Bound> bound_;
};

// A field reaching a data member of C: texts, 64-bit integers, flags, dates and amounts.
template <class C, class T>
typename RecordShape<C>::Field FieldOf(std::string_view property, T C::*member,
                                       Variant null_value = {}) {
  return {property, [member](const C& record) { return Variant(record.*member); },
          [member](C& record, const Variant& value) {
            if constexpr (std::is_same_v<T, std::string>) {
              record.*member = value.ToText();
            } else if constexpr (std::is_same_v<T, int64_t>) {
              record.*member = value.ToLongLong();
            } else if constexpr (std::is_same_v<T, bool>) {
              record.*member = value.ToBool();
            } else if constexpr (std::is_same_v<T, Date>) {
              record.*member = value.ToDate();
            } else {
              static_assert(std::is_same_v<T, Currency>, "no stored form for this field type");
              record.*member = value.ToCurrency();
            }
          },
          std::move(null_value)};
}

// Texts as values to bind, and a table or column name as the library's own statements write it.
std::vector<StoredValue> Texts(std::initializer_list<std::string_view> texts);
std::string Quoted(std::string_view name);

// A row read by LoadRows: the image of the table's row and the values `extra` selected.
struct LoadedRow {
  RowImage image;
  std::vector<StoredValue> extra;
};

// The rows of `table` (called t in `from`, `where` and `order`) that `where` selects with
// `params` bound, each with every column the catalogue's schema has. `from` defaults to the table
// alone; `extra` adds expressions of the joined tables.
std::vector<LoadedRow> LoadRows(CatalogueFile& database, Table table, std::string_view where,
                                const std::vector<StoredValue>& params, std::string_view order = {},
                                std::string_view from = {},
                                const std::vector<std::string_view>& extra = {});
// New records of class C of the rows of `table` that `where` selects, each read with its row
// (C::ReadRow) and so belonging to `database`.
template <class C>
std::vector<std::shared_ptr<C>> LoadRecords(CatalogueFile& database, Table table,
                                            std::string_view where,
                                            const std::vector<StoredValue>& params,
                                            std::string_view order = {}) {
  std::vector<std::shared_ptr<C>> records;
  for (LoadedRow& row : LoadRows(database, table, where, params, order)) {
    auto record = std::make_shared<C>();
    record->ReadRow(database, std::move(row.image));
    records.push_back(std::move(record));
  }
  return records;
}
// The value of column `name` of a loaded row.
const StoredValue& ValueOf(const RowImage& image, Table table, std::string_view name);

// Guarded writes of rows of one table. `what` names the record in errors ("Tag 'x' of 'P1'").
class RowWriter {
 public:
  RowWriter(CatalogueFile& database, Table table);

  // Writes `changes` into the row of `image`, provided it still holds every stored value of the
  // image (`expect` replaces the expected value of some columns: the owner's identifier after its
  // rows moved). Nothing to change writes nothing. Raises kChangedElsewhere when the row changed,
  // and the engine's error (prefixed by `what`) when the new values break a rule.
  void Update(const RowImage& image, const ColumnValues& changes, const std::string& what,
              const ColumnValues& expect = {});
  // Deletes the row of `image` on the same condition.
  void Delete(const RowImage& image, const std::string& what, const ColumnValues& expect = {});
  // Raises kChangedElsewhere unless the row of `image` still holds every stored value.
  void Verify(const RowImage& image, const std::string& what, const ColumnValues& expect = {});
  // Inserts a row of `values` (other columns Null); returns its image.
  RowImage Insert(const ColumnValues& values, const std::string& what);

  // The image of a row after `changes` (and `expect`) were written to it.
  static RowImage Applied(RowImage image, const ColumnValues& changes,
                          const ColumnValues& expect = {});

 private:
  std::string Guard(const RowImage& image, const ColumnValues& expect,
                    std::vector<StoredValue>& params) const;

  CatalogueFile& database_;
  Table table_;
  int16_t schema_;
};

// The rows of an owner's list as it read or last saved them: each member, by identity, with its
// row. Members hold shared references, so a removed member cannot be mistaken for a new object.
template <class C>
struct ListImage {
  struct Row {
    std::shared_ptr<C> member;
    RowImage image;
  };
  std::vector<Row> rows;
};

// What a list save needs besides the members: the columns every row of the list carries (the
// owner's identifier, the cast flag), the expected owner after a move, and how to name a member.
template <class C>
struct ListContext {
  ColumnValues fixed;
  ColumnValues expect;
  std::function<std::string(const C&)> describe;
};

// Saves `members` against `image` (see the file comment) and replaces the image with what the file
// now holds, undone with the scope. Deletes come first, then updates, then inserts, so that a
// member taking the key another gave up does not collide with it.
template <class C>
void SaveList(CatalogueFile& database, const RecordShape<C>& shape,
              const std::vector<std::shared_ptr<C>>& members, ListImage<C>& image,
              const ListContext<C>& context);

// Saves a record that is the row of its key in `shape`'s table (a profile, a series, an alias, a
// currency...): the columns that changed into its stored row, or a new row when it has none, and
// replaces `image` (undone with the scope). `key` is the record's key now; `kind` names the record
// in errors ("Profile"). A key changed since the row was read is a move: `follow(from)` is called
// to move what is stored under the old key. A new key another row holds fails with 3022 before
// anything is written. Returns whether the key moved.
template <class C>
bool SaveKeyedRow(CatalogueFile& database, const RecordShape<C>& shape, const C& record,
                  std::string_view key, RowImage& image, std::string_view kind,
                  const std::function<void(const std::string& from)>& follow = {});
// Raises 3022 when a row of `table` other than `own_rowid` holds `key` in its key column: `kind`
// `from` cannot take it (a move), or `kind` `key` cannot be stored (`from` empty).
void RequireFreeKey(CatalogueFile& database, Table table, std::string_view key, int64_t own_rowid,
                    std::string_view kind, std::string_view from);
// The stored key of a row image (the text of its table's key column).
std::string StoredKey(const RowImage& image, Table table);

// Saves a record that stands alone in its table for its owner (a review, a video format, a
// price): updates the stored row, inserts one when there is none, and deletes the stored row when
// the record holds nothing (`empty`) any more. Like SaveList otherwise.
template <class C>
void SaveSingle(CatalogueFile& database, const RecordShape<C>& shape, const C& record, bool empty,
                RowImage& image, const ListContext<C>& context);

// The rows of a plain list of texts (genres, locks...): matched to the items by their exact text.
struct TextListImage {
  std::vector<RowImage> rows;
};
// The items of a plain list of `table`'s owner `owner_id`, in `order`, with their rows.
TextListImage LoadTextList(CatalogueFile& database, Table table, std::string_view owner_id,
                           std::vector<std::string>& items);
// Saves the items against the image: rows of texts no longer listed are deleted, new texts
// inserted; the image then holds the file's rows (undone with the scope). `what` names one item
// ("Genre"), `of` the owner (" of 'P1'").
void SaveTextList(CatalogueFile& database, Table table, const std::vector<std::string>& items,
                  TextListImage& image, const ListContext<std::string>& context);

// Keeps the current value of `target` and puts it back if the write scope rolls back. `keep`
// holds the object `target` lives in alive until then.
template <class T>
void UndoOnRollback(CatalogueFile& database, T& target, std::shared_ptr<const void> keep);

}  // namespace zel::store

#include "store/row_images_inl.h"
