// The engine adapter: one catalogue file in SQLite, reached with the SQL dialect the library
// speaks.
//
// The library builds its statements in that dialect (column types varchar, varchar(n), memo,
// integer, long, NUMERIC, date, yesno; `true`/`false`; LIKE with * and ?; [bracketed] names; text
// literals converted to the column's type by the engine). The adapter translates each statement,
// binds its literals as parameters of a cached prepared statement, and gives the engine's
// behaviour:
//
//  - Execute skips, without an error, every row that a key, uniqueness, NOT NULL or reference rule
//    refuses (per row, also for multi-row INSERT ... SELECT, UPDATE and DELETE); errors in the
//    statement itself (syntax, unknown names, a value that does not convert, a text longer than its
//    column) are raised as zel::Error with the numbers of engine_errors.h.
//  - Exactly one statement per call: text after the first statement is an error, never run.
//  - Text comparison, ordering and unique keys ignore letter case.
//  - Stored form, readable by any SQLite tool: yesno as 0/1, date as "YYYY-MM-DD HH:MM:SS" text,
//    numbers as integers and reals, texts as UTF-8.
//
// A Connection is used on one thread. Record sets and write scopes must not outlive it.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "frame/object.h"
#include "store/stored_value.h"

struct sqlite3;

namespace zel::store {

class RecordSet;

// A value as SQLite stores it: its storage class and content, nothing converted to a column's type
// (store/stored_value.h).
using SqlValue = StoredValue;

// Column types of the dialect, with the type numbers the engine's table definitions report.
enum class ColumnType : int16_t {
  kBoolean = 1,  // yesno
  kLong = 4,     // integer, long
  kDouble = 7,   // NUMERIC
  kDate = 8,     // date
  kText = 10,    // varchar, varchar(n)
  kMemo = 12,    // memo
};

struct ColumnDef {
  std::string name;
  ColumnType type = ColumnType::kText;
  int32_t max_length = 0;  // characters for kText (255 unless given), 0 otherwise
  bool not_null = false;
};

struct TableDef {
  std::string name;
  std::vector<ColumnDef> columns;
};

class Connection {
 public:
  // Opens an existing catalogue file, shared: writable when this process may write the file and
  // its folder, otherwise for reading only (a read-only mount, another user's file), when every
  // write raises kReadOnly. Opening changes nothing in the file (not its journal mode either), and
  // opening for reading creates nothing beside it. A missing file, a file that is not a database,
  // a file without `required_table` (when given), one this process may not read, one whose log
  // holds commits that only a writer can bring in, and one that another process keeps locked
  // beyond a few seconds raise the engine's error for that case; a failed open creates and
  // changes nothing.
  static std::shared_ptr<Connection> Open(const std::string& path,
                                          std::string_view required_table = {});
  // Creates a new empty file in write-ahead-log mode; raises kFileExists when one is already there.
  static std::shared_ptr<Connection> Create(const std::string& path);
  // Writes a compacted copy of the closed file `source` to `destination`, which must not exist.
  // The copy is in write-ahead-log mode. Refuses (kLocked) a source that any connection, of this
  // process or another, still has open, since that connection would go on writing to the file the
  // copy replaces; refuses what Open refuses (an empty file, a file without `required_table`) with
  // the same errors.
  static void Compact(const std::string& source, const std::string& destination,
                      std::string_view required_table = {});

  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // The path as given to Open or Create.
  const std::string& Name() const;

  // Why the catalogue is open for reading only; empty when it may be written.
  const std::string& WhyReadOnly() const;
  // Raises kReadOnly, naming the catalogue and the reason, when it is open for reading only.
  void RequireWritable() const;

  // Runs an action or definition statement (see the file comment for the skipping rule).
  // Returns the number of rows changed.
  int64_t Execute(std::string_view sql);
  // Opens a record set on a query. Its rows are read when first needed.
  std::shared_ptr<RecordSet> OpenRecordSet(std::string_view sql);

  // The library's own statements, in SQLite's SQL with ? placeholders bound to `values`; the
  // dialect is for callers' texts. A row that breaks a key, a required value or a reference is an
  // error here (kDuplicateKey, kRequiredValue, kRelatedRecordRequired), never skipped, and so is a
  // text longer than its column (kValueTooLong). Write returns the number of rows changed; Read
  // every row of a query, each value as stored.
  int64_t Write(const std::string& sql, const std::vector<StoredValue>& values);
  std::vector<std::vector<StoredValue>> Read(const std::string& sql,
                                             const std::vector<StoredValue>& values);
  // The rowid of the row inserted last.
  int64_t LastInsertRowid();

  // Some columns of one table, which the library's own inserts fill in this order. A shape lives
  // as long as the program (a static): its statement is built once per connection and schema.
  struct RowShape {
    std::string_view table;
    std::vector<std::string_view> columns;
  };
  // What an insert does with a row that a key, required-value or reference rule refuses: skip it
  // and return 0, as Execute does, or raise the error a record set's Update raises.
  enum class Refused { kSkip, kRaise };
  // Inserts one row of `shape` with `values` bound, one per column. Each value is converted to its
  // column's type and checked against its length exactly as Execute converts a literal of an
  // INSERT and a record set an assigned value (a text in a number column is read as a number, and
  // so on), so the row stored is the one such a statement stores, without its text being built and
  // read again. Returns the number of rows written.
  int64_t Insert(const RowShape& shape, std::initializer_list<Variant> values, Refused refused);
  int64_t Insert(const RowShape& shape, std::span<const Variant> values, Refused refused);

  // Runs `undo` if the write scope now open, or any scope around it, rolls back, so that what a
  // save changed in memory goes back with the file. Dropped once the outermost scope commits;
  // without an open scope there is nothing to undo and it is dropped at once. Undo actions run
  // last first and must not throw.
  void OnRollback(std::function<void()> undo);

  // Closes the file now, whoever still holds this connection, its record sets or objects read
  // through it. Any later use raises kObjectInvalid. Closing twice does nothing.
  void Close();
  bool IsClosed() const;

  // Creates a new empty file, as Create does, with the tables and indexes of `model`'s file, as
  // that file defines them (of whatever schema).
  static std::shared_ptr<Connection> CreateLike(const std::string& path, Connection& model);

  // Rows exactly as the file stores them, for copies that must give back what they took (between
  // catalogues, into a dump and out of it): nothing is converted to or checked against a column's
  // type. ReadStoredRows calls `each` with the values of every row of `table` (only those whose
  // column `key_column` equals `key`, when a column is named), columns in the table's order, rows
  // in the order of their rowid. InsertStoredRow adds one row; false, adding nothing, when a key,
  // uniqueness, NOT NULL or reference rule refuses it.
  void ReadStoredRows(std::string_view table, std::string_view key_column, std::string_view key,
                      const std::function<void(const std::vector<SqlValue>&)>& each);
  bool InsertStoredRow(std::string_view table, const std::vector<std::string>& columns,
                       const std::vector<SqlValue>& values);

  // A column of a table whose values must name a row of another table.
  struct Reference {
    std::string column;
    std::string parent_table;
    std::string parent_column;
  };
  // The references of `table`, as its file defines them.
  std::vector<Reference> References(std::string_view table);

  // The user tables of the file, in creation order, with their columns.
  std::vector<TableDef> TableDefs();
  // The definition of one table; nullptr when the file has no such table (names ignore case).
  const TableDef* FindTable(std::string_view name);

  // Nested write scopes; prefer WriteScope. The outermost scope is one transaction.
  void BeginScope();
  void CommitScope();
  void RollbackScope() noexcept;
  int ScopeDepth() const;

  // Whether saves on this connection mark the parts of titles they change as edited here
  // (title_parts.h); UnmarkedWrites counts itself in and out while it lives.
  bool MarksEdits() const;
  void CountUnmarkedWrites(int change);

  struct Stats {
    uint64_t statements = 0;    // statements run (Execute and record sets)
    uint64_t cache_hits = 0;    // prepared statements reused
    uint64_t cache_misses = 0;  // statements prepared anew
  };
  Stats stats() const;
  // Turns the prepared-statement cache on or off (on by default); for measurements.
  void SetStatementCache(bool enabled);

  // The SQLite handle, for the adapter's own parts.
  sqlite3* handle();

  struct Impl;

 private:
  explicit Connection(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// A scope of writes that ends in a rollback unless committed: an error thrown between construction
// and Commit leaves the file as it was when the scope began. Scopes nest (savepoints). The
// destructor never throws.
class WriteScope {
 public:
  explicit WriteScope(Connection& connection);
  ~WriteScope();
  WriteScope(const WriteScope&) = delete;
  WriteScope& operator=(const WriteScope&) = delete;

  void Commit();

 private:
  Connection& connection_;
  bool open_ = true;
};

// Settings for writing many rows, while it lives: the engine keeps up to `cache_kib` KiB of the
// file's pages in memory and copies its write-ahead log into the file once the log holds
// `log_pages` pages, so that a page changed again and again is read and written fewer times.
// The settings before come back when it ends.
class BulkWriting {
 public:
  BulkWriting(Connection& connection, int64_t cache_kib, int64_t log_pages);
  ~BulkWriting();
  BulkWriting(const BulkWriting&) = delete;
  BulkWriting& operator=(const BulkWriting&) = delete;

 private:
  Connection& connection_;
  int64_t cache_before_ = -2000;
  int64_t checkpoint_before_ = 1000;
};

class Fields;

// A cursor over the rows of a query, with the engine's record-set members. Values come typed by
// the column: yesno as Boolean, date as Date, integer and long as Long, NUMERIC as Double, texts as
// String, a missing value as Null. Fields are found by name (ignoring case, first match) or by
// 0-based position. AddNew, Edit and Update write one row of a single-table query; an Update that
// breaks a key raises kDuplicateKey.
class RecordSet : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  bool Eof();
  void MoveNext();
  void MoveFirst();
  // Non-zero when the set has at least one row.
  int32_t RecordCount();
  // The next `count` rows as an array indexed (column, row), moving past them.
  std::shared_ptr<Array> GetRows(int32_t count);
  std::shared_ptr<Fields> GetFields();
  void AddNew();
  void Edit();
  void Update();
  void Close();

  // C++ conveniences over the current row.
  int32_t FieldCount();
  std::string FieldName(int32_t position);
  // Value of the current row's field by name or 0-based position; raises kNoCurrentRecord at EOF
  // (outside AddNew) and kUnknownField for an unknown field.
  Variant Value(std::string_view name);
  Variant ValueAt(int32_t position);
  // Assigns a field of the row being added or edited, converted to the column's type.
  void SetValue(std::string_view name, const Variant& value);

  struct Impl;
  explicit RecordSet(std::unique_ptr<Impl> impl);
  ~RecordSet() override;

 private:
  std::unique_ptr<Impl> impl_;
};

// The fields of a record set's current row. Item (the default member) takes a name or a position.
class Fields : public Object {
 public:
  explicit Fields(std::shared_ptr<RecordSet> records) : records_(std::move(records)) {}
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  int32_t Count();
  ObjectPtr Item(Variant index);

 private:
  std::shared_ptr<RecordSet> records_;
};

// One field of a record set's current row.
class Field : public Object {
 public:
  Field(std::shared_ptr<RecordSet> records, int32_t position)
      : records_(std::move(records)), position_(position) {}
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  std::string Name();
  Variant Value();
  void SetValue(Variant value);

 private:
  std::shared_ptr<RecordSet> records_;
  int32_t position_;
};

}  // namespace zel::store
