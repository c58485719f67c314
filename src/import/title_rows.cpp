// Deleting and writing the rows of an imported title, with bound values.
#include <string>
#include <vector>

#include "import/import_sections.h"
#include "store/catalogue_file.h"
#include "store/connection.h"
#include "store/tables.h"

namespace zel {

namespace {

// Whether any table holds a row of a profile that is not stored: rows outlive a profile deleted by
// a statement of the dialect, and a new title must not inherit them. One query asks every table.
bool RowsLeftBehind(TitleContext& title) {
  store::Connection& connection = title.database.connection();
  std::string sql;
  const auto ask = [&](std::string_view table, std::string_view key) {
    if (!connection.FindTable(table)) return;
    sql += sql.empty() ? "SELECT " : " OR ";
    sql += "EXISTS (SELECT 1 FROM \"" + std::string(table) + "\" WHERE \"" + std::string(key) +
           "\" = ?1)";
  };
  for (store::Table table : store::ProfileRowTables()) {
    const store::TableLayout& layout = store::Describe(table);
    ask(layout.name, layout.owner.empty() ? std::string_view("ProfileID") : layout.owner);
  }
  ask("BoxSet", "BoxSetID");
  if (sql.empty()) return false;
  const auto rows = connection.Read(sql, {store::StoredValue::Text(title.profile_id)});
  return !rows.empty() && rows[0][0].kind == store::StoredValue::Kind::kInteger &&
         rows[0][0].integer != 0;
}

}  // namespace

Variant TextOrNull(std::string text) {
  if (text.empty()) return Variant::Null();
  return Variant(std::move(text));
}

bool MayHoldRows(TitleContext& title) {
  if (title.stored) return true;
  if (!title.rows_left_behind) title.rows_left_behind = RowsLeftBehind(title);
  return *title.rows_left_behind;
}

void DeleteTitleRows(TitleContext& title, std::string_view table, std::string_view key) {
  if (!MayHoldRows(title)) return;
  title.database.connection().Write(
      "DELETE FROM \"" + std::string(table) + "\" WHERE \"" + std::string(key) + "\" = ?",
      {store::StoredValue::Text(title.profile_id)});
}

}  // namespace zel
