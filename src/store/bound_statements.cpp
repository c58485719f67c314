// The library's own statements: SQLite's SQL with bound values, refusals raised rather than
// skipped; and closing a connection while others still hold it.
#include <stdexcept>
#include <string>

#include "frame/error.h"
#include "frame/text.h"
#include "store/connection.h"
#include "store/engine_errors.h"
#include "store/engine_internal.h"

namespace zel::store {

void Connection::Impl::RequireOpen() const {
  if (db) return;
  Raise(engine_errc::kObjectInvalid, "The catalogue '" + path +
                                         "' was closed; open it again (Control.OpenDatabase) "
                                         "and read what you need anew.");
}

namespace {

// "T.a, T.b" of a constraint message as "a and b of T".
std::string ColumnsOf(const std::string& message) {
  const size_t colon = message.find(": ");
  if (colon == std::string::npos) return message;
  std::string table, columns;
  for (const std::string& column : Split(message.substr(colon + 2), ", ")) {
    const size_t dot = column.find('.');
    if (dot != std::string::npos) table = column.substr(0, dot);
    const std::string name = dot == std::string::npos ? column : column.substr(dot + 1);
    columns += (columns.empty() ? "" : " and ") + name;
  }
  return columns + (table.empty() ? "" : " of " + table);
}

}  // namespace

void Connection::Impl::FailWrite(int code, std::string_view sql) {
  const std::string message = sqlite3_errmsg(db.get());
  switch (code) {
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_UNIQUE:
      Raise(engine_errc::kDuplicateKey,
            "another row has the same " + ColumnsOf(message) + " (the case of letters aside)");
    case SQLITE_CONSTRAINT_NOTNULL:
      Raise(engine_errc::kRequiredValue, ColumnsOf(message) + " needs a value");
    case SQLITE_CONSTRAINT_FOREIGNKEY:
      Raise(engine_errc::kRelatedRecordRequired,
            "a row it names, or that names it, in another table would be missing");
    default:
      Fail(code, sql);
  }
}

int64_t Connection::Write(const std::string& sql, const std::vector<StoredValue>& values) {
  Impl& impl = *impl_;
  impl.KeepChangeLog();
  ++impl.stats.statements;
  StatementLease statement = impl.Prepare(sql, sql);
  impl.Bind(statement.get(), values, 0, values.size(), sql);
  const int rc = impl.StepAll(statement.get());
  if (rc != SQLITE_DONE) impl.FailWrite(rc, sql);
  return sqlite3_changes64(impl.db.get());
}

std::vector<std::vector<StoredValue>> Connection::Read(const std::string& sql,
                                                       const std::vector<StoredValue>& values) {
  Impl& impl = *impl_;
  ++impl.stats.statements;
  StatementLease statement = impl.Prepare(sql, sql);
  sqlite3_stmt* raw = statement.get();
  impl.Bind(raw, values, 0, values.size(), sql);
  const int columns = sqlite3_column_count(raw);
  std::vector<std::vector<StoredValue>> rows;
  int rc;
  while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
    std::vector<StoredValue> row(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c) {
      StoredValue& value = row[static_cast<size_t>(c)];
      switch (sqlite3_column_type(raw, c)) {
        case SQLITE_INTEGER:
          value = StoredValue::Integer(sqlite3_column_int64(raw, c));
          break;
        case SQLITE_FLOAT:
          value = StoredValue::Real(sqlite3_column_double(raw, c));
          break;
        case SQLITE_NULL:
          break;
        default: {
          const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, c));
          value = StoredValue::Text(
              std::string(text ? text : "", static_cast<size_t>(sqlite3_column_bytes(raw, c))));
        }
      }
    }
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) impl.Fail(sqlite3_extended_errcode(impl.db.get()), sql);
  return rows;
}

int64_t Connection::Insert(const RowShape& shape, std::initializer_list<Variant> values,
                           Refused refused) {
  return Insert(shape, std::span<const Variant>(values.begin(), values.size()), refused);
}

int64_t Connection::Insert(const RowShape& shape, std::span<const Variant> values,
                           Refused refused) {
  Impl& impl = *impl_;
  impl.RequireOpen();
  Impl::ShapeStatement& prepared = impl.shapes[&shape];
  if (prepared.sql.empty() || prepared.generation != impl.schema_generation) {
    const TableDef* table = impl.FindTable(shape.table);
    if (!table) {
      Raise(engine_errc::kUnknownTable,
            "The table '" + std::string(shape.table) + "' does not exist.");
    }
    std::vector<const ColumnDef*> columns;
    std::string names, marks;
    for (std::string_view name : shape.columns) {
      const ColumnDef* column = nullptr;
      for (const ColumnDef& candidate : table->columns) {
        if (EqualsIgnoreCase(candidate.name, name)) {
          column = &candidate;
          break;
        }
      }
      if (!column) {
        Raise(engine_errc::kUnknownField,
              "Item not found in this collection: '" + std::string(name) + "'.");
      }
      columns.push_back(column);
      names += (names.empty() ? "" : ", ") + QuoteName(column->name);
      marks += marks.empty() ? "?" : ", ?";
    }
    prepared = {
        impl.schema_generation, table, std::move(columns),
        "INSERT INTO " + QuoteName(table->name) + " (" + names + ") VALUES (" + marks + ")"};
  }
  if (values.size() != prepared.columns.size()) {
    throw std::logic_error("Connection::Insert: one value per column of the shape");
  }
  // Every value is converted, then every one checked against its length, before anything is
  // written, as a record set's assignments and its Update do. A text for a text column is its own
  // stored form, bound where the caller holds it rather than copied: most of an import's values
  // are such texts.
  std::vector<SqlValue>& row = impl.row;
  std::vector<const std::string*>& texts = impl.row_texts;
  row.clear();
  texts.clear();
  for (size_t c = 0; c < values.size(); ++c) {
    const ColumnDef& column = *prepared.columns[c];
    const std::string* text = values[c].StringIf();
    if (text && (column.type == ColumnType::kText || column.type == ColumnType::kMemo)) {
      row.emplace_back();
    } else {
      text = nullptr;
      row.push_back(ConvertVariant(*prepared.table, column, values[c]));
    }
    texts.push_back(text);
  }
  for (size_t c = 0; c < values.size(); ++c) {
    const ColumnDef& column = *prepared.columns[c];
    if (texts[c]) {
      CheckTextLength(*prepared.table, column, *texts[c]);
    } else {
      CheckLength(*prepared.table, column, row[c]);
    }
  }
  impl.KeepChangeLog();
  ++impl.stats.statements;
  int rc;
  {
    StatementLease statement = impl.PrepareShape(prepared);
    for (size_t i = 0; i < row.size(); ++i) {
      const int slot = static_cast<int>(i + 1);
      if (texts[i]) {
        impl.BindText(statement.get(), slot, *texts[i], prepared.sql);
      } else {
        impl.BindValue(statement.get(), slot, row[i], prepared.sql);
      }
    }
    rc = impl.StepAll(statement.get());
  }
  if (rc == SQLITE_DONE) return sqlite3_changes64(impl.db.get());
  if (!IsRefusedRow(rc)) impl.Fail(rc, prepared.sql);
  if (refused == Refused::kSkip) return 0;
  FailRowWrite(impl, rc, prepared.table->name, [&](std::string_view name) {
    for (size_t i = 0; i < prepared.columns.size(); ++i) {
      if (!EqualsIgnoreCase(prepared.columns[i]->name, name)) continue;
      return texts[i] ? SqlValue::Text(*texts[i]) : row[i];
    }
    return SqlValue{};
  });
}

int64_t Connection::LastInsertRowid() {
  impl_->RequireOpen();
  return sqlite3_last_insert_rowid(impl_->db.get());
}

void Connection::OnRollback(std::function<void()> undo) {
  Impl& impl = *impl_;
  if (!impl.undo.empty()) impl.undo.back().push_back(std::move(undo));
}

void Connection::Close() {
  Impl& impl = *impl_;
  if (!impl.db) return;
  // Record sets hold no statement between calls, so once the cache lets its statements go nothing
  // keeps the file open.
  impl.cache.Clear();
  impl.translations.Clear();
  impl.undo.clear();
  impl.depth = 0;
  impl.db.reset();
}

bool Connection::IsClosed() const { return !impl_->db; }

}  // namespace zel::store
