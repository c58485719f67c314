#include "store/backup.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "frame/error.h"
#include "store/engine_errors.h"
#include "store/engine_internal.h"

namespace zel::store {
namespace {

// How long a backup waits in all for a lock that another process holds.
constexpr auto kLockPatience = std::chrono::seconds(30);

using Handle = std::unique_ptr<sqlite3, DatabaseCloser>;

Handle OpenFile(const std::string& path, int flags, const std::string& what) {
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  Handle db(raw);
  if (rc != SQLITE_OK) {
    Raise(engine_errc::kCannotOpen, "Could not open " + what + " '" + path + "': " +
                                        (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)) + ".");
  }
  sqlite3_extended_result_codes(db.get(), 1);
  sqlite3_busy_timeout(db.get(), 5000);
  return db;
}

// The engine's error for a failure `code` on the file at `path`, `what` saying what was being done.
[[noreturn]] void Fail(int code, const std::string& path, const std::string& what) {
  switch (code & 0xff) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
      Raise(engine_errc::kNotADatabase, "Unrecognized database format '" + path + "'.");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      Raise(engine_errc::kLocked, "The file '" + path + "' stayed locked by another process.");
    default:
      Raise(engine_errc::kDiskIo, what + " '" + path + "': " + sqlite3_errstr(code) + ".");
  }
}

// The first column of the first row of `sql`, as text; empty when there is no row.
std::string QueryText(sqlite3* db, const char* sql, const std::string& path) {
  sqlite3_stmt* raw = nullptr;
  int rc = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
  StatementPtr statement(raw);
  if (rc == SQLITE_OK) rc = sqlite3_step(raw);
  if (rc == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(raw, 0);
    return text ? reinterpret_cast<const char*>(text) : "";
  }
  if (rc == SQLITE_DONE) return {};
  Fail(sqlite3_extended_errcode(db), path, "Could not read");
}

// Removes a temporary copy and the files the engine may have left beside it.
void RemoveCopy(const std::string& path) {
  std::error_code ignored;
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
    std::filesystem::remove(path + suffix, ignored);
  }
}

void Copy(sqlite3* from, sqlite3* to, const std::string& source, const std::string& copy) {
  sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
  if (!backup) {
    Raise(engine_errc::kDiskIo,
          "Could not start the copy of '" + source + "': " + sqlite3_errmsg(to) + ".");
  }
  // One step copies every page under one read of the source: a single snapshot, which writers in
  // write-ahead-log mode do not wait for and cannot disturb.
  const auto give_up = std::chrono::steady_clock::now() + kLockPatience;
  int rc;
  while (true) {
    rc = sqlite3_backup_step(backup, -1);
    const int primary = rc & 0xff;
    if ((primary != SQLITE_BUSY && primary != SQLITE_LOCKED) ||
        std::chrono::steady_clock::now() > give_up) {
      break;
    }
    sqlite3_sleep(50);
  }
  sqlite3_backup_finish(backup);
  if (rc == SQLITE_DONE) return;
  if ((rc & 0xff) == SQLITE_IOERR || (rc & 0xff) == SQLITE_FULL) {
    Fail(rc, copy, "Could not write the copy");
  }
  Fail(rc, source, "Could not copy");
}

}  // namespace

BackupResult BackupCatalogue(const std::string& source, const std::string& destination) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(source, error)) {
    Raise(engine_errc::kFileNotFound, "Could not find file '" + source + "'.");
  }
  if (std::filesystem::exists(destination, error)) {
    Raise(engine_errc::kFileExists,
          "Could not create '" + destination + "': the file already exists.");
  }
  // Opened as every command opens a catalogue: for reading only, creating nothing beside it, where
  // this process may not write it.
  const std::shared_ptr<Connection> from = Connection::Open(source, "DbInfo");

  std::string copy = destination + ".XXXXXX";
  const int fd = mkstemp(copy.data());
  if (fd < 0) {
    Raise(engine_errc::kCannotOpen,
          "Could not create '" + destination + "': " + std::strerror(errno) + ".");
  }
  close(fd);
  // The copy is readable by whoever may read the catalogue, no more, and writable by its owner:
  // the copy of a read-only catalogue is one to work on.
  std::filesystem::permissions(
      copy,
      std::filesystem::status(source, error).permissions() | std::filesystem::perms::owner_write,
      error);
  BackupResult result;
  try {
    Handle to = OpenFile(copy, SQLITE_OPEN_READWRITE, "the copy");
    Copy(from->handle(), to.get(), source, copy);
    const std::string check = QueryText(to.get(), "PRAGMA quick_check", copy);
    if (check != "ok") {
      Raise(engine_errc::kNotADatabase, "The copy of '" + source + "' failed its check: " + check);
    }
    result.pages = std::stoll(QueryText(to.get(), "PRAGMA page_count", copy));
    to.reset();
    // A link, unlike a rename, never replaces a file that appeared under the name meanwhile. A file
    // system without links gets a rename after the same check.
    if (link(copy.c_str(), destination.c_str()) != 0) {
      if (errno == EEXIST || std::filesystem::exists(destination, error)) {
        Raise(engine_errc::kFileExists,
              "Could not create '" + destination + "': the file already exists.");
      }
      if (rename(copy.c_str(), destination.c_str()) != 0) {
        Raise(engine_errc::kCannotOpen,
              "Could not create '" + destination + "': " + std::strerror(errno) + ".");
      }
    }
  } catch (...) {
    RemoveCopy(copy);
    throw;
  }
  RemoveCopy(copy);
  result.bytes = static_cast<int64_t>(std::filesystem::file_size(destination, error));
  return result;
}

}  // namespace zel::store
