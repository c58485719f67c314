// Parts of the engine adapter shared by the connection and its record sets; not for other callers.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "store/connection.h"
#include "store/sql_translator.h"

namespace zel::store {

// A value as SQLite stores it.
struct SqlValue {
  enum class Kind { kNull, kInteger, kReal, kText };
  Kind kind = Kind::kNull;
  int64_t integer = 0;
  double real = 0;
  std::string text;

  static SqlValue Integer(int64_t value) { return {Kind::kInteger, value, 0, {}}; }
  static SqlValue Real(double value) { return {Kind::kReal, 0, value, {}}; }
  static SqlValue Text(std::string value) { return {Kind::kText, 0, 0, std::move(value)}; }
};

// The stored form of a literal of the statement: converted to the type of the column it meets, or
// as written when the column is unknown. Raises kDataTypeMismatch, kNumericOverflow.
SqlValue ConvertLiteral(const Literal& literal);
// The stored form of a value assigned to a column through a record set.
SqlValue ConvertVariant(const TableDef& table, const ColumnDef& column, const Variant& value);
// Raises kValueTooLong when a text is longer than the column allows.
void CheckLength(const TableDef& table, const ColumnDef& column, const SqlValue& value);
// The value of a result column, typed by the column's declared type (nullptr: by storage class).
Variant ReadValue(sqlite3_stmt* statement, int column, const char* declared);

struct StatementDeleter {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

class StatementCache;

// A prepared statement lent by the cache; it goes back, reset and unbound, when the lease ends, so
// no statement stays active between calls.
class StatementLease {
 public:
  StatementLease(StatementCache* cache, std::string key, StatementPtr statement)
      : cache_(cache), key_(std::move(key)), statement_(std::move(statement)) {}
  StatementLease(StatementLease&&) = default;
  StatementLease& operator=(StatementLease&&) = delete;
  ~StatementLease();

  sqlite3_stmt* get() const { return statement_.get(); }

 private:
  StatementCache* cache_;
  std::string key_;
  StatementPtr statement_;
};

// Least-recently-used prepared statements, keyed by their SQLite text.
class StatementCache {
 public:
  static constexpr size_t kCapacity = 300;

  // The cached statement of that text, taken out of the cache while lent; nullptr when none.
  StatementPtr Take(const std::string& key);
  void Give(std::string key, StatementPtr statement);
  void Clear();
  bool enabled = true;

 private:
  std::list<std::pair<std::string, StatementPtr>> entries_;  // most recent first
  std::unordered_map<std::string, std::list<std::pair<std::string, StatementPtr>>::iterator> index_;
};

struct DatabaseCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};

struct Connection::Impl {
  std::unique_ptr<sqlite3, DatabaseCloser> db;  // declared first: closed after the cache is emptied
  std::string path;
  std::weak_ptr<Connection> self;
  StatementCache cache;
  Stats stats;
  int depth = 0;
  std::vector<TableDef> tables;
  bool tables_loaded = false;

  ~Impl() { cache.Clear(); }

  const TableDef* FindTable(std::string_view name);
  void ForgetSchema();
  // A prepared statement for `sql`; errors name the statement as the caller wrote it.
  StatementLease Prepare(const std::string& sql, std::string_view original);
  // Binds `count` values starting at `first` to the placeholders 1, 2, ...
  void Bind(sqlite3_stmt* statement, const std::vector<SqlValue>& values, size_t first,
            size_t count, std::string_view original);
  // Steps to the end; returns SQLite's result code (SQLITE_DONE on success).
  int StepAll(sqlite3_stmt* statement);
  // Runs a statement once; raises on any failure.
  void Run(const std::string& sql, std::string_view original);
  // Raises the engine error for a SQLite failure.
  [[noreturn]] void Fail(int code, std::string_view original);
  std::vector<SqlValue> Convert(const Translation& translation);
  Translation TranslateStatement(std::string_view sql);
};

// True for the failures the engine answers by skipping a row: key, uniqueness, required value and
// reference rules.
bool IsRefusedRow(int extended_code);

}  // namespace zel::store
