// Rows read and written exactly as the file stores them, and new files with the tables of another.
#include "frame/error.h"
#include "store/engine_errors.h"
#include "store/engine_internal.h"

namespace zel::store {

void Connection::ReadStoredRows(std::string_view table, std::string_view key_column,
                                std::string_view key,
                                const std::function<void(const std::vector<SqlValue>&)>& each) {
  Impl& impl = *impl_;
  std::string sql = "SELECT * FROM " + QuoteName(table);
  if (!key_column.empty()) sql += " WHERE " + QuoteName(key_column) + " = ?";
  sql += " ORDER BY rowid";
  StatementLease statement = impl.Prepare(sql, sql);
  // (Bound without a copy: the value outlives the statement's use.)
  const SqlValue bound = SqlValue::Text(std::string(key));
  if (!key_column.empty()) impl.BindValue(statement.get(), 1, bound, sql);
  ++impl.stats.statements;
  sqlite3_stmt* raw = statement.get();
  const int columns = sqlite3_column_count(raw);
  std::vector<SqlValue> row(static_cast<size_t>(columns));
  int rc;
  while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
    for (int c = 0; c < columns; ++c) {
      SqlValue& value = row[static_cast<size_t>(c)];
      switch (sqlite3_column_type(raw, c)) {
        case SQLITE_NULL:
          value = SqlValue();
          break;
        case SQLITE_INTEGER:
          value = SqlValue::Integer(sqlite3_column_int64(raw, c));
          break;
        case SQLITE_FLOAT:
          value = SqlValue::Real(sqlite3_column_double(raw, c));
          break;
        default: {
          const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, c));
          value = SqlValue::Text(
              std::string(text ? text : "", static_cast<size_t>(sqlite3_column_bytes(raw, c))));
        }
      }
    }
    each(row);
  }
  if (rc != SQLITE_DONE) impl.Fail(sqlite3_extended_errcode(impl.db.get()), sql);
}

bool Connection::InsertStoredRow(std::string_view table, const std::vector<std::string>& columns,
                                 const std::vector<SqlValue>& values) {
  Impl& impl = *impl_;
  std::string names;
  std::string marks;
  for (const std::string& column : columns) {
    names += (names.empty() ? "" : ", ") + QuoteName(column);
    marks += marks.empty() ? "?" : ", ?";
  }
  const std::string sql =
      "INSERT INTO " + QuoteName(table) + " (" + names + ") VALUES (" + marks + ")";
  impl.KeepChangeLog();
  StatementLease statement = impl.Prepare(sql, sql);
  impl.Bind(statement.get(), values, 0, values.size(), sql);
  ++impl.stats.statements;
  const int rc = impl.StepAll(statement.get());
  if (rc == SQLITE_DONE) return true;
  if (IsRefusedRow(rc)) return false;
  impl.Fail(rc, sql);
}

std::vector<Connection::Reference> Connection::References(std::string_view table) {
  Impl& impl = *impl_;
  const std::string sql = "SELECT \"from\", \"table\", \"to\" FROM pragma_foreign_key_list(?)";
  StatementLease statement = impl.Prepare(sql, sql);
  const SqlValue name = SqlValue::Text(std::string(table));
  impl.BindValue(statement.get(), 1, name, sql);
  std::vector<Reference> references;
  int rc;
  while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
    const auto text = [&](int c) {
      const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), c));
      return std::string(value ? value : "");
    };
    references.push_back({text(0), text(1), text(2)});
  }
  if (rc != SQLITE_DONE) impl.Fail(sqlite3_extended_errcode(impl.db.get()), sql);
  return references;
}

}  // namespace zel::store
