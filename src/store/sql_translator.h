// Translation of the library's SQL dialect into SQLite's.
//
// A tokenizer reads one statement; no full parser is needed because the dialect differs from
// SQLite's in words and literals, not in structure. The result carries the SQLite text with every
// literal replaced by a `?` placeholder, so that statements of one shape share a prepared
// statement, and, for each placeholder, the literal with the column it is written to or compared
// with, so the adapter can convert it to that column's type the way the original engine did.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "store/connection.h"

namespace zel::store {

enum class StatementKind {
  kSelect,
  kInsertValues,  // INSERT ... VALUES: one row
  kInsertSelect,  // INSERT ... SELECT: any number of rows
  kUpdate,
  kDelete,
  kCreateTable,
  kDefinition,  // CREATE INDEX, DROP, ALTER and other statements that change the schema
  kOther,
};

struct Literal {
  enum class Kind { kText, kNumber, kDate };
  Kind kind = Kind::kText;
  std::string text;  // the text between the quotes, the number as written, or the date's ISO text
  // The column the literal is written to or compared with; nullptr when unknown. Points into the
  // table definitions given to Translate, which must outlive the use of the result.
  const TableDef* table = nullptr;
  const ColumnDef* column = nullptr;
  // True when the literal is stored into the column (INSERT values, UPDATE SET), so that its length
  // is checked; false for comparisons.
  bool stored = false;
};

struct Translation {
  StatementKind kind = StatementKind::kOther;
  std::string sql;  // SQLite text, literals as `?`
  std::vector<Literal> params;

  // Target table of INSERT, UPDATE and DELETE; the one table of a single-table SELECT.
  std::string table;
  // A SELECT of one table without joins, grouping, DISTINCT or compound parts: rows can be written
  // back by rowid. `table_ref` is how the query names that table (its alias, if any).
  bool single_table = false;
  std::string table_ref;
  // Offsets into `sql` (npos when absent) and the number of placeholders before each: the top-level
  // WHERE of UPDATE and DELETE, the SELECT of INSERT ... SELECT and the top-level FROM of a SELECT.
  size_t where_pos = std::string::npos;
  size_t params_before_where = 0;
  size_t select_pos = std::string::npos;
  size_t params_before_select = 0;
  size_t from_pos = std::string::npos;
};

// Names the length rule of a varchar column: "<table>.<column>" + this mark + the limit.
inline constexpr std::string_view kLengthLimitMark = " at most ";

// Finds a table definition by name, ignoring case; nullptr when there is none.
using TableFinder = std::function<const TableDef*(std::string_view)>;

// Translates one statement. Raises kTextAfterStatement when anything but blanks and comments
// follows a `;`, and kSyntax for an unterminated literal or name.
Translation Translate(std::string_view sql, const TableFinder& find_table);

// A statement split into its shape (its text with a mark in place of each text and number literal)
// and its literals in order. Statements of one shape translate alike but for the literal texts.
struct StatementShape {
  std::string key;
  std::vector<std::string> literals;
  std::vector<Literal::Kind> kinds;
};

// Splits `sql` the way Translate reads it. False when the quick scan cannot vouch for that: dates,
// a sign before a number, LIKE (whose pattern is rewritten), comments, `;`, and literals or names
// left open. Such statements are simply translated each time.
bool ShapeOf(std::string_view sql, StatementShape& shape);

// Translations by statement shape, so that a statement is translated once per shape rather than
// on every call. Cached translations point into the table definitions they were made with: clear
// the cache whenever those change.
class TranslationCache {
 public:
  static constexpr size_t kCapacity = 1000;

  // The translation of `sql` with its literal texts in `texts` (in the order of its params): the
  // cached one of its shape, or `scratch` freshly translated. The result stays valid until the next
  // call or Clear. Raises what Translate raises.
  const Translation& Get(std::string_view sql, const TableFinder& find_table,
                         std::vector<std::string>& texts, Translation& scratch);
  void Clear() { entries_.clear(); }
  size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    bool cacheable = false;
    Translation translation;
  };
  std::unordered_map<std::string, Entry> entries_;
  StatementShape shape_;
};

// The SQLite LIKE pattern (escape character `\`) of a pattern of the dialect, or false when the
// pattern needs a character class or a digit wildcard, which LIKE cannot express.
bool LikePattern(std::string_view pattern, std::string& out);
// The case-insensitive GLOB pattern of a pattern of the dialect; serves every pattern.
std::string GlobPattern(std::string_view pattern);

// The dialect's type of a column from the type SQLite stores in the schema.
ColumnType TypeOfDeclared(std::string_view declared, int32_t& max_length);

}  // namespace zel::store
