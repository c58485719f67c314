// Running statements: each translated, its literals converted to their columns' types and bound,
// and the rows a rule refuses skipped one by one; the schema the translations are checked against.
#include "store/connection.h"

#include "store/change_log.h"

#include "frame/error.h"
#include "frame/text.h"
#include "store/engine_errors.h"
#include "store/engine_internal.h"

namespace zel::store {

void Connection::Impl::ForgetSchema() {
  // Cached translations point into the table definitions.
  translations.Clear();
  tables.clear();
  tables_loaded = false;
  ++schema_generation;
}

const TableDef* Connection::Impl::FindTable(std::string_view name) {
  if (!tables_loaded) {
    tables.clear();
    std::vector<std::string> names;
    {
      StatementLease list = Prepare(
          "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
          "ESCAPE '\\' ORDER BY rowid",
          "reading the table definitions");
      int rc;
      while ((rc = sqlite3_step(list.get())) == SQLITE_ROW) {
        std::string table_name = reinterpret_cast<const char*>(sqlite3_column_text(list.get(), 0));
        // The change log is the derived data's, not one of the catalogue's tables.
        if (!changes::IsChangeLogTable(table_name)) names.push_back(std::move(table_name));
      }
      if (rc != SQLITE_DONE) Fail(rc, "reading the table definitions");
    }
    for (const std::string& table_name : names) {
      TableDef table;
      table.name = table_name;
      const std::string sql = "PRAGMA table_info(" + QuoteName(table_name) + ")";
      StatementLease info = Prepare(sql, sql);
      int rc;
      while ((rc = sqlite3_step(info.get())) == SQLITE_ROW) {
        ColumnDef column;
        column.name = reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 1));
        const auto* declared = reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 2));
        column.type = TypeOfDeclared(declared ? declared : "", column.max_length);
        column.not_null = sqlite3_column_int(info.get(), 3) != 0;
        table.columns.push_back(std::move(column));
      }
      if (rc != SQLITE_DONE) Fail(rc, sql);
      tables.push_back(std::move(table));
    }
    tables_loaded = true;
  }
  for (const TableDef& table : tables) {
    if (EqualsIgnoreCase(table.name, name)) return &table;
  }
  return nullptr;
}
void Connection::Impl::BindValue(sqlite3_stmt* statement, int slot, const SqlValue& value,
                                 std::string_view original) {
  int rc = SQLITE_OK;
  switch (value.kind) {
    case SqlValue::Kind::kNull:
      rc = sqlite3_bind_null(statement, slot);
      break;
    case SqlValue::Kind::kInteger:
      rc = sqlite3_bind_int64(statement, slot, value.integer);
      break;
    case SqlValue::Kind::kReal:
      rc = sqlite3_bind_double(statement, slot, value.real);
      break;
    case SqlValue::Kind::kText:
      // The value outlives the step, and the statement is reset and unbound before it goes back
      // to the cache.
      rc = sqlite3_bind_text(statement, slot, value.text.data(),
                             static_cast<int>(value.text.size()), SQLITE_STATIC);
      break;
  }
  if (rc != SQLITE_OK) Fail(rc, original);
}

void Connection::Impl::BindText(sqlite3_stmt* statement, int slot, std::string_view text,
                                std::string_view original) {
  // As BindValue: the text outlives the step, and the statement is unbound before it is reused.
  const int rc =
      sqlite3_bind_text(statement, slot, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
  if (rc != SQLITE_OK) Fail(rc, original);
}

void Connection::Impl::Bind(sqlite3_stmt* statement, const std::vector<SqlValue>& values,
                            size_t first, size_t count, std::string_view original) {
  for (size_t i = 0; i < count; ++i) {
    BindValue(statement, static_cast<int>(i + 1), values.at(first + i), original);
  }
}

int Connection::Impl::StepAll(sqlite3_stmt* statement) {
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
  }
  return rc == SQLITE_DONE ? rc : sqlite3_extended_errcode(db.get());
}

void Connection::Impl::Run(const std::string& sql, std::string_view original) {
  StatementLease statement = Prepare(sql, original);
  const int rc = StepAll(statement.get());
  if (rc != SQLITE_DONE) Fail(rc, original);
}
const Translation& Connection::Impl::TranslateStatement(std::string_view sql) {
  return translations.Get(sql, finder, texts, scratch);
}

std::vector<SqlValue> Connection::Impl::Convert(const Translation& translation) {
  std::vector<SqlValue> values;
  values.reserve(translation.params.size());
  for (size_t i = 0; i < translation.params.size(); ++i) {
    const Literal& literal = translation.params[i];
    values.push_back(ConvertLiteral(literal, std::move(texts.at(i))));
    if (literal.stored && literal.column && literal.table) {
      CheckLength(*literal.table, *literal.column, values.back());
    }
  }
  return values;
}

// ---- connection ----

Connection::Connection(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Connection::~Connection() = default;

const std::string& Connection::Name() const { return impl_->path; }

int64_t Connection::Execute(std::string_view sql) {
  Impl& impl = *impl_;
  impl.RequireOpen();
  const Translation& translation = impl.TranslateStatement(sql);
  ++impl.stats.statements;
  sqlite3* db = impl.db.get();

  if (translation.kind == StatementKind::kCreateTable ||
      translation.kind == StatementKind::kDefinition) {
    // Definitions are rare: prepared afresh, and the schema is read again afterwards.
    impl.cache.Clear();
    impl.ForgetSchema();
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db, translation.sql.c_str(), -1, &raw, nullptr);
    StatementPtr statement(raw);
    if (rc != SQLITE_OK) impl.Fail(rc, sql);
    rc = impl.StepAll(statement.get());
    if (rc != SQLITE_DONE) impl.Fail(rc, sql);
    return 0;
  }

  if (translation.kind != StatementKind::kSelect && translation.kind != StatementKind::kOther) {
    impl.KeepChangeLog();
  }
  const std::vector<SqlValue> values = impl.Convert(translation);
  {
    StatementLease statement = impl.Prepare(translation.sql, sql);
    impl.Bind(statement.get(), values, 0, values.size(), sql);
    const int rc = impl.StepAll(statement.get());
    if (rc == SQLITE_DONE) return sqlite3_changes64(db);
    if (!IsRefusedRow(rc)) impl.Fail(rc, sql);
    // SQLite undid the whole statement; a single row is simply refused.
    if (translation.kind != StatementKind::kUpdate && translation.kind != StatementKind::kDelete &&
        translation.kind != StatementKind::kInsertSelect) {
      return 0;
    }
  }

  // Some rows were refused: redo the statement row by row, skipping those, as one unit.
  const std::string table = QuoteName(translation.table);
  std::vector<std::vector<SqlValue>> rows;
  std::string row_sql;
  size_t fixed = 0;  // leading parameters of the per-row statement
  if (translation.kind == StatementKind::kInsertSelect) {
    const std::string select = translation.sql.substr(translation.select_pos);
    StatementLease statement = impl.Prepare(select, sql);
    impl.Bind(statement.get(), values, translation.params_before_select,
              values.size() - translation.params_before_select, sql);
    const int columns = sqlite3_column_count(statement.get());
    int rc;
    while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
      std::vector<SqlValue> row;
      for (int c = 0; c < columns; ++c) {
        switch (sqlite3_column_type(statement.get(), c)) {
          case SQLITE_NULL:
            row.emplace_back();
            break;
          case SQLITE_INTEGER:
            row.push_back(SqlValue::Integer(sqlite3_column_int64(statement.get(), c)));
            break;
          case SQLITE_FLOAT:
            row.push_back(SqlValue::Real(sqlite3_column_double(statement.get(), c)));
            break;
          default:
            row.push_back(SqlValue::Text(
                std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), c)),
                            static_cast<size_t>(sqlite3_column_bytes(statement.get(), c)))));
        }
      }
      rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) impl.Fail(sqlite3_extended_errcode(db), sql);
    row_sql = translation.sql.substr(0, translation.select_pos) + " VALUES (";
    for (int c = 0; c < columns; ++c) row_sql += c == 0 ? "?" : ", ?";
    row_sql += ")";
  } else {
    std::string select = "SELECT rowid FROM " + table;
    size_t first = values.size();
    if (translation.where_pos != std::string::npos) {
      select += " " + translation.sql.substr(translation.where_pos);
      first = translation.params_before_where;
    }
    StatementLease statement = impl.Prepare(select, sql);
    impl.Bind(statement.get(), values, first, values.size() - first, sql);
    int rc;
    while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
      rows.push_back({SqlValue::Integer(sqlite3_column_int64(statement.get(), 0))});
    }
    if (rc != SQLITE_DONE) impl.Fail(sqlite3_extended_errcode(db), sql);
    if (translation.kind == StatementKind::kDelete) {
      row_sql = "DELETE FROM " + table + " WHERE rowid = ?";
    } else {
      row_sql = translation.sql.substr(0, translation.where_pos) + " WHERE rowid = ?";
      fixed = first;
    }
  }

  WriteScope scope(*this);
  int64_t changed = 0;
  for (std::vector<SqlValue>& row : rows) {
    std::vector<SqlValue> bound(values.begin(),
                                values.begin() + static_cast<std::ptrdiff_t>(fixed));
    for (SqlValue& value : row) bound.push_back(std::move(value));
    StatementLease statement = impl.Prepare(row_sql, sql);
    impl.Bind(statement.get(), bound, 0, bound.size(), sql);
    const int rc = impl.StepAll(statement.get());
    if (rc == SQLITE_DONE) {
      changed += sqlite3_changes64(db);
    } else if (!IsRefusedRow(rc)) {
      impl.Fail(rc, sql);
    }
  }
  scope.Commit();
  return changed;
}

std::vector<TableDef> Connection::TableDefs() {
  impl_->FindTable("");
  return impl_->tables;
}

const TableDef* Connection::FindTable(std::string_view name) { return impl_->FindTable(name); }

sqlite3* Connection::handle() {
  impl_->RequireOpen();
  return impl_->db.get();
}

}  // namespace zel::store
