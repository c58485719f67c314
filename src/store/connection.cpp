#include "store/connection.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "frame/error.h"
#include "frame/text.h"
#include "store/engine_errors.h"
#include "store/engine_internal.h"

namespace zel::store {
namespace {

constexpr int kBusyTimeoutMs = 5000;

std::string Quote(std::string_view text, char mark) {
  std::string out(1, mark);
  for (char c : text) {
    out += c;
    if (c == mark) out += c;
  }
  out += mark;
  return out;
}
std::string QuoteName(std::string_view name) { return Quote(name, '"'); }

std::string AfterPrefix(std::string_view message, std::string_view prefix) {
  std::string rest(message.substr(prefix.size()));
  if (rest.starts_with("main.")) rest.erase(0, 5);
  return rest;
}

// Runs a statement that needs no parameters nor cache (pragmas, transaction control).
int Exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

std::unique_ptr<sqlite3, DatabaseCloser> OpenHandle(const std::string& path, int flags) {
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  std::unique_ptr<sqlite3, DatabaseCloser> db(raw);
  if (rc != SQLITE_OK) {
    Raise(engine_errc::kCannotOpen, "Could not open the file '" + path + "': " +
                                        (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)) + ".");
  }
  return db;
}

// Reads the schema so that a file that is not a database fails here, before anything is written.
void VerifyDatabase(sqlite3* db, const std::string& path) {
  const int rc = Exec(db, "SELECT count(*) FROM sqlite_master");
  if (rc == SQLITE_OK) return;
  const int primary = sqlite3_extended_errcode(db) & 0xff;
  if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT) {
    Raise(engine_errc::kNotADatabase, "Unrecognized database format '" + path + "'.");
  }
  if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
    Raise(engine_errc::kLocked, "The file '" + path + "' is locked by another process.");
  }
  Raise(engine_errc::kCannotOpen,
        "Could not open the file '" + path + "': " + sqlite3_errmsg(db) + ".");
}

bool HasTable(sqlite3* db, std::string_view name) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db,
                         "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE "
                         "NOCASE",
                         -1, &raw, nullptr) != SQLITE_OK) {
    return false;
  }
  StatementPtr statement(raw);
  sqlite3_bind_text(raw, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
  return sqlite3_step(raw) == SQLITE_ROW;
}

}  // namespace

// ---- statement cache ----

StatementLease::~StatementLease() {
  sqlite3_stmt* statement = get();
  if (!statement) return;
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
  if (entry_) cache_->Return(entry_);
}

StatementCache::Entry* StatementCache::Borrow(const std::string& key) {
  auto found = entries_.find(key);
  if (found == entries_.end() || found->second->lent) return nullptr;
  Entry* entry = found->second.get();
  entry->lent = true;
  entry->last_use = ++clock_;
  return entry;
}

StatementCache::Entry* StatementCache::Add(const std::string& key, StatementPtr statement) {
  if (entries_.contains(key)) return nullptr;
  if (entries_.size() >= kCapacity) {
    auto oldest = entries_.end();
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if (!it->second->lent &&
          (oldest == entries_.end() || it->second->last_use < oldest->second->last_use)) {
        oldest = it;
      }
    }
    if (oldest != entries_.end()) entries_.erase(oldest);
  }
  auto entry = std::make_unique<Entry>();
  entry->statement = std::move(statement);
  entry->lent = true;
  entry->last_use = ++clock_;
  Entry* raw = entry.get();
  entries_.emplace(key, std::move(entry));
  return raw;
}

void StatementCache::Return(Entry* entry) {
  entry->lent = false;
  if (dropped_.empty()) return;
  for (auto it = dropped_.begin(); it != dropped_.end(); ++it) {
    if (it->get() == entry) {
      dropped_.erase(it);
      return;
    }
  }
}

void StatementCache::Clear() {
  for (auto& [key, entry] : entries_) {
    if (entry->lent) dropped_.push_back(std::move(entry));
  }
  entries_.clear();
}

bool IsRefusedRow(int extended_code) {
  return extended_code == SQLITE_CONSTRAINT_PRIMARYKEY ||
         extended_code == SQLITE_CONSTRAINT_UNIQUE || extended_code == SQLITE_CONSTRAINT_NOTNULL ||
         extended_code == SQLITE_CONSTRAINT_FOREIGNKEY;
}

// ---- connection internals ----

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
        names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(list.get(), 0)));
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

StatementLease Connection::Impl::Prepare(const std::string& sql, std::string_view original) {
  if (cache.enabled) {
    if (StatementCache::Entry* cached = cache.Borrow(sql)) {
      ++stats.cache_hits;
      return StatementLease(&cache, cached);
    }
  }
  sqlite3_stmt* raw = nullptr;
  const int rc = sqlite3_prepare_v3(db.get(), sql.c_str(), static_cast<int>(sql.size()),
                                    cache.enabled ? SQLITE_PREPARE_PERSISTENT : 0, &raw, nullptr);
  StatementPtr statement(raw);
  if (rc != SQLITE_OK) Fail(rc, original);
  if (!statement) Raise(engine_errc::kSyntax, "Empty statement '" + std::string(original) + "'.");
  ++stats.cache_misses;
  if (cache.enabled) {
    if (StatementCache::Entry* entry = cache.Add(sql, std::move(statement))) {
      return StatementLease(&cache, entry);
    }
  }
  return StatementLease(std::move(statement));
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

void Connection::Impl::Fail(int code, std::string_view original) {
  const std::string message = sqlite3_errmsg(db.get());
  const std::string statement(original);
  if (code == SQLITE_CONSTRAINT_CHECK) {
    constexpr std::string_view kPrefix = "CHECK constraint failed: ";
    const size_t mark = message.find(kLengthLimitMark);
    if (message.starts_with(kPrefix) && mark != std::string::npos) {
      Raise(engine_errc::kValueTooLong,
            "The field " + message.substr(kPrefix.size(), mark - kPrefix.size()) +
                " is too small to accept the amount of data you attempted to add: at most " +
                message.substr(mark + kLengthLimitMark.size()) + " characters.");
    }
  }
  switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      Raise(engine_errc::kLocked,
            "The file '" + path + "' is locked by another process; the statement could not run: '" +
                statement + "'.");
    case SQLITE_IOERR:
    case SQLITE_FULL:
    case SQLITE_CANTOPEN:
      Raise(engine_errc::kDiskIo,
            "Disk or network error (" + message + ") while running '" + statement + "'.");
    case SQLITE_READONLY:
      Raise(engine_errc::kCannotOpen,
            "The file '" + path + "' cannot be written (" + message + "): '" + statement + "'.");
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
      Raise(engine_errc::kNotADatabase, "Unrecognized database format '" + path + "'.");
    case SQLITE_ERROR:
      if (message.starts_with("no such table: ")) {
        Raise(engine_errc::kUnknownTable,
              "The table '" + AfterPrefix(message, "no such table: ") + "' does not exist.");
      }
      if (message.starts_with("no such column: ")) {
        Raise(engine_errc::kUnknownColumn, "Unknown column '" +
                                               AfterPrefix(message, "no such column: ") +
                                               "' in statement '" + statement + "'.");
      }
      if (message.starts_with("table ") && message.ends_with(" already exists")) {
        Raise(engine_errc::kTableExists,
              "Table '" + message.substr(6, message.size() - 6 - 15) + "' already exists.");
      }
      if (message.starts_with("index ") && message.ends_with(" already exists")) {
        Raise(engine_errc::kIndexExists,
              "Index '" + message.substr(6, message.size() - 6 - 15) + "' already exists.");
      }
      if (message.starts_with("table ") &&
          message.find(" has no column named ") != std::string::npos) {
        Raise(engine_errc::kUnknownColumn, "Unknown column '" +
                                               message.substr(message.find(" named ") + 7) +
                                               "' in statement '" + statement + "'.");
      }
      Raise(engine_errc::kSyntax,
            "Syntax error (" + message + ") in statement '" + statement + "'.");
    default:
      Raise(engine_errc::kEngine,
            "The database engine failed (" + message + ") running '" + statement + "'.");
  }
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

namespace {

void SetUp(sqlite3* db, const std::string& path) {
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  // Durable commits that readers do not block; the rules of references hold on every write.
  for (const char* pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL",
                             "PRAGMA foreign_keys=ON", "PRAGMA temp_store=MEMORY"}) {
    const int rc = Exec(db, pragma);
    if (rc == SQLITE_BUSY || (rc & 0xff) == SQLITE_BUSY) {
      Raise(engine_errc::kLocked, "The file '" + path + "' is locked by another process.");
    }
    if (rc != SQLITE_OK) {
      Raise(engine_errc::kCannotOpen,
            "Could not open the file '" + path + "': " + sqlite3_errmsg(db) + ".");
    }
  }
}

}  // namespace

std::shared_ptr<Connection> Connection::Open(const std::string& path,
                                             std::string_view required_table) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    Raise(engine_errc::kFileNotFound, "Could not find file '" + path + "'.");
  }
  // An empty file would silently become a database; it is not a catalogue.
  if (std::filesystem::file_size(path, error) == 0 && !error) {
    Raise(engine_errc::kNotADatabase, "Unrecognized database format '" + path + "'.");
  }
  // The engine would open such a file read-only and leave its own files behind; the catalogue
  // is opened for writing or not at all.
  if (access(path.c_str(), R_OK | W_OK) != 0) {
    Raise(engine_errc::kCannotOpen, "Could not open the file '" + path + "' for writing.");
  }
  const std::filesystem::path folder = std::filesystem::absolute(path, error).parent_path();
  if (access(folder.c_str(), W_OK | X_OK) != 0) {
    Raise(engine_errc::kCannotOpen, "Could not open the file '" + path + "': its folder '" +
                                        folder.string() + "' cannot be written.");
  }
  auto impl = std::make_unique<Impl>();
  impl->path = path;
  impl->db = OpenHandle(path, SQLITE_OPEN_READWRITE);
  sqlite3_extended_result_codes(impl->db.get(), 1);
  // A writer that is committing or a reader that is recovering the log holds the file for a
  // moment; waiting for it here keeps such a moment from failing the open.
  sqlite3_busy_timeout(impl->db.get(), kBusyTimeoutMs);
  VerifyDatabase(impl->db.get(), path);
  if (sqlite3_db_readonly(impl->db.get(), "main") == 1) {
    Raise(engine_errc::kCannotOpen, "Could not open the file '" + path + "' for writing.");
  }
  // Checked before SetUp, whose switch to the write-ahead log would change the file.
  if (!required_table.empty() && !HasTable(impl->db.get(), required_table)) {
    Raise(engine_errc::kNotADatabase, "The file '" + path + "' is not a catalogue: it has no " +
                                          std::string(required_table) + " table.");
  }
  SetUp(impl->db.get(), path);
  Impl* raw = impl.get();
  std::shared_ptr<Connection> connection(new Connection(std::move(impl)));
  raw->self = connection;
  return connection;
}

std::shared_ptr<Connection> Connection::Create(const std::string& path) {
  std::error_code error;
  if (std::filesystem::exists(path, error)) {
    Raise(engine_errc::kFileExists, "Could not create '" + path + "': the file already exists.");
  }
  const std::filesystem::path folder = std::filesystem::absolute(path, error).parent_path();
  if (!std::filesystem::is_directory(folder, error)) {
    Raise(engine_errc::kCannotOpen,
          "Could not create '" + path + "': the folder '" + folder.string() + "' does not exist.");
  }
  if (access(folder.c_str(), W_OK | X_OK) != 0) {
    Raise(engine_errc::kCannotOpen, "Could not create '" + path + "': the folder '" +
                                        folder.string() + "' cannot be written.");
  }
  auto impl = std::make_unique<Impl>();
  impl->path = path;
  impl->db = OpenHandle(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_EXCLUSIVE);
  SetUp(impl->db.get(), path);
  Impl* raw = impl.get();
  std::shared_ptr<Connection> connection(new Connection(std::move(impl)));
  raw->self = connection;
  return connection;
}

void Connection::Compact(const std::string& source, const std::string& destination,
                         std::string_view required_table) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(source, error)) {
    Raise(engine_errc::kFileNotFound, "Could not find file '" + source + "'.");
  }
  if (std::filesystem::file_size(source, error) == 0 && !error) {
    Raise(engine_errc::kNotADatabase, "Unrecognized database format '" + source + "'.");
  }
  if (std::filesystem::exists(destination, error)) {
    Raise(engine_errc::kFileExists,
          "Could not create '" + destination + "': the file already exists.");
  }
  auto db = OpenHandle(source, SQLITE_OPEN_READWRITE);
  sqlite3_extended_result_codes(db.get(), 1);
  // Every connection to a file in write-ahead-log mode holds a shared lock on it while open, so
  // an exclusive lock proves nobody else has it open. Held until the copy is written.
  sqlite3_busy_timeout(db.get(), 250);
  Exec(db.get(), "PRAGMA locking_mode=EXCLUSIVE");
  const int probe = Exec(db.get(), "SELECT count(*) FROM sqlite_master");
  if (probe != SQLITE_OK && ((probe & 0xff) == SQLITE_BUSY || (probe & 0xff) == SQLITE_LOCKED)) {
    Raise(engine_errc::kLocked, "The file '" + source +
                                    "' is open elsewhere (another catalogue object or another "
                                    "program); close it before compacting.");
  }
  VerifyDatabase(db.get(), source);
  if (!required_table.empty() && !HasTable(db.get(), required_table)) {
    Raise(engine_errc::kNotADatabase, "The file '" + source + "' is not a catalogue: it has no " +
                                          std::string(required_table) + " table.");
  }
  const std::string sql = "VACUUM INTO " + Quote(destination, '\'');
  const int rc = Exec(db.get(), sql.c_str());
  if (rc != SQLITE_OK) {
    const int primary = rc & 0xff;
    const std::string message = sqlite3_errmsg(db.get());
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
      Raise(engine_errc::kLocked, "The file '" + source + "' is locked by another process.");
    }
    Raise(engine_errc::kDiskIo,
          "Could not write the compacted copy '" + destination + "': " + message + ".");
  }
}

const std::string& Connection::Name() const { return impl_->path; }

int64_t Connection::Execute(std::string_view sql) {
  Impl& impl = *impl_;
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

// Scopes begin and end once per imported title: their statements are prepared once, too.
void Connection::BeginScope() {
  Impl& impl = *impl_;
  const std::string sql =
      impl.depth == 0 ? "BEGIN IMMEDIATE" : "SAVEPOINT sp_" + std::to_string(impl.depth);
  impl.Run(sql, sql);
  ++impl.depth;
}

void Connection::CommitScope() {
  Impl& impl = *impl_;
  if (impl.depth == 0) return;
  const std::string sql =
      impl.depth == 1 ? "COMMIT" : "RELEASE sp_" + std::to_string(impl.depth - 1);
  impl.Run(sql, sql);
  --impl.depth;
}

void Connection::RollbackScope() noexcept {
  Impl& impl = *impl_;
  if (impl.depth == 0) return;
  if (impl.depth == 1) {
    Exec(impl.db.get(), "ROLLBACK");
  } else {
    const std::string name = "sp_" + std::to_string(impl.depth - 1);
    Exec(impl.db.get(), ("ROLLBACK TO " + name).c_str());
    Exec(impl.db.get(), ("RELEASE " + name).c_str());
  }
  --impl.depth;
  // A rolled-back definition must not stay in the remembered schema.
  impl.ForgetSchema();
}

int Connection::ScopeDepth() const { return impl_->depth; }

namespace {

// The value of a pragma that reads as one number.
int64_t PragmaValue(sqlite3* db, const char* pragma) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, pragma, -1, &raw, nullptr) != SQLITE_OK) return 0;
  StatementPtr statement(raw);
  return sqlite3_step(raw) == SQLITE_ROW ? sqlite3_column_int64(raw, 0) : 0;
}

}  // namespace

BulkWriting::BulkWriting(Connection& connection, int64_t cache_kib, int64_t log_pages)
    : connection_(connection) {
  sqlite3* db = connection_.handle();
  cache_before_ = PragmaValue(db, "PRAGMA cache_size");
  checkpoint_before_ = PragmaValue(db, "PRAGMA wal_autocheckpoint");
  Exec(db, ("PRAGMA cache_size = -" + std::to_string(cache_kib)).c_str());
  Exec(db, ("PRAGMA wal_autocheckpoint = " + std::to_string(log_pages)).c_str());
}

BulkWriting::~BulkWriting() {
  sqlite3* db = connection_.handle();
  Exec(db, ("PRAGMA cache_size = " + std::to_string(cache_before_)).c_str());
  Exec(db, ("PRAGMA wal_autocheckpoint = " + std::to_string(checkpoint_before_)).c_str());
}

Connection::Stats Connection::stats() const { return impl_->stats; }

void Connection::SetStatementCache(bool enabled) {
  impl_->cache.enabled = enabled;
  if (!enabled) impl_->cache.Clear();
}

sqlite3* Connection::handle() { return impl_->db.get(); }

WriteScope::WriteScope(Connection& connection) : connection_(connection) {
  connection_.BeginScope();
}

WriteScope::~WriteScope() {
  if (open_) connection_.RollbackScope();
}

void WriteScope::Commit() {
  if (!open_) return;
  connection_.CommitScope();
  open_ = false;
}

}  // namespace zel::store
