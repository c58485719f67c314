#include "store/row_images.h"

#include <algorithm>

#include "frame/error.h"
#include "store/catalogue_file.h"
#include "store/engine_errors.h"
#include "store/title_parts.h"

namespace zel::store {
namespace {

[[noreturn]] void RaiseChanged(const std::string& what) {
  Raise(engine_errc::kChangedElsewhere,
        what +
            " was changed elsewhere since it was read (by another program, another object or an "
            "import); nothing was saved. Read it again and repeat the change.");
}

// Runs a write, naming the record in the engine's refusal.
template <class Write>
auto Named(const std::string& what, Write write) {
  try {
    return write();
  } catch (const Error& error) {
    if (error.number() == engine_errc::kChangedElsewhere) throw;
    Raise(error.number(), what + " could not be stored: " + error.description());
  }
}

// A plain list's item as text, whatever the cell holds.
std::string ItemText(const StoredValue& value) {
  switch (value.kind) {
    case StoredValue::Kind::kText:
      return value.text;
    case StoredValue::Kind::kInteger:
      return std::to_string(value.integer);
    case StoredValue::Kind::kReal:
      return FormatDouble(value.real);
    case StoredValue::Kind::kNull:
      return {};
  }
  return {};
}

// The column of a plain list that holds its items: the one that is not the owner's.
size_t ItemColumn(const TableLayout& table) {
  for (size_t i = 0; i < table.columns.size(); ++i) {
    if (table.columns[i].name != table.owner) return i;
  }
  throw std::logic_error(std::string(table.name) + " keeps no items");
}

}  // namespace

std::vector<StoredValue> Texts(std::initializer_list<std::string_view> texts) {
  std::vector<StoredValue> values;
  for (std::string_view text : texts) values.push_back(StoredValue::Text(std::string(text)));
  return values;
}

std::string Quoted(std::string_view name) { return "\"" + std::string(name) + "\""; }

Connection& ConnectionOf(CatalogueFile& database) { return database.connection(); }
int16_t SchemaOf(const CatalogueFile& database) { return database.SchemaNumber(); }

std::vector<LoadedRow> LoadRows(CatalogueFile& database, Table table, std::string_view where,
                                const std::vector<StoredValue>& params, std::string_view order,
                                std::string_view from, const std::vector<std::string_view>& extra) {
  const TableLayout& layout = Describe(table);
  const int16_t schema = database.SchemaNumber();
  std::string sql = "SELECT t.rowid";
  std::vector<size_t> present;
  for (size_t i = 0; i < layout.columns.size(); ++i) {
    if (!layout.columns[i].In(schema)) continue;
    present.push_back(i);
    sql += ", t." + Quoted(layout.columns[i].name);
  }
  for (std::string_view expression : extra) sql += ", " + std::string(expression);
  sql += " FROM " + (from.empty() ? Quoted(layout.name) + " t" : std::string(from));
  if (!where.empty()) sql += " WHERE " + std::string(where);
  if (!order.empty()) sql += " ORDER BY " + std::string(order);
  std::vector<LoadedRow> loaded;
  for (auto& row : database.connection().Read(sql, params)) {
    LoadedRow result;
    result.image.rowid = row[0].integer;
    result.image.values.resize(layout.columns.size());
    for (size_t k = 0; k < present.size(); ++k) {
      result.image.values[present[k]] = std::move(row[k + 1]);
    }
    for (size_t k = present.size() + 1; k < row.size(); ++k) {
      result.extra.push_back(std::move(row[k]));
    }
    loaded.push_back(std::move(result));
  }
  return loaded;
}

const StoredValue& ValueOf(const RowImage& image, Table table, std::string_view name) {
  return image.values.at(Describe(table).IndexOf(name));
}

RowWriter::RowWriter(CatalogueFile& database, Table table)
    : database_(database), table_(table), schema_(database.SchemaNumber()) {}

std::string RowWriter::Guard(const RowImage& image, const ColumnValues& expect,
                             std::vector<StoredValue>& params) const {
  const TableLayout& layout = Describe(table_);
  std::string sql = "rowid = ?";
  params.push_back(StoredValue::Integer(image.rowid));
  for (size_t i = 0; i < layout.columns.size(); ++i) {
    if (!layout.columns[i].In(schema_)) continue;
    const StoredValue* expected = &image.values[i];
    for (const auto& [column, value] : expect) {
      if (column == i) expected = &value;
    }
    // Texts compare byte by byte here, not as the column's key does: a name changed only in the
    // case of its letters is a change.
    sql += " AND " + Quoted(layout.columns[i].name) + " IS ? COLLATE BINARY";
    params.push_back(*expected);
  }
  return sql;
}

void RowWriter::Update(const RowImage& image, const ColumnValues& changes, const std::string& what,
                       const ColumnValues& expect) {
  if (changes.empty()) return;
  MarkEditedHere(database_.connection(), table_, Applied(image, {}, expect).values, changes);
  const TableLayout& layout = Describe(table_);
  std::string sql = "UPDATE " + Quoted(layout.name) + " SET ";
  std::vector<StoredValue> params;
  for (size_t k = 0; k < changes.size(); ++k) {
    sql += (k ? ", " : "") + Quoted(layout.columns[changes[k].first].name) + " = ?";
    params.push_back(changes[k].second);
  }
  sql += " WHERE " + Guard(image, expect, params);
  const int64_t changed = Named(what, [&] { return database_.connection().Write(sql, params); });
  if (changed != 1) RaiseChanged(what);
}

void RowWriter::Delete(const RowImage& image, const std::string& what, const ColumnValues& expect) {
  if (!image.Stored()) return;
  MarkEditedHere(database_.connection(), table_, Applied(image, {}, expect).values, {});
  std::vector<StoredValue> params;
  const std::string sql =
      "DELETE FROM " + Quoted(Describe(table_).name) + " WHERE " + Guard(image, expect, params);
  const int64_t changed = Named(what, [&] { return database_.connection().Write(sql, params); });
  if (changed != 1) RaiseChanged(what);
}

void RowWriter::Verify(const RowImage& image, const std::string& what, const ColumnValues& expect) {
  std::vector<StoredValue> params;
  const std::string sql =
      "SELECT 1 FROM " + Quoted(Describe(table_).name) + " WHERE " + Guard(image, expect, params);
  if (database_.connection().Read(sql, params).empty()) RaiseChanged(what);
}

RowImage RowWriter::Insert(const ColumnValues& values, const std::string& what) {
  const TableLayout& layout = Describe(table_);
  std::string columns, marks;
  std::vector<StoredValue> params;
  RowImage image;
  image.values.resize(layout.columns.size());
  for (const auto& [column, value] : values) {
    columns += (columns.empty() ? "" : ", ") + Quoted(layout.columns[column].name);
    marks += marks.empty() ? "?" : ", ?";
    params.push_back(value);
    image.values[column] = value;
  }
  MarkEditedHere(database_.connection(), table_, image.values, {});
  const std::string sql =
      "INSERT INTO " + Quoted(layout.name) + " (" + columns + ") VALUES (" + marks + ")";
  Named(what, [&] { return database_.connection().Write(sql, params); });
  image.rowid = database_.connection().LastInsertRowid();
  return image;
}

RowImage RowWriter::Applied(RowImage image, const ColumnValues& changes,
                            const ColumnValues& expect) {
  for (const auto& [column, value] : expect) image.values[column] = value;
  for (const auto& [column, value] : changes) image.values[column] = value;
  return image;
}

void RequireFreeKey(CatalogueFile& database, Table table, std::string_view key, int64_t own_rowid,
                    std::string_view kind, std::string_view from) {
  const TableLayout& layout = Describe(table);
  const auto holders = database.connection().Read(
      "SELECT rowid FROM " + Quoted(layout.name) + " WHERE " + Quoted(layout.key.front()) +
          " = ? AND rowid <> ?",
      {StoredValue::Text(std::string(key)), StoredValue::Integer(own_rowid)});
  if (holders.empty()) return;
  const std::string holder = "another row of " + std::string(layout.name) + " holds '" +
                             std::string(key) + "' (the case of letters aside)";
  if (from.empty()) {
    Raise(engine_errc::kDuplicateKey,
          std::string(kind) + " '" + std::string(key) + "' could not be stored: " + holder);
  }
  Raise(engine_errc::kDuplicateKey, std::string(kind) + " '" + std::string(from) +
                                        "' cannot take the key '" + std::string(key) +
                                        "': " + holder);
}

std::string StoredKey(const RowImage& image, Table table) {
  const TableLayout& layout = Describe(table);
  return ItemText(image.values.at(layout.IndexOf(layout.key.front())));
}

TextListImage LoadTextList(CatalogueFile& database, Table table, std::string_view owner_id,
                           std::vector<std::string>& items) {
  const TableLayout& layout = Describe(table);
  const size_t item = ItemColumn(layout);
  const std::string column = "t." + Quoted(layout.columns[item].name);
  TextListImage image;
  for (LoadedRow& row : LoadRows(database, table, "t." + Quoted(layout.owner) + " = ?",
                                 {StoredValue::Text(std::string(owner_id))}, column)) {
    items.push_back(ItemText(row.image.values[item]));
    image.rows.push_back(std::move(row.image));
  }
  return image;
}

void SaveTextList(CatalogueFile& database, Table table, const std::vector<std::string>& items,
                  TextListImage& image, const ListContext<std::string>& context) {
  const TableLayout& layout = Describe(table);
  const size_t item = ItemColumn(layout);
  const int16_t schema = database.SchemaNumber();
  RowWriter writer(database, table);
  std::vector<bool> matched(image.rows.size(), false);
  std::vector<bool> stored(items.size(), false);
  TextListImage next;
  for (size_t i = 0; i < items.size(); ++i) {
    for (size_t j = 0; j < image.rows.size(); ++j) {
      if (!matched[j] && ItemText(image.rows[j].values[item]) == items[i]) {
        matched[j] = stored[i] = true;
        next.rows.push_back(RowWriter::Applied(image.rows[j], {}, context.expect));
        break;
      }
    }
  }
  // Every item still stands for its row as read: nothing to write, and the image stays.
  if (context.expect.empty() && items.size() == image.rows.size() &&
      std::find(stored.begin(), stored.end(), false) == stored.end()) {
    return;
  }
  for (size_t j = 0; j < image.rows.size(); ++j) {
    if (!matched[j]) {
      writer.Delete(image.rows[j], context.describe(ItemText(image.rows[j].values[item])),
                    context.expect);
    }
  }
  for (size_t i = 0; i < items.size(); ++i) {
    if (stored[i]) continue;
    ColumnValues values = context.fixed;
    values.emplace_back(item, WriteColumn(layout.columns[item], Variant(items[i]), schema));
    next.rows.push_back(writer.Insert(values, context.describe(items[i])));
  }
  UndoOnRollback(database, image, nullptr);
  image = std::move(next);
}

}  // namespace zel::store
