#include "store/plain_database.h"

#include "frame/error.h"
#include "store/engine_errors.h"

namespace zel::store {
namespace {

constexpr int kBusyTimeoutMs = 5000;

// The engine's error for a failed call on `db`, with what was being done.
[[noreturn]] void Fail(sqlite3* db, int rc, const std::string& doing) {
  const int primary = rc & 0xff;
  const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
    Raise(engine_errc::kLocked,
          doing + ": the file is locked by another process (" + message + ")");
  }
  if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT) {
    Raise(engine_errc::kNotADatabase, doing + ": " + message);
  }
  if (primary == SQLITE_CANTOPEN || primary == SQLITE_READONLY || primary == SQLITE_PERM) {
    Raise(engine_errc::kCannotOpen, doing + ": " + message);
  }
  if (primary == SQLITE_IOERR || primary == SQLITE_FULL) {
    Raise(engine_errc::kDiskIo, doing + ": " + message);
  }
  Raise(engine_errc::kEngine, doing + ": " + message);
}

std::string Percent(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (c == '%' || c == '?' || c == '#') {
      static constexpr char kHex[] = "0123456789ABCDEF";
      const auto byte = static_cast<unsigned char>(c);
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string PlainUri(const std::string& path, PlainDatabase::Mode mode) {
  std::string uri = "file:" + Percent(path);
  switch (mode) {
    case PlainDatabase::Mode::kCreate:
      return uri + "?mode=rwc";
    case PlainDatabase::Mode::kReadWrite:
      return uri + "?mode=rw";
    case PlainDatabase::Mode::kReadOnly:
      return uri + "?mode=ro";
    case PlainDatabase::Mode::kImmutable:
      return uri + "?mode=ro&immutable=1";
  }
  return uri;
}

PlainStatement::~PlainStatement() { sqlite3_finalize(statement_); }

PlainStatement& PlainStatement::Bind(int index, int64_t value) {
  sqlite3_bind_int64(statement_, index, value);
  return *this;
}

PlainStatement& PlainStatement::Bind(int index, double value) {
  sqlite3_bind_double(statement_, index, value);
  return *this;
}

PlainStatement& PlainStatement::Bind(int index, std::string_view text) {
  sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                    SQLITE_TRANSIENT);
  return *this;
}

PlainStatement& PlainStatement::BindBlob(int index, std::string_view bytes) {
  sqlite3_bind_blob(statement_, index, bytes.data(), static_cast<int>(bytes.size()),
                    SQLITE_TRANSIENT);
  return *this;
}

PlainStatement& PlainStatement::BindNull(int index) {
  sqlite3_bind_null(statement_, index);
  return *this;
}

bool PlainStatement::Step() {
  const int rc = sqlite3_step(statement_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  sqlite3* db = sqlite3_db_handle(statement_);
  const std::string sql = sqlite3_sql(statement_) ? sqlite3_sql(statement_) : "";
  sqlite3_reset(statement_);
  Fail(db, rc, "Could not run '" + sql.substr(0, 200) + "'");
}

void PlainStatement::Run() {
  while (Step()) {
  }
}

bool PlainStatement::IsNull(int column) const {
  return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

int64_t PlainStatement::Int(int column) const { return sqlite3_column_int64(statement_, column); }

double PlainStatement::Real(int column) const { return sqlite3_column_double(statement_, column); }

std::string PlainStatement::Text(int column) const {
  const auto* text = sqlite3_column_text(statement_, column);
  if (!text) return {};
  return std::string(reinterpret_cast<const char*>(text),
                     static_cast<size_t>(sqlite3_column_bytes(statement_, column)));
}

std::string_view PlainStatement::Blob(int column) const {
  const void* bytes = sqlite3_column_blob(statement_, column);
  if (!bytes) return {};
  return {static_cast<const char*>(bytes),
          static_cast<size_t>(sqlite3_column_bytes(statement_, column))};
}

void PlainStatement::Reset() {
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
}

std::unique_ptr<PlainDatabase> PlainDatabase::Open(const std::string& path, Mode mode) {
  sqlite3* raw = nullptr;
  // The mode is the URI's: the flags allow the most, so that a file attached later may be written
  // even when this one is only read.
  const int flags =
      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX;
  const int rc = sqlite3_open_v2(PlainUri(path, mode).c_str(), &raw, flags, nullptr);
  std::unique_ptr<PlainDatabase> database(new PlainDatabase(raw, path));
  if (rc != SQLITE_OK) Fail(raw, rc, "Could not open the file '" + path + "'");
  sqlite3_extended_result_codes(raw, 1);
  sqlite3_busy_timeout(raw, kBusyTimeoutMs);
  // A file that is not a database fails here rather than at the first query.
  database->Execute("SELECT count(*) FROM sqlite_master");
  return database;
}

PlainDatabase::~PlainDatabase() {
  statements_.clear();
  sqlite3_close_v2(db_);
}

void PlainDatabase::Execute(std::string_view sql) {
  const std::string text(sql);
  char* error = nullptr;
  const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &error);
  sqlite3_free(error);
  if (rc != SQLITE_OK) Fail(db_, rc, "Could not run '" + text.substr(0, 200) + "'");
}

PlainStatement& PlainDatabase::Prepare(const std::string& sql) {
  auto& kept = statements_[sql];
  if (!kept) {
    sqlite3_stmt* raw = nullptr;
    const int rc =
        sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr);
    if (rc != SQLITE_OK) {
      statements_.erase(sql);
      Fail(db_, rc, "Could not prepare '" + sql.substr(0, 200) + "'");
    }
    kept = std::make_unique<PlainStatement>(raw);
  } else {
    kept->Reset();
  }
  return *kept;
}

void PlainDatabase::ResetAll() {
  for (auto& [sql, statement] : statements_) sqlite3_reset(statement->get());
}

void PlainDatabase::Clear() { statements_.clear(); }

void PlainDatabase::Attach(const std::string& path, std::string_view name, Mode mode) {
  PlainStatement& attach = Prepare("ATTACH DATABASE ? AS " + std::string(name));
  attach.Bind(1, PlainUri(path, mode));
  attach.Run();
  statements_.erase("ATTACH DATABASE ? AS " + std::string(name));
  // A file that is not a database fails here rather than at the first query.
  Execute("SELECT count(*) FROM " + std::string(name) + ".sqlite_master");
}

void PlainDatabase::DefineFunction(const std::string& name, TextFunction function) {
  auto* kept = new TextFunction(std::move(function));
  const auto call = [](sqlite3_context* context, int, sqlite3_value** values) {
    const auto* text = sqlite3_value_text(values[0]);
    if (!text) {
      sqlite3_result_null(context);
      return;
    }
    const std::string_view argument(reinterpret_cast<const char*>(text),
                                    static_cast<size_t>(sqlite3_value_bytes(values[0])));
    try {
      const std::string result =
          (*static_cast<TextFunction*>(sqlite3_user_data(context)))(argument);
      sqlite3_result_text(context, result.data(), static_cast<int>(result.size()),
                          SQLITE_TRANSIENT);
    } catch (const std::exception& error) {
      sqlite3_result_error(context, error.what(), -1);
    }
  };
  const int rc = sqlite3_create_function_v2(
      db_, name.c_str(), 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, kept, call, nullptr, nullptr,
      [](void* data) { delete static_cast<TextFunction*>(data); });
  if (rc != SQLITE_OK) Fail(db_, rc, "Could not define the function " + name);
}

int64_t PlainDatabase::Changes() { return sqlite3_changes64(db_); }

int64_t PlainDatabase::LastInsertId() { return sqlite3_last_insert_rowid(db_); }

bool PlainDatabase::IsReadOnly(std::string_view name) {
  return sqlite3_db_readonly(db_, std::string(name).c_str()) == 1;
}

}  // namespace zel::store
