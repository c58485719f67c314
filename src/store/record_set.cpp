#include <optional>

#include "frame/error.h"
#include "frame/member_table.h"
#include "frame/text.h"
#include "store/connection.h"
#include "store/engine_errors.h"
#include "store/engine_internal.h"

namespace zel::store {
namespace {

// Name of the hidden column that carries each row's rowid in an updatable set.
constexpr std::string_view kRowidColumn = "zel_rowid";

[[noreturn]] void NoCurrentRecord() { Raise(engine_errc::kNoCurrentRecord, "No current record."); }

const ColumnDef* FindColumn(const TableDef& table, std::string_view name) {
  // Callers mostly spell names as the table does: try that first.
  for (const ColumnDef& column : table.columns) {
    if (column.name == name) return &column;
  }
  for (const ColumnDef& column : table.columns) {
    if (EqualsIgnoreCase(column.name, name)) return &column;
  }
  return nullptr;
}

// The typed value of a value just stored, as a later read would give it.
Variant TypedValue(const ColumnDef& column, const SqlValue& value) {
  switch (value.kind) {
    case SqlValue::Kind::kNull:
      return Variant::Null();
    case SqlValue::Kind::kInteger:
      if (column.type == ColumnType::kBoolean) return Variant(value.integer != 0);
      if (column.type == ColumnType::kDouble) return Variant(static_cast<double>(value.integer));
      if (value.integer >= INT32_MIN && value.integer <= INT32_MAX) {
        return Variant(static_cast<int32_t>(value.integer));
      }
      return Variant(value.integer);
    case SqlValue::Kind::kReal:
      return Variant(value.real);
    case SqlValue::Kind::kText:
      if (column.type == ColumnType::kDate) {
        Date date;
        if (ParseDate(value.text, date)) return Variant(date);
      }
      return Variant(value.text);
  }
  return Variant::Null();
}

// The table a refused reference of a row of `table` names: the first whose key has no row for the
// row's value.
std::string MissingParent(Connection::Impl& engine, const std::string& table,
                          const std::function<SqlValue(std::string_view column)>& value_of) {
  struct Reference {
    std::string parent, from, to;
  };
  std::vector<Reference> references;
  {
    const std::string sql_text = "PRAGMA foreign_key_list(" + QuoteName(table) + ")";
    StatementLease statement = engine.Prepare(sql_text, sql_text);
    while (sqlite3_step(statement.get()) == SQLITE_ROW) {
      auto column = [&](int c) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), c));
        return std::string(text ? text : "");
      };
      references.push_back({column(2), column(3), column(4)});
    }
  }
  for (const Reference& reference : references) {
    const SqlValue value = value_of(reference.from);
    if (value.kind == SqlValue::Kind::kNull) continue;
    const std::string sql_text = "SELECT 1 FROM " + QuoteName(reference.parent) + " WHERE " +
                                 QuoteName(reference.to) + " = ?";
    StatementLease statement = engine.Prepare(sql_text, sql_text);
    engine.Bind(statement.get(), {value}, 0, 1, sql_text);
    if (sqlite3_step(statement.get()) != SQLITE_ROW) return reference.parent;
  }
  return references.empty() ? table : references.front().parent;
}

}  // namespace

void FailRowWrite(Connection::Impl& engine, int code, const std::string& table,
                  const std::function<SqlValue(std::string_view column)>& value_of) {
  const std::string message = sqlite3_errmsg(engine.db.get());
  switch (code) {
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_UNIQUE:
      Raise(engine_errc::kDuplicateKey,
            "The changes you requested to the table were not successful because they would "
            "create duplicate values in the index, primary key, or relationship.");
    case SQLITE_CONSTRAINT_NOTNULL: {
      const size_t colon = message.find(": ");
      const std::string column = colon == std::string::npos ? table : message.substr(colon + 2);
      Raise(engine_errc::kRequiredValue,
            "The field '" + column +
                "' cannot contain a Null value because the Required property for this field "
                "is set to True. Enter a value in this field.");
    }
    case SQLITE_CONSTRAINT_FOREIGNKEY:
      Raise(engine_errc::kRelatedRecordRequired,
            "You cannot add or change a record because a related record is required in table '" +
                MissingParent(engine, table, value_of) + "'.");
    default:
      engine.Fail(code, table);
  }
}

struct RecordSet::Impl {
  enum class Mode { kNone, kAdd, kEdit };

  std::weak_ptr<Connection> owner;
  Connection::Impl* connection = nullptr;  // valid while `owner` is
  std::string original;
  std::string sql;  // with the hidden rowid column when the set is updatable
  std::vector<SqlValue> values;
  bool updatable = false;
  std::string table;

  bool meta_loaded = false;
  bool rows_loaded = false;
  bool closed = false;
  std::vector<std::string> names;
  std::vector<std::optional<ColumnType>> declared;
  std::vector<std::vector<Variant>> rows;
  std::vector<int64_t> rowids;
  size_t position = 0;

  Mode mode = Mode::kNone;
  // The values assigned since AddNew or Edit: the table's column (valid while the schema read at
  // `pending_generation` is), its name, the stored value.
  struct PendingValue {
    const ColumnDef* column;
    std::string name;
    SqlValue value;
  };
  std::vector<PendingValue> pending;
  uint64_t pending_generation = 0;

  // The definition of `table`, looked up again only after the schema was read anew.
  const TableDef* table_def = nullptr;
  uint64_t table_generation = 0;
  // The INSERT of the last AddNew and the columns it names, for the next row of the same columns.
  std::vector<const ColumnDef*> insert_columns;
  uint64_t insert_generation = 0;
  std::string insert_sql;

  const TableDef* Table(Connection::Impl& engine) {
    if (!table_def || table_generation != engine.schema_generation) {
      table_def = engine.FindTable(table);
      table_generation = engine.schema_generation;
    }
    return table_def;
  }

  Connection::Impl& Engine(std::shared_ptr<Connection>& hold) {
    if (closed) Raise(engine_errc::kEngine, "The record set is closed.");
    hold = owner.lock();
    if (!hold) Raise(engine_errc::kEngine, "The database of the record set is closed.");
    connection->RequireOpen();
    return *connection;
  }

  void ReadMeta(sqlite3_stmt* statement) {
    if (meta_loaded) return;
    const int count = sqlite3_column_count(statement) - (updatable ? 1 : 0);
    for (int c = 0; c < count; ++c) {
      names.emplace_back(sqlite3_column_name(statement, c));
      const char* type = sqlite3_column_decltype(statement, c);
      int32_t length = 0;
      declared.push_back(type ? std::optional<ColumnType>(TypeOfDeclared(type, length))
                              : std::nullopt);
    }
    meta_loaded = true;
  }

  // A set whose catalogue was closed is closed with it, rows already read included.
  void CheckOpen() const {
    if (std::shared_ptr<Connection> hold = owner.lock()) connection->RequireOpen();
  }

  void LoadMeta() {
    CheckOpen();
    if (meta_loaded) return;
    std::shared_ptr<Connection> hold;
    Connection::Impl& engine = Engine(hold);
    StatementLease statement = engine.Prepare(sql, original);
    ReadMeta(statement.get());
  }

  // Reads every row at once and lets the statement go, so none stays active while the caller
  // writes.
  void LoadRows() {
    CheckOpen();
    if (rows_loaded) return;
    std::shared_ptr<Connection> hold;
    Connection::Impl& engine = Engine(hold);
    StatementLease statement = engine.Prepare(sql, original);
    ReadMeta(statement.get());
    engine.Bind(statement.get(), values, 0, values.size(), original);
    const int count = static_cast<int>(names.size());
    int rc;
    while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
      std::vector<Variant> row;
      row.reserve(names.size());
      for (int c = 0; c < count; ++c) {
        row.push_back(ReadValue(statement.get(), c, declared[static_cast<size_t>(c)]));
      }
      rows.push_back(std::move(row));
      if (updatable) rowids.push_back(sqlite3_column_int64(statement.get(), count));
    }
    if (rc != SQLITE_DONE) engine.Fail(sqlite3_extended_errcode(engine.db.get()), original);
    rows_loaded = true;
  }

  size_t FieldIndex(std::string_view name) {
    LoadMeta();
    for (size_t i = 0; i < names.size(); ++i) {
      if (EqualsIgnoreCase(names[i], name)) return i;
    }
    Raise(engine_errc::kUnknownField,
          "Item not found in this collection: '" + std::string(name) + "'.");
  }

  void CheckPosition(int32_t position_index) {
    LoadMeta();
    if (position_index < 0 || static_cast<size_t>(position_index) >= names.size()) {
      Raise(engine_errc::kUnknownField,
            "Item not found in this collection: position " + std::to_string(position_index) + ".");
    }
  }

  const SqlValue* Pending(std::string_view column) const {
    for (const PendingValue& entry : pending) {
      if (entry.name == column) return &entry.value;
    }
    for (const PendingValue& entry : pending) {
      if (EqualsIgnoreCase(entry.name, column)) return &entry.value;
    }
    return nullptr;
  }

  // "INSERT INTO table (pending columns) VALUES (?, ...)"; `current` tells whether the pending
  // columns point into the table definitions as they are now.
  const std::string& InsertSql(bool current) {
    bool same = current && insert_generation == pending_generation && !insert_sql.empty() &&
                insert_columns.size() == pending.size();
    for (size_t i = 0; same && i < pending.size(); ++i) {
      same = insert_columns[i] == pending[i].column;
    }
    if (same) return insert_sql;
    insert_columns.clear();
    std::string columns, marks;
    for (const PendingValue& entry : pending) {
      columns += (columns.empty() ? "" : ", ") + QuoteName(entry.name);
      marks += marks.empty() ? "?" : ", ?";
      insert_columns.push_back(current ? entry.column : nullptr);
    }
    insert_generation = pending_generation;
    insert_sql = "INSERT INTO " + QuoteName(table) + " (" + columns + ") VALUES (" + marks + ")";
    return insert_sql;
  }

  // The value a failed reference check must look at: the new one or, when editing, the stored one.
  SqlValue ValueOf(Connection::Impl& engine, std::string_view column) {
    if (const SqlValue* value = Pending(column)) return *value;
    if (mode != Mode::kEdit) return SqlValue{};
    const std::string sql_text =
        "SELECT " + QuoteName(column) + " FROM " + QuoteName(table) + " WHERE rowid = ?";
    StatementLease statement = engine.Prepare(sql_text, sql_text);
    sqlite3_bind_int64(statement.get(), 1, rowids.at(position));
    SqlValue value;
    if (sqlite3_step(statement.get()) == SQLITE_ROW &&
        sqlite3_column_type(statement.get(), 0) != SQLITE_NULL) {
      value =
          SqlValue::Text(reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0)));
    }
    return value;
  }
};

std::shared_ptr<RecordSet> Connection::OpenRecordSet(std::string_view sql) {
  impl_->RequireOpen();
  const Translation& translation = impl_->TranslateStatement(sql);
  if (translation.kind != StatementKind::kSelect && translation.kind != StatementKind::kOther) {
    // Running an action through a record set would change the file as a side effect of reading.
    Raise(engine_errc::kEngine, "Cannot open a record set on an action or definition statement: '" +
                                    std::string(sql) + "'.");
  }
  ++impl_->stats.statements;
  auto impl = std::make_unique<RecordSet::Impl>();
  impl->owner = impl_->self;
  impl->connection = impl_.get();
  impl->original = std::string(sql);
  impl->values = impl_->Convert(translation);
  impl->updatable = translation.single_table && translation.from_pos != std::string::npos;
  impl->table = translation.table;
  if (impl->updatable) {
    impl->sql = translation.sql.substr(0, translation.from_pos) + ", " +
                QuoteName(translation.table_ref) + ".rowid AS " + std::string(kRowidColumn) +
                translation.sql.substr(translation.from_pos);
  } else {
    impl->sql = translation.sql;
  }
  return std::make_shared<RecordSet>(std::move(impl));
}

RecordSet::RecordSet(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
RecordSet::~RecordSet() = default;

bool RecordSet::Eof() {
  impl_->LoadRows();
  return impl_->position >= impl_->rows.size();
}

void RecordSet::MoveNext() {
  if (Eof()) NoCurrentRecord();
  ++impl_->position;
  impl_->mode = Impl::Mode::kNone;
  impl_->pending.clear();
}

void RecordSet::MoveFirst() {
  impl_->LoadRows();
  if (impl_->rows.empty()) NoCurrentRecord();
  impl_->position = 0;
  impl_->mode = Impl::Mode::kNone;
  impl_->pending.clear();
}

int32_t RecordSet::RecordCount() {
  impl_->LoadRows();
  return static_cast<int32_t>(impl_->rows.size());
}

std::shared_ptr<Array> RecordSet::GetRows(int32_t count) {
  if (Eof()) NoCurrentRecord();
  const size_t remaining = impl_->rows.size() - impl_->position;
  const size_t taken = count <= 0 ? remaining : std::min(remaining, static_cast<size_t>(count));
  const size_t columns = impl_->names.size();
  auto result = std::make_shared<Array>(columns, taken);
  for (size_t r = 0; r < taken; ++r) {
    for (size_t c = 0; c < columns; ++c) {
      result->At(c, r) = impl_->rows[impl_->position + r][c];
    }
  }
  impl_->position += taken;
  return result;
}

std::shared_ptr<Fields> RecordSet::GetFields() {
  impl_->LoadMeta();
  return std::make_shared<Fields>(std::static_pointer_cast<RecordSet>(shared_from_this()));
}

void RecordSet::AddNew() {
  impl_->LoadMeta();
  if (!impl_->updatable) {
    Raise(engine_errc::kNotUpdatable,
          "The record set cannot be updated; only a query of one table can: '" + impl_->original +
              "'.");
  }
  impl_->mode = Impl::Mode::kAdd;
  impl_->pending.clear();
}

void RecordSet::Edit() {
  if (!impl_->updatable) {
    impl_->LoadMeta();
    Raise(engine_errc::kNotUpdatable,
          "The record set cannot be updated; only a query of one table can: '" + impl_->original +
              "'.");
  }
  if (Eof()) NoCurrentRecord();
  impl_->mode = Impl::Mode::kEdit;
  impl_->pending.clear();
}

void RecordSet::Update() {
  Impl& impl = *impl_;
  if (impl.mode == Impl::Mode::kNone) {
    Raise(engine_errc::kUpdateWithoutEdit, "Update without AddNew or Edit.");
  }
  std::shared_ptr<Connection> hold;
  Connection::Impl& engine = impl.Engine(hold);
  const TableDef* table = impl.Table(engine);
  if (!table) Raise(engine_errc::kUnknownTable, "The table '" + impl.table + "' does not exist.");
  const bool current = impl.pending_generation == engine.schema_generation;
  for (const Impl::PendingValue& entry : impl.pending) {
    const ColumnDef* column = current ? entry.column : FindColumn(*table, entry.name);
    if (column) CheckLength(*table, *column, entry.value);
  }

  std::string sql;
  if (impl.mode == Impl::Mode::kAdd) {
    if (impl.pending.empty()) {
      sql = "INSERT INTO " + QuoteName(impl.table) + " DEFAULT VALUES";
    } else {
      sql = impl.InsertSql(current);
    }
  } else {
    if (impl.pending.empty()) {
      impl.mode = Impl::Mode::kNone;
      return;
    }
    std::string assignments;
    for (const Impl::PendingValue& entry : impl.pending) {
      assignments += (assignments.empty() ? "" : ", ") + QuoteName(entry.name) + " = ?";
    }
    sql = "UPDATE " + QuoteName(impl.table) + " SET " + assignments + " WHERE rowid = ?";
  }

  engine.KeepChangeLog();
  int rc;
  {
    StatementLease statement = engine.Prepare(sql, sql);
    int slot = 0;
    for (const Impl::PendingValue& entry : impl.pending) {
      engine.BindValue(statement.get(), ++slot, entry.value, sql);
    }
    if (impl.mode == Impl::Mode::kEdit) {
      engine.BindValue(statement.get(), ++slot, SqlValue::Integer(impl.rowids.at(impl.position)),
                       sql);
    }
    rc = engine.StepAll(statement.get());
  }
  ++engine.stats.statements;
  if (rc != SQLITE_DONE) {
    // Fail() names the statement; a refusal names the table.
    if (!IsRefusedRow(rc)) engine.Fail(rc, sql);
    FailRowWrite(engine, rc, impl.table,
                 [&](std::string_view column) { return impl.ValueOf(engine, column); });
  }

  // Show the written values in the set, as a re-read would.
  if (impl.rows_loaded) {
    std::vector<Variant>* row = nullptr;
    if (impl.mode == Impl::Mode::kAdd) {
      const bool at_end = impl.position >= impl.rows.size();
      impl.rows.emplace_back(impl.names.size(), Variant::Null());
      impl.rowids.push_back(sqlite3_last_insert_rowid(engine.db.get()));
      if (at_end) impl.position = impl.rows.size();
      row = &impl.rows.back();
    } else {
      row = &impl.rows.at(impl.position);
    }
    for (size_t i = 0; i < impl.names.size(); ++i) {
      const ColumnDef* column = FindColumn(*table, impl.names[i]);
      const SqlValue* value = impl.Pending(impl.names[i]);
      if (column && value) (*row)[i] = TypedValue(*column, *value);
    }
  }
  impl.mode = Impl::Mode::kNone;
  impl.pending.clear();
}

void RecordSet::Close() {
  impl_->closed = true;
  impl_->rows.clear();
  impl_->rowids.clear();
  impl_->pending.clear();
  impl_->mode = Impl::Mode::kNone;
}

int32_t RecordSet::FieldCount() {
  impl_->LoadMeta();
  return static_cast<int32_t>(impl_->names.size());
}

std::string RecordSet::FieldName(int32_t position) {
  impl_->CheckPosition(position);
  return impl_->names[static_cast<size_t>(position)];
}

Variant RecordSet::Value(std::string_view name) {
  return ValueAt(static_cast<int32_t>(impl_->FieldIndex(name)));
}

Variant RecordSet::ValueAt(int32_t position) {
  Impl& impl = *impl_;
  impl.CheckPosition(position);
  const size_t index = static_cast<size_t>(position);
  if (impl.mode != Impl::Mode::kNone) {
    if (const SqlValue* value = impl.Pending(impl.names[index])) {
      std::shared_ptr<Connection> hold;
      const TableDef* table = impl.Table(impl.Engine(hold));
      const ColumnDef* column = table ? FindColumn(*table, impl.names[index]) : nullptr;
      if (column) return TypedValue(*column, *value);
    }
    if (impl.mode == Impl::Mode::kAdd) return Variant::Null();
  }
  if (Eof()) NoCurrentRecord();
  return impl.rows[impl.position][index];
}

void RecordSet::SetValue(std::string_view name, const Variant& value) {
  Impl& impl = *impl_;
  if (impl.mode == Impl::Mode::kNone) {
    if (Eof()) NoCurrentRecord();
    Raise(engine_errc::kUpdateWithoutEdit, "Update or assignment without AddNew or Edit.");
  }
  std::shared_ptr<Connection> hold;
  const TableDef* table = impl.Table(impl.Engine(hold));
  const ColumnDef* column = table ? FindColumn(*table, name) : nullptr;
  if (!column) {
    Raise(engine_errc::kUnknownField,
          "Item not found in this collection: '" + std::string(name) + "'.");
  }
  SqlValue stored = ConvertVariant(*table, *column, value);
  if (impl.pending.empty()) impl.pending_generation = impl.table_generation;
  for (Impl::PendingValue& entry : impl.pending) {
    if (entry.column == column || entry.name == column->name) {
      entry.value = std::move(stored);
      return;
    }
  }
  impl.pending.push_back({column, column->name, std::move(stored)});
}

const ClassInfo& RecordSet::Info() {
  static const ClassInfo info =
      ClassBuilder<RecordSet>("Recordset")
          .Get("EOF", &RecordSet::Eof)
          .Method("MoveNext", &RecordSet::MoveNext)
          .Method("MoveFirst", &RecordSet::MoveFirst)
          .Get("RecordCount", &RecordSet::RecordCount)
          .Method("GetRows", &RecordSet::GetRows, {Optional("NumRows", Variant(int32_t{1}))})
          .Get("Fields", &RecordSet::GetFields)
          .Method("AddNew", &RecordSet::AddNew)
          .Method("Edit", &RecordSet::Edit)
          .Method("Update", &RecordSet::Update)
          .Method("Close", &RecordSet::Close)
          .Build();
  return info;
}

int32_t Fields::Count() { return records_->FieldCount(); }

ObjectPtr Fields::Item(Variant index) {
  if (index.IsString()) {
    const std::string name = index.ToText();
    for (int32_t i = 0; i < records_->FieldCount(); ++i) {
      if (EqualsIgnoreCase(records_->FieldName(i), name))
        return std::make_shared<Field>(records_, i);
    }
    Raise(engine_errc::kUnknownField, "Item not found in this collection: '" + name + "'.");
  }
  const int32_t position = index.ToLong();
  records_->FieldName(position);  // raises for a position outside the set
  return std::make_shared<Field>(records_, position);
}

const ClassInfo& Fields::Info() {
  static const ClassInfo info = ClassBuilder<Fields>("Fields")
                                    .Get("Count", &Fields::Count)
                                    .Method("Item", &Fields::Item, {Param("Index")})
                                    .Default()
                                    .Build();
  return info;
}

std::string Field::Name() { return records_->FieldName(position_); }
Variant Field::Value() { return records_->ValueAt(position_); }
void Field::SetValue(Variant value) { records_->SetValue(records_->FieldName(position_), value); }

const ClassInfo& Field::Info() {
  static const ClassInfo info = ClassBuilder<Field>("Field")
                                    .Get("Name", &Field::Name)
                                    .Property("Value", &Field::Value, &Field::SetValue)
                                    .Default()
                                    .Build();
  return info;
}

}  // namespace zel::store
