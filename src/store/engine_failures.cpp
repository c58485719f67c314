// SQLite's failures as the engine's errors, with the engine's numbers and messages.
#include <string>

#include "frame/error.h"
#include "store/engine_errors.h"
#include "store/engine_internal.h"

namespace zel::store {
namespace {

std::string AfterPrefix(std::string_view message, std::string_view prefix) {
  std::string rest(message.substr(prefix.size()));
  if (rest.starts_with("main.")) rest.erase(0, 5);
  return rest;
}

}  // namespace

bool IsRefusedRow(int extended_code) {
  return extended_code == SQLITE_CONSTRAINT_PRIMARYKEY ||
         extended_code == SQLITE_CONSTRAINT_UNIQUE || extended_code == SQLITE_CONSTRAINT_NOTNULL ||
         extended_code == SQLITE_CONSTRAINT_FOREIGNKEY;
}

void RaiseReadOnly(const std::string& path, std::string_view reason) {
  Raise(engine_errc::kReadOnly,
        "Cannot update. The catalogue '" + path + "' is read-only: " + std::string(reason) + ".");
}

void Connection::Impl::FailReadOnly(std::string_view reason) const {
  RaiseReadOnly(path, read_only.empty() ? reason : read_only);
}

const std::string& Connection::WhyReadOnly() const { return impl_->read_only; }

void Connection::RequireWritable() const {
  if (!impl_->read_only.empty()) impl_->FailReadOnly({});
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
      FailReadOnly(message);
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

}  // namespace zel::store
