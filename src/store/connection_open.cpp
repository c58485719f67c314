// Opening and creating catalogue files, with the settings every connection works under, and
// compacting them.
#include "store/connection.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "frame/error.h"
#include "store/engine_errors.h"
#include "store/engine_internal.h"

namespace zel::store {
namespace {

constexpr int kBusyTimeoutMs = 5000;

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
  std::error_code error;
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
  Impl* raw = impl.get();
  std::shared_ptr<Connection> connection(new Connection(std::move(impl)));
  raw->self = connection;
  return connection;
}

void Connection::Compact(const std::string& source, const std::string& destination,
                         std::string_view required_table) {
  RequireDatabaseFile(source);
  std::error_code error;
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
  // The copy comes in rollback-journal mode. A catalogue lives in write-ahead-log mode, whose
  // shared lock is what tells a file someone has open from a closed one, so the next compaction
  // can see a connection that opens the copy.
  auto copy = OpenHandle(destination, SQLITE_OPEN_READWRITE);
  if (Exec(copy.get(), "PRAGMA journal_mode=WAL") != SQLITE_OK) {
    Raise(engine_errc::kDiskIo, "Could not prepare the compacted copy '" + destination +
                                    "': " + sqlite3_errmsg(copy.get()) + ".");
  }
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
