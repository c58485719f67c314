// Parts of the engine adapter shared by the connection and its record sets; not for other callers.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "store/connection.h"
#include "store/sql_translator.h"
#include "store/sql_translator_internal.h"
#include "store/stored_value.h"

namespace zel::store {

// The stored form of a literal of the statement, whose text is `text`: converted to the type of
// the column it meets, or as written when the column is unknown. Raises kDataTypeMismatch,
// kNumericOverflow.
SqlValue ConvertLiteral(const Literal& literal, std::string&& text);
// The stored form of a value assigned to a column through a record set.
SqlValue ConvertVariant(const TableDef& table, const ColumnDef& column, const Variant& value);
// Raises kValueTooLong when a text is longer than the column allows.
void CheckLength(const TableDef& table, const ColumnDef& column, const SqlValue& value);
void CheckTextLength(const TableDef& table, const ColumnDef& column, std::string_view text);
// The value of a result column, typed by the column's declared type (none: by storage class).
Variant ReadValue(sqlite3_stmt* statement, int column, const std::optional<ColumnType>& declared);

struct StatementDeleter {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

// Prepared statements kept by their SQLite text, least recently used ones dropped beyond
// kCapacity. A statement is lent to one caller at a time; it stays in the cache meanwhile, so
// lending and returning allocate nothing.
class StatementCache {
 public:
  static constexpr size_t kCapacity = 300;

  struct Entry {
    StatementPtr statement;
    bool lent = false;
    uint64_t last_use = 0;
  };

  // The cached statement of that text, now lent; nullptr when there is none or it is lent already.
  Entry* Borrow(const std::string& key);
  // Keeps a statement prepared anew and lends it at once; nullptr (the caller keeps it) when the
  // text is cached already, being lent to another caller.
  Entry* Add(const std::string& key, StatementPtr statement);
  // Lends an entry that Borrow or Add gave earlier, without looking its text up again; nullptr
  // when it is lent already. Valid only while epoch() is what it was when the entry was given.
  Entry* BorrowAgain(Entry* entry);
  // Changes whenever an entry is dropped, which ends the validity of entries kept by callers.
  uint64_t epoch() const { return epoch_; }
  void Return(Entry* entry);
  // Finalizes every statement that is not lent; a lent one is finalized when it comes back.
  void Clear();
  size_t size() const { return entries_.size(); }
  bool enabled = true;

 private:
  std::unordered_map<std::string, std::unique_ptr<Entry>> entries_;
  std::vector<std::unique_ptr<Entry>> dropped_;  // cleared while lent
  uint64_t clock_ = 0;
  uint64_t epoch_ = 0;
};

// A prepared statement lent by the cache (or owned, when it could not be cached); reset and
// unbound when the lease ends, so no statement stays active between calls.
class StatementLease {
 public:
  StatementLease(StatementCache* cache, StatementCache::Entry* entry)
      : cache_(cache), entry_(entry) {}
  explicit StatementLease(StatementPtr statement) : owned_(std::move(statement)) {}
  StatementLease(StatementLease&& other) noexcept
      : cache_(other.cache_), entry_(other.entry_), owned_(std::move(other.owned_)) {
    other.entry_ = nullptr;
  }
  StatementLease& operator=(StatementLease&&) = delete;
  ~StatementLease();

  sqlite3_stmt* get() const { return entry_ ? entry_->statement.get() : owned_.get(); }
  // The cache's entry lent; nullptr for a statement owned by the lease.
  StatementCache::Entry* entry() const { return entry_; }

 private:
  StatementCache* cache_ = nullptr;
  StatementCache::Entry* entry_ = nullptr;
  StatementPtr owned_;
};

struct DatabaseCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};

struct Connection::Impl {
  std::unique_ptr<sqlite3, DatabaseCloser> db;  // declared first: closed after the cache is emptied
  std::string path;
  std::string read_only;  // why the file is open for reading only; empty when writable
  std::weak_ptr<Connection> self;
  StatementCache cache;
  TranslationCache translations;
  Translation scratch;             // the last statement translated outside the cache
  std::vector<std::string> texts;  // the literal texts of the last statement translated
  Stats stats;
  int depth = 0;
  int unmarked_writes = 0;  // UnmarkedWrites alive
  // The undo actions of the scope at each depth (OnRollback), innermost last.
  std::vector<std::vector<std::function<void()>>> undo;
  std::vector<TableDef> tables;
  bool tables_loaded = false;
  uint64_t schema_generation = 0;  // counts the times the remembered schema was dropped
  // Whether this connection found or added the file's change log (store/change_log.h).
  bool change_log_kept = false;
  const TableFinder finder = [this](std::string_view name) { return FindTable(name); };

  ~Impl() { cache.Clear(); }

  const TableDef* FindTable(std::string_view name);
  void ForgetSchema();
  // Before this connection's first write: adds the change log when the file lacks it, in the
  // transaction that has just begun (`transaction_begun`, from BeginScope), or else in one of its
  // own just before a statement that writes outside any scope. Costs nothing once the log was
  // found; does nothing inside a scope that began without adding it.
  void KeepChangeLog(bool transaction_begun = false);
  // A prepared statement for `sql`; errors name the statement as the caller wrote it.
  StatementLease Prepare(const std::string& sql, std::string_view original);
  // Binds one value to the placeholder `slot` (1 for the first). The value must outlive the
  // statement's use.
  void BindValue(sqlite3_stmt* statement, int slot, const SqlValue& value,
                 std::string_view original);
  // Binds a text held by the caller, as BindValue binds a text value.
  void BindText(sqlite3_stmt* statement, int slot, std::string_view text,
                std::string_view original);
  // Binds `count` values starting at `first` to the placeholders 1, 2, ...
  void Bind(sqlite3_stmt* statement, const std::vector<SqlValue>& values, size_t first,
            size_t count, std::string_view original);
  // Steps to the end; returns SQLite's result code (SQLITE_DONE on success).
  int StepAll(sqlite3_stmt* statement);
  // Runs a statement once; raises on any failure.
  void Run(const std::string& sql, std::string_view original);
  // Raises the engine error for a SQLite failure.
  [[noreturn]] void Fail(int code, std::string_view original);
  // Raises kReadOnly for a write to this catalogue; `reason` when the open did not see why.
  [[noreturn]] void FailReadOnly(std::string_view reason) const;
  // The stored values of the literals of the statement translated last (texts), consumed.
  std::vector<SqlValue> Convert(const Translation& translation);
  // The translation of `sql`, its literal texts in `texts`; valid until the next translation.
  const Translation& TranslateStatement(std::string_view sql);
  // Raises kObjectInvalid once the connection was closed.
  void RequireOpen() const;
  // Raises the engine error for a refused bound write, as a record set's Update does.
  [[noreturn]] void FailWrite(int code, std::string_view sql);

  // The statement of a row shape (Connection::Insert) and the columns it fills, valid while the
  // schema read at `generation` is.
  struct ShapeStatement {
    uint64_t generation = 0;
    const TableDef* table = nullptr;
    std::vector<const ColumnDef*> columns;
    std::string sql;
    // Its statement in the cache, lent again without hashing its text (StatementCache::epoch).
    StatementCache::Entry* cached = nullptr;
    uint64_t cache_epoch = 0;
  };
  // The prepared statement of a shape's insert.
  StatementLease PrepareShape(ShapeStatement& shape);
  std::unordered_map<const RowShape*, ShapeStatement> shapes;
  std::vector<SqlValue> row;  // the converted values of the row being inserted
  // Of the row being inserted: the texts bound where the caller holds them (nullptr: the value
  // in `row` is bound), one per column.
  std::vector<const std::string*> row_texts;
};

// Raises what a record set's Update raises when SQLite refused its write to `table` with `code`.
// `value_of` gives the value the row has (or would have) in a column, to name the table whose row
// a refused reference needs.
[[noreturn]] void FailRowWrite(Connection::Impl& engine, int code, const std::string& table,
                               const std::function<SqlValue(std::string_view column)>& value_of);

// Runs a statement that needs no parameters nor cache (pragmas, transaction control).
inline int Exec(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// Raises kReadOnly for a write to the catalogue at `path`, which cannot be written for `reason`.
[[noreturn]] void RaiseReadOnly(const std::string& path, std::string_view reason);

// True for the failures the engine answers by skipping a row: key, uniqueness, required value and
// reference rules.
bool IsRefusedRow(int extended_code);

}  // namespace zel::store
