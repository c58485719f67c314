// Opening and creating catalogue files, with the settings every connection works under, and
// compacting them.
//
// A catalogue that this process may not write (a read-only mount, another user's file, a file
// that is itself read-only, or one whose folder cannot take the engine's log) is opened for
// reading, in a way that creates and changes nothing beside it. Measured with SQLite 3.40 on a
// file in write-ahead-log mode:
//  - mode=ro reads the log when the log and its index (-wal, -shm) both exist, also on a
//    read-only mount, and follows a writer that is working on the file meanwhile;
//  - without them, mode=ro fails where the folder cannot be written, and where it can, it creates
//    both files and leaves them behind, owned by the reader;
//  - immutable=1 creates nothing and reads the main file alone: right when there is no log or
//    only an empty one, wrong when the log holds commits (it does not see them at all);
//  - a log with commits but no index can be read by nobody who may not write: refused.
// A file in rollback-journal mode is read with mode=ro, which creates nothing either.
#include "store/connection.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "frame/error.h"
#include "store/engine_errors.h"
#include "store/engine_internal.h"

namespace zel::store {
namespace {

namespace fs = std::filesystem;

constexpr int kBusyTimeoutMs = 5000;

using Handle = std::unique_ptr<sqlite3, DatabaseCloser>;

// Opens `name` (a path, or a URI with SQLITE_OPEN_URI); errors name `path`.
Handle OpenHandle(const std::string& path, int flags, const std::string& name = {}) {
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(name.empty() ? path.c_str() : name.c_str(), &raw,
                                 flags | SQLITE_OPEN_NOMUTEX, nullptr);
  Handle db(raw);
  if (rc != SQLITE_OK) {
    Raise(engine_errc::kCannotOpen, "Could not open the file '" + path + "': " +
                                        (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)) + ".");
  }
  return db;
}

// Why this process may not write the catalogue at `path` together with the log the engine keeps
// beside it; empty when it may.
std::string ReasonNotWritable(const std::string& path) {
  if (access(path.c_str(), W_OK) != 0) {
    return errno == EROFS ? "it is on a read-only file system" : "this user may not write the file";
  }
  std::error_code error;
  const fs::path folder = fs::absolute(path, error).parent_path();
  if (access(folder.c_str(), W_OK | X_OK) != 0) {
    return errno == EROFS ? "it is on a read-only file system"
                          : "this user may not write its folder '" + folder.string() + "'";
  }
  return {};
}

// Whether the file's header says it keeps its commits in a write-ahead log.
bool InLogMode(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char header[20] = {};
  return in.read(header, sizeof header) && header[18] == 2 && header[19] == 2;
}

// `path` as an SQLite URI with `parameter`.
std::string UriOf(const std::string& path, const std::string& parameter) {
  std::string uri = "file:";
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || byte >= 0x80 ||
        std::string_view("/._~-").find(c) != std::string::npos) {
      uri += c;
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
      uri += escaped;
    }
  }
  return uri + "?" + parameter;
}

// Opens a catalogue that this process may not write for reading, creating and changing nothing
// beside it (see the file comment for why each case is opened as it is).
Handle OpenForReading(const std::string& path) {
  if (access(path.c_str(), R_OK) != 0) {
    Raise(engine_errc::kCannotOpen,
          "Could not open the file '" + path + "': this user may not read it.");
  }
  std::string mode = "mode=ro";
  if (InLogMode(path)) {
    std::error_code error;
    const uintmax_t log_bytes = fs::file_size(path + "-wal", error);
    const bool has_log = !error;
    const bool has_index = fs::exists(path + "-shm", error);
    if (!(has_log && has_index)) {
      if (has_log && log_bytes > 0) {
        Raise(engine_errc::kCannotOpen,
              "Could not open the file '" + path + "' for reading: its log '" + path +
                  "-wal' holds changes that are not in the file yet, which only a program that "
                  "may write the catalogue can bring in (open it once with write access).");
      }
      mode = "immutable=1";
    }
  }
  return OpenHandle(path, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, UriOf(path, mode));
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

// Raises kNotADatabase when the file lacks `required_table` (when given).
void RequireTable(sqlite3* db, const std::string& path, std::string_view required_table) {
  if (!required_table.empty() && !HasTable(db, required_table)) {
    Raise(engine_errc::kNotADatabase, "The file '" + path + "' is not a catalogue: it has no " +
                                          std::string(required_table) + " table.");
  }
}

// Raises kFileNotFound unless `path` is a file, and kNotADatabase when it is empty: SQLite would
// silently make an empty file a database, and it is not a catalogue.
void RequireDatabaseFile(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    Raise(engine_errc::kFileNotFound, "Could not find file '" + path + "'.");
  }
  if (std::filesystem::file_size(path, error) == 0 && !error) {
    Raise(engine_errc::kNotADatabase, "Unrecognized database format '" + path + "'.");
  }
}

void RunPragmas(sqlite3* db, const std::string& path, std::initializer_list<const char*> pragmas) {
  for (const char* pragma : pragmas) {
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

// Puts a new file in write-ahead-log mode: commits that readers do not block. The mode is kept in
// the file, so that opening it later need not change it.
void UseLog(sqlite3* db, const std::string& path) {
  RunPragmas(db, path, {"PRAGMA journal_mode=WAL"});
}

// Settings of the connection, not of the file: opening for reading changes nothing in it.
void SetUp(sqlite3* db, const std::string& path) {
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  // Durable commits; the rules of references hold on every write.
  RunPragmas(db, path,
             {"PRAGMA synchronous=FULL", "PRAGMA foreign_keys=ON", "PRAGMA temp_store=MEMORY"});
}

// The value of a pragma that reads as one number.
int64_t PragmaValue(sqlite3* db, const char* pragma) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, pragma, -1, &raw, nullptr) != SQLITE_OK) return 0;
  StatementPtr statement(raw);
  return sqlite3_step(raw) == SQLITE_ROW ? sqlite3_column_int64(raw, 0) : 0;
}

}  // namespace

std::shared_ptr<Connection> Connection::Open(const std::string& path,
                                             std::string_view required_table) {
  RequireDatabaseFile(path);
  const std::string read_only = ReasonNotWritable(path);
  auto impl = std::make_unique<Impl>();
  impl->path = path;
  impl->read_only = read_only;
  impl->db = read_only.empty() ? OpenHandle(path, SQLITE_OPEN_READWRITE) : OpenForReading(path);
  sqlite3_extended_result_codes(impl->db.get(), 1);
  // A writer that is committing or a reader that is recovering the log holds the file for a
  // moment; waiting for it here keeps such a moment from failing the open.
  sqlite3_busy_timeout(impl->db.get(), kBusyTimeoutMs);
  VerifyDatabase(impl->db.get(), path);
  if (read_only.empty() && sqlite3_db_readonly(impl->db.get(), "main") == 1) {
    impl->read_only = "the engine opened it for reading only";
  }
  RequireTable(impl->db.get(), path, required_table);
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
  UseLog(impl->db.get(), path);
  Impl* raw = impl.get();
  std::shared_ptr<Connection> connection(new Connection(std::move(impl)));
  raw->self = connection;
  return connection;
}

std::shared_ptr<Connection> Connection::CreateLike(const std::string& path, Connection& model) {
  std::vector<std::string> definitions;
  sqlite3_stmt* raw = nullptr;
  int rc = sqlite3_prepare_v2(
      model.handle(),
      "SELECT sql FROM sqlite_master WHERE type IN ('table', 'index') AND "
      "sql IS NOT NULL AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid",
      -1, &raw, nullptr);
  StatementPtr statement(raw);
  while (rc == SQLITE_OK && (rc = sqlite3_step(raw)) == SQLITE_ROW) {
    definitions.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(raw, 0)));
    rc = SQLITE_OK;
  }
  if (rc != SQLITE_DONE)
    model.impl_->Fail(sqlite3_extended_errcode(model.handle()), "reading the tables");
  std::shared_ptr<Connection> created = Create(path);
  WriteScope scope(*created);
  for (const std::string& definition : definitions) {
    if (Exec(created->handle(), definition.c_str()) != SQLITE_OK) {
      created->impl_->Fail(sqlite3_extended_errcode(created->handle()), definition);
    }
  }
  scope.Commit();
  created->impl_->ForgetSchema();
  return created;
}

void Connection::Compact(const std::string& source, const std::string& destination,
                         std::string_view required_table) {
  RequireDatabaseFile(source);
  std::error_code error;
  if (std::filesystem::exists(destination, error)) {
    Raise(engine_errc::kFileExists,
          "Could not create '" + destination + "': the file already exists.");
  }
  // The compacted copy replaces the file: a file that cannot be written cannot be compacted.
  if (const std::string why = ReasonNotWritable(source); !why.empty()) RaiseReadOnly(source, why);
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
  RequireTable(db.get(), source, required_table);
  const std::string sql = "VACUUM INTO " + QuoteText(destination);
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
  // The copy is written in rollback-journal mode whatever the source's mode.
  UseLog(OpenHandle(destination, SQLITE_OPEN_READWRITE).get(), destination);
}

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

}  // namespace zel::store
