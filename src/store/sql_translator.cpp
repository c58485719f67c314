#include "store/sql_translator.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "frame/error.h"
#include "frame/text.h"
#include "frame/variant.h"
#include "store/engine_errors.h"

namespace zel::store {
namespace {

enum class TokenKind { kWord, kName, kString, kNumber, kDate, kSymbol };

struct Token {
  TokenKind kind;
  std::string text;  // words and symbols as written; names, strings and dates without delimiters
  bool keyword = false;  // a word the dialect reserves
};

bool IsReserved(std::string_view word);

bool IsWordStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool IsWordChar(char c) {
  return IsWordStart(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '$';
}

// Whether a number literal starts at sql[i] (a digit, or a point before one), and where it ends:
// digits and points, then an exponent if one follows.
bool NumberStarts(std::string_view sql, size_t i) {
  const auto digit = [&](size_t at) {
    return at < sql.size() && std::isdigit(static_cast<unsigned char>(sql[at]));
  };
  return digit(i) || (i < sql.size() && sql[i] == '.' && digit(i + 1));
}

size_t NumberEnd(std::string_view sql, size_t i) {
  const size_t n = sql.size();
  size_t j = i;
  while (j < n && (std::isdigit(static_cast<unsigned char>(sql[j])) || sql[j] == '.')) ++j;
  if (j < n && (sql[j] == 'e' || sql[j] == 'E')) {
    size_t k = j + 1;
    if (k < n && (sql[k] == '+' || sql[k] == '-')) ++k;
    if (k < n && std::isdigit(static_cast<unsigned char>(sql[k]))) {
      j = k;
      while (j < n && std::isdigit(static_cast<unsigned char>(sql[j]))) ++j;
    }
  }
  return j;
}

[[noreturn]] void SyntaxError(std::string_view what, std::string_view sql) {
  Raise(engine_errc::kSyntax, std::string(what) + " in statement '" + std::string(sql) + "'.");
}

std::vector<Token> Tokenize(std::string_view sql) {
  std::vector<Token> tokens;
  size_t i = 0;
  const size_t n = sql.size();
  bool ended = false;  // a `;` was seen
  while (i < n) {
    const char c = sql[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
      continue;
    }
    if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
      while (i < n && sql[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      const size_t end = sql.find("*/", i + 2);
      i = end == std::string_view::npos ? n : end + 2;
      continue;
    }
    if (ended) {
      Raise(engine_errc::kTextAfterStatement, "Characters found after end of SQL statement.");
    }
    if (c == ';') {
      ended = true;
      ++i;
      continue;
    }
    if (c == '\'') {
      std::string value;
      ++i;
      for (;;) {
        if (i >= n) SyntaxError("Unterminated text literal", sql);
        if (sql[i] == '\'') {
          if (i + 1 < n && sql[i + 1] == '\'') {
            value += '\'';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        value += sql[i++];
      }
      tokens.push_back({TokenKind::kString, std::move(value)});
      continue;
    }
    if (c == '[' || c == '"' || c == '`') {
      const char close = c == '[' ? ']' : c;
      const size_t end = sql.find(close, i + 1);
      if (end == std::string_view::npos) SyntaxError("Unterminated name", sql);
      tokens.push_back({TokenKind::kName, std::string(sql.substr(i + 1, end - i - 1))});
      i = end + 1;
      continue;
    }
    if (c == '#') {
      const size_t end = sql.find('#', i + 1);
      if (end == std::string_view::npos) SyntaxError("Unterminated date literal", sql);
      const std::string_view inner = sql.substr(i + 1, end - i - 1);
      Date date;
      if (!ParseDate(inner, date)) {
        SyntaxError("Invalid date literal #" + std::string(inner) + "#", sql);
      }
      tokens.push_back({TokenKind::kDate, FormatDateTime(date)});
      i = end + 1;
      continue;
    }
    if (NumberStarts(sql, i)) {
      const size_t j = NumberEnd(sql, i);
      tokens.push_back({TokenKind::kNumber, std::string(sql.substr(i, j - i))});
      i = j;
      continue;
    }
    if (IsWordStart(c)) {
      size_t j = i;
      while (j < n && IsWordChar(sql[j])) ++j;
      const std::string_view word = sql.substr(i, j - i);
      tokens.push_back({TokenKind::kWord, std::string(word), IsReserved(word)});
      i = j;
      continue;
    }
    static constexpr std::string_view kTwoChar[] = {"<=", ">=", "<>", "!=", "==", "||", "<<", ">>"};
    std::string symbol(1, c);
    if (i + 1 < n) {
      const std::string_view pair = sql.substr(i, 2);
      if (std::find(std::begin(kTwoChar), std::end(kTwoChar), pair) != std::end(kTwoChar)) {
        symbol = std::string(pair);
      }
    }
    tokens.push_back({TokenKind::kSymbol, symbol});
    i += symbol.size();
  }
  return tokens;
}

bool IsWord(const Token& token, std::string_view word) {
  return token.kind == TokenKind::kWord && EqualsIgnoreCase(token.text, word);
}
bool IsSymbol(const Token& token, std::string_view symbol) {
  return token.kind == TokenKind::kSymbol && token.text == symbol;
}

const std::set<std::string>& Keywords() {
  static const std::set<std::string> words = {
      "all",       "and",    "as",     "asc",      "between", "by",     "case",   "cross",
      "default",   "delete", "desc",   "distinct", "else",    "end",    "except", "exists",
      "false",     "from",   "full",   "group",    "having",  "in",     "inner",  "insert",
      "intersect", "into",   "is",     "join",     "left",    "like",   "limit",  "natural",
      "not",       "null",   "offset", "on",       "or",      "order",  "outer",  "right",
      "select",    "set",    "then",   "true",     "union",   "update", "using",  "values",
      "when",      "where",  "glob",   "escape",   "top",     "with",   "window", "collate"};
  return words;
}
bool IsReserved(std::string_view word) { return Keywords().contains(ToLower(word)); }
bool IsKeyword(const Token& token) { return token.kind == TokenKind::kWord && token.keyword; }
// A word or bracketed name that may name a table, column or alias.
bool IsNameToken(const Token& token) {
  return token.kind == TokenKind::kName || (token.kind == TokenKind::kWord && !IsKeyword(token));
}
bool IsLiteral(const Token& token) {
  return token.kind == TokenKind::kString || token.kind == TokenKind::kNumber ||
         token.kind == TokenKind::kDate;
}
bool IsComparison(const Token& token) {
  static const std::set<std::string> ops = {"=", "==", "<>", "!=", "<", ">", "<=", ">="};
  return token.kind == TokenKind::kSymbol && ops.contains(token.text);
}

std::string QuoteName(std::string_view name) {
  return "\"" + ReplaceAll(name, "\"", "\"\"") + "\"";
}
std::string QuoteText(std::string_view text) { return "'" + ReplaceAll(text, "'", "''") + "'"; }

// Signs directly before a number become part of it where they cannot be a binary operator, so that
// `col = -5` compares the column with one literal.
void FoldSigns(std::vector<Token>& tokens) {
  for (size_t i = 0; i + 1 < tokens.size(); ++i) {
    if (!(IsSymbol(tokens[i], "-") || IsSymbol(tokens[i], "+")) ||
        tokens[i + 1].kind != TokenKind::kNumber) {
      continue;
    }
    if (i > 0) {
      const Token& before = tokens[i - 1];
      const bool operand = before.kind == TokenKind::kName || IsLiteral(before) ||
                           IsSymbol(before, ")") ||
                           (before.kind == TokenKind::kWord && !IsKeyword(before));
      if (operand) continue;
    }
    if (tokens[i].text == "-") tokens[i + 1].text = "-" + tokens[i + 1].text;
    tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

// Appends a piece of SQL with a blank where one is needed between tokens.
void Append(std::string& out, std::string_view piece) {
  if (!out.empty() && out.back() != '(' && out.back() != '.' && piece != "," && piece != ")" &&
      piece != ".") {
    out += ' ';
  }
  out += piece;
}

// Text of a token for a statement that takes no parameters (definitions).
std::string InlineText(const Token& token) {
  switch (token.kind) {
    case TokenKind::kName:
      return QuoteName(token.text);
    case TokenKind::kString:
    case TokenKind::kDate:
      return QuoteText(token.text);
    case TokenKind::kWord:
      if (EqualsIgnoreCase(token.text, "true")) return "1";
      if (EqualsIgnoreCase(token.text, "false")) return "0";
      return token.text;
    case TokenKind::kSymbol:
      return token.text == "&" ? "||" : token.text;
    case TokenKind::kNumber:
      return token.text;
  }
  return token.text;
}

struct TableRef {
  std::string name;
  std::string alias;
  const TableDef* def = nullptr;
};

class Translator {
 public:
  Translator(std::string_view sql, const TableFinder& find_table)
      : original_(sql), find_table_(find_table), tokens_(Tokenize(sql)) {
    FoldSigns(tokens_);
  }

  Translation Run() {
    if (tokens_.empty()) SyntaxError("Empty statement", original_);
    const Token& first = tokens_[0];
    if (IsWord(first, "create") && tokens_.size() > 1 && IsWord(tokens_[1], "table")) {
      result_.kind = StatementKind::kCreateTable;
      TranslateCreateTable();
      return std::move(result_);
    }
    if (IsWord(first, "create") || IsWord(first, "drop") || IsWord(first, "alter")) {
      result_.kind = StatementKind::kDefinition;
      for (const Token& token : tokens_) Append(result_.sql, InlineText(token));
      return std::move(result_);
    }
    if (IsWord(first, "select")) {
      result_.kind = StatementKind::kSelect;
    } else if (IsWord(first, "insert")) {
      result_.kind = StatementKind::kInsertValues;
    } else if (IsWord(first, "update")) {
      result_.kind = StatementKind::kUpdate;
    } else if (IsWord(first, "delete")) {
      result_.kind = StatementKind::kDelete;
      // `DELETE * FROM t` and `DELETE t.* FROM t` name the rows to delete; SQLite takes none.
      size_t from = 1;
      while (from < tokens_.size() && !IsWord(tokens_[from], "from")) ++from;
      if (from < tokens_.size()) tokens_.erase(tokens_.begin() + 1, tokens_.begin() + from);
    }
    CollectTables();
    MarkTargets();
    Emit();
    return std::move(result_);
  }

 private:
  // Tables named after FROM, JOIN, INTO and UPDATE (and after commas of a FROM list), with aliases.
  void CollectTables() {
    bool expect = false;
    bool in_from = false;
    int from_depth = 0;
    int depth = 0;
    bool compound = false;
    int joins = 0;
    for (size_t i = 0; i < tokens_.size(); ++i) {
      const Token& token = tokens_[i];
      if (IsSymbol(token, "(")) {
        ++depth;
        continue;
      }
      if (IsSymbol(token, ")")) {
        --depth;
        if (in_from && depth < from_depth) in_from = false;
        continue;
      }
      if (expect && IsNameToken(token)) {
        TableRef ref;
        ref.name = token.text;
        ref.def = find_table_ ? find_table_(ref.name) : nullptr;
        size_t next = i + 1;
        if (next < tokens_.size() && IsWord(tokens_[next], "as")) ++next;
        if (next < tokens_.size() && IsNameToken(tokens_[next])) {
          ref.alias = tokens_[next].text;
          i = next;
        }
        tables_.push_back(std::move(ref));
        expect = false;
        continue;
      }
      if (expect && IsSymbol(token, "(")) continue;
      expect = false;
      if (IsWord(token, "distinct") || IsWord(token, "union") || IsWord(token, "group") ||
          IsWord(token, "except") || IsWord(token, "intersect")) {
        compound = true;
      }
      if (IsWord(token, "from")) {
        expect = in_from = true;
        from_depth = depth;
      } else if (IsWord(token, "join")) {
        expect = true;
        ++joins;
      } else if (IsWord(token, "into") || (IsWord(token, "update") && i == 0)) {
        expect = true;
      } else if (IsSymbol(token, ",") && in_from && depth == from_depth) {
        expect = true;
        ++joins;
      } else if (IsWord(token, "where") || IsWord(token, "group") || IsWord(token, "order") ||
                 IsWord(token, "having") || IsWord(token, "on") || IsWord(token, "set") ||
                 IsWord(token, "values") || IsWord(token, "select")) {
        if (depth <= from_depth) in_from = false;
        if (IsWord(token, "select") && i > 0 && result_.kind == StatementKind::kSelect) {
          compound = true;
        }
      }
    }
    if (result_.kind != StatementKind::kSelect) {
      if (!tables_.empty()) result_.table = tables_[0].name;
    } else if (tables_.size() == 1 && joins == 0 && !compound) {
      result_.single_table = true;
      result_.table = tables_[0].name;
      result_.table_ref = tables_[0].alias.empty() ? tables_[0].name : tables_[0].alias;
    }
  }

  // The table a qualifier (table name or alias) stands for.
  const TableRef* FindRef(std::string_view qualifier) const {
    for (const TableRef& ref : tables_) {
      if (!ref.alias.empty() && EqualsIgnoreCase(ref.alias, qualifier)) return &ref;
    }
    for (const TableRef& ref : tables_) {
      if (EqualsIgnoreCase(ref.name, qualifier)) return &ref;
    }
    return nullptr;
  }

  static const ColumnDef* FindColumn(const TableDef& table, std::string_view name) {
    for (const ColumnDef& column : table.columns) {
      if (EqualsIgnoreCase(column.name, name)) return &column;
    }
    return nullptr;
  }

  // Resolves a column reference written as `name` or `qualifier.name`.
  void Resolve(std::string_view qualifier, std::string_view name, Literal& target) const {
    if (!qualifier.empty()) {
      const TableRef* ref = FindRef(qualifier);
      if (ref && ref->def) {
        target.table = ref->def;
        target.column = FindColumn(*ref->def, name);
      }
      if (!target.column) target.table = nullptr;
      return;
    }
    for (const TableRef& ref : tables_) {
      if (!ref.def) continue;
      if (const ColumnDef* column = FindColumn(*ref.def, name)) {
        target.table = ref.def;
        target.column = column;
        return;
      }
    }
  }

  // Column reference ending at token `end` (inclusive): returns true and the parts when it is one.
  bool ColumnEndingAt(size_t end, std::string& qualifier, std::string& name) const {
    if (end >= tokens_.size() || !IsNameToken(tokens_[end])) return false;
    if (end + 1 < tokens_.size() && IsSymbol(tokens_[end + 1], "(")) return false;
    name = tokens_[end].text;
    qualifier.clear();
    if (end >= 2 && IsSymbol(tokens_[end - 1], ".") && IsNameToken(tokens_[end - 2])) {
      qualifier = tokens_[end - 2].text;
    }
    return true;
  }
  // Column reference starting at token `begin`; `end` receives its last token.
  bool ColumnStartingAt(size_t begin, std::string& qualifier, std::string& name,
                        size_t& end) const {
    if (begin >= tokens_.size() || !IsNameToken(tokens_[begin])) return false;
    if (begin + 2 < tokens_.size() && IsSymbol(tokens_[begin + 1], ".") &&
        IsNameToken(tokens_[begin + 2])) {
      end = begin + 2;
      return ColumnEndingAt(end, qualifier, name);
    }
    end = begin;
    return ColumnEndingAt(end, qualifier, name);
  }

  void MarkColumn(size_t literal_index, std::string_view qualifier, std::string_view name,
                  bool stored) {
    Literal target;
    Resolve(qualifier, name, target);
    if (!target.column) return;
    target.stored = stored;
    targets_[literal_index] = target;
  }

  // Finds, for each literal, the column it is written to or compared with.
  void MarkTargets() {
    const size_t n = tokens_.size();
    std::string qualifier, name;
    // INSERT INTO t [(columns)] VALUES (...): literals by position.
    if (result_.kind == StatementKind::kInsertValues) {
      size_t i = 0;
      while (i < n && !IsSymbol(tokens_[i], "(") && !IsWord(tokens_[i], "values") &&
             !IsWord(tokens_[i], "select")) {
        ++i;
      }
      std::vector<std::string> columns;
      if (i < n && IsSymbol(tokens_[i], "(")) {
        for (++i; i < n && !IsSymbol(tokens_[i], ")"); ++i) {
          if (IsNameToken(tokens_[i])) columns.push_back(tokens_[i].text);
        }
        ++i;
      } else if (!tables_.empty() && tables_[0].def) {
        for (const ColumnDef& column : tables_[0].def->columns) columns.push_back(column.name);
      }
      if (i < n && IsWord(tokens_[i], "select")) {
        result_.kind = StatementKind::kInsertSelect;
      } else if (i < n && IsWord(tokens_[i], "values") && i + 1 < n &&
                 IsSymbol(tokens_[i + 1], "(")) {
        size_t position = 0;
        int depth = 0;
        for (size_t j = i + 2; j < n; ++j) {
          if (IsSymbol(tokens_[j], "(")) ++depth;
          if (IsSymbol(tokens_[j], ")")) {
            if (depth == 0) break;
            --depth;
          }
          if (depth == 0 && IsSymbol(tokens_[j], ",")) ++position;
          const bool alone = depth == 0 && IsLiteral(tokens_[j]) &&
                             (IsSymbol(tokens_[j - 1], "(") || IsSymbol(tokens_[j - 1], ",")) &&
                             j + 1 < n &&
                             (IsSymbol(tokens_[j + 1], ",") || IsSymbol(tokens_[j + 1], ")"));
          if (alone && position < columns.size() && !tables_.empty()) {
            MarkColumn(j, tables_[0].name, columns[position], true);
          }
        }
      }
    }
    for (size_t i = 0; i < n; ++i) {
      const Token& token = tokens_[i];
      // UPDATE t SET col = literal
      if (result_.kind == StatementKind::kUpdate && IsLiteral(token) && i >= 2 &&
          IsSymbol(tokens_[i - 1], "=") && InSetClause(i) &&
          ColumnEndingAt(i - 2, qualifier, name) &&
          (i + 1 == n || IsSymbol(tokens_[i + 1], ",") || IsWord(tokens_[i + 1], "where"))) {
        MarkColumn(i, qualifier, name, true);
        continue;
      }
      // col op literal, literal op col
      if (IsLiteral(token) && i >= 2 && IsComparison(tokens_[i - 1]) &&
          ColumnEndingAt(i - 2, qualifier, name)) {
        if (!targets_.contains(i)) MarkColumn(i, qualifier, name, false);
        continue;
      }
      size_t end = 0;
      if (IsLiteral(token) && i + 2 < n && IsComparison(tokens_[i + 1]) &&
          ColumnStartingAt(i + 2, qualifier, name, end)) {
        MarkColumn(i, qualifier, name, false);
        continue;
      }
      // col [NOT] IN (literals), col [NOT] BETWEEN a AND b
      if ((IsWord(token, "in") || IsWord(token, "between")) && i >= 1) {
        size_t before = i - 1;
        if (IsWord(tokens_[before], "not") && before >= 1) --before;
        if (!ColumnEndingAt(before, qualifier, name)) continue;
        if (IsWord(token, "between")) {
          if (i + 3 < n && IsLiteral(tokens_[i + 1]) && IsWord(tokens_[i + 2], "and") &&
              IsLiteral(tokens_[i + 3])) {
            MarkColumn(i + 1, qualifier, name, false);
            MarkColumn(i + 3, qualifier, name, false);
          }
        } else if (i + 1 < n && IsSymbol(tokens_[i + 1], "(")) {
          for (size_t j = i + 2; j < n && !IsSymbol(tokens_[j], ")"); ++j) {
            if (IsSymbol(tokens_[j], "(")) break;  // a subquery or expression: leave it
            if (IsLiteral(tokens_[j])) MarkColumn(j, qualifier, name, false);
          }
        }
      }
    }
  }

  bool InSetClause(size_t index) const {
    int depth = 0;
    bool in_set = false;
    for (size_t i = 0; i < index; ++i) {
      if (IsSymbol(tokens_[i], "(")) ++depth;
      if (IsSymbol(tokens_[i], ")")) --depth;
      if (depth == 0 && IsWord(tokens_[i], "set")) in_set = true;
      if (depth == 0 && IsWord(tokens_[i], "where")) in_set = false;
    }
    return in_set && depth == 0;
  }

  void AddParam(Literal literal) {
    result_.params.push_back(std::move(literal));
    Append(result_.sql, "?");
  }

  void Emit() {
    const size_t n = tokens_.size();
    int depth = 0;
    std::string& out = result_.sql;
    for (size_t i = 0; i < n; ++i) {
      const Token& token = tokens_[i];
      if (IsSymbol(token, "(")) ++depth;
      if (IsSymbol(token, ")")) --depth;
      if (depth == 0) {
        if (IsWord(token, "where") && result_.where_pos == std::string::npos &&
            (result_.kind == StatementKind::kUpdate || result_.kind == StatementKind::kDelete)) {
          result_.where_pos = out.size();
          result_.params_before_where = result_.params.size();
        }
        if (IsWord(token, "select") && result_.kind == StatementKind::kInsertSelect &&
            result_.select_pos == std::string::npos) {
          result_.select_pos = out.size();
          result_.params_before_select = result_.params.size();
        }
        if (IsWord(token, "from") && result_.kind == StatementKind::kSelect &&
            result_.from_pos == std::string::npos) {
          result_.from_pos = out.size();
        }
      }
      if ((IsWord(token, "like")) && i + 1 < n && tokens_[i + 1].kind == TokenKind::kString) {
        std::string pattern;
        Literal literal;
        if (LikePattern(tokens_[i + 1].text, pattern)) {
          Append(out, "LIKE");
          literal.text = std::move(pattern);
          AddParam(std::move(literal));
          Append(out, "ESCAPE '\\'");
        } else {
          Append(out, "GLOB");
          literal.text = GlobPattern(tokens_[i + 1].text);
          AddParam(std::move(literal));
        }
        ++i;
        continue;
      }
      if (IsLiteral(token)) {
        const bool keep = token.kind == TokenKind::kNumber && i > 0 &&
                          (IsWord(tokens_[i - 1], "by") || IsWord(tokens_[i - 1], "limit") ||
                           IsWord(tokens_[i - 1], "offset") || IsWord(tokens_[i - 1], "top") ||
                           (IsSymbol(tokens_[i - 1], ",") && OrderByList(i)));
        if (keep) {
          Append(out, token.text);
          continue;
        }
        Literal literal;
        auto found = targets_.find(i);
        if (found != targets_.end()) literal = found->second;
        literal.kind = token.kind == TokenKind::kString   ? Literal::Kind::kText
                       : token.kind == TokenKind::kNumber ? Literal::Kind::kNumber
                                                          : Literal::Kind::kDate;
        literal.text = token.text;
        AddParam(std::move(literal));
        continue;
      }
      if (token.kind == TokenKind::kWord && (i == 0 || !IsSymbol(tokens_[i - 1], ".")) &&
          (EqualsIgnoreCase(token.text, "true") || EqualsIgnoreCase(token.text, "false"))) {
        Append(out, EqualsIgnoreCase(token.text, "true") ? "1" : "0");
        continue;
      }
      Append(out, InlineText(token));
    }
  }

  // True when the number at `index` is an item of an ORDER BY or GROUP BY list (a column position).
  bool OrderByList(size_t index) const {
    for (size_t i = index; i-- > 0;) {
      if (IsWord(tokens_[i], "by")) return true;
      if (!(tokens_[i].kind == TokenKind::kNumber || IsSymbol(tokens_[i], ",") ||
            IsWord(tokens_[i], "asc") || IsWord(tokens_[i], "desc"))) {
        return false;
      }
    }
    return false;
  }

  void TranslateCreateTable() {
    const size_t n = tokens_.size();
    size_t open = 2;
    while (open < n && !IsSymbol(tokens_[open], "(")) ++open;
    std::string& out = result_.sql;
    for (size_t i = 0; i < open; ++i) Append(out, InlineText(tokens_[i]));
    if (open >= n) return;
    for (size_t i = 2; i < open; ++i) {
      if (IsNameToken(tokens_[i])) result_.table = tokens_[i].text;
    }
    // Split the definitions at top-level commas.
    std::vector<std::vector<Token>> parts(1);
    int depth = 0;
    size_t close = n;
    for (size_t i = open + 1; i < n; ++i) {
      if (IsSymbol(tokens_[i], "(")) ++depth;
      if (IsSymbol(tokens_[i], ")")) {
        if (depth == 0) {
          close = i;
          break;
        }
        --depth;
      }
      if (depth == 0 && IsSymbol(tokens_[i], ",")) {
        parts.emplace_back();
        continue;
      }
      parts.back().push_back(tokens_[i]);
    }
    auto is_table_constraint = [](const std::vector<Token>& part) {
      return part.empty() || IsWord(part[0], "primary") || IsWord(part[0], "unique") ||
             IsWord(part[0], "constraint") || IsWord(part[0], "foreign") ||
             IsWord(part[0], "check");
    };
    // Key columns: every one becomes NOT NULL, and a single integer key must not become the rowid.
    std::vector<std::string> key;
    for (const auto& part : parts) {
      for (size_t i = 0; i + 1 < part.size(); ++i) {
        if (!IsWord(part[i], "primary") || !IsWord(part[i + 1], "key")) continue;
        if (is_table_constraint(part)) {
          for (size_t j = i + 2; j < part.size(); ++j) {
            if (IsNameToken(part[j])) key.push_back(ToLower(part[j].text));
          }
        } else {
          key.push_back(ToLower(part[0].text));
        }
      }
    }
    Append(out, "(");
    bool first = true;
    for (const auto& part : parts) {
      if (!first) Append(out, ",");
      first = false;
      if (is_table_constraint(part)) {
        for (const Token& token : part) Append(out, InlineText(token));
        continue;
      }
      Append(out, QuoteName(part[0].text));
      size_t i = 1;
      bool text_column = false;
      std::string max_length;  // of a varchar column
      const bool sole_key = key.size() == 1 && key[0] == ToLower(part[0].text);
      if (i < part.size() && part[i].kind == TokenKind::kWord && !IsKeyword(part[i]) &&
          !IsWord(part[i], "primary") && !IsWord(part[i], "unique") &&
          !IsWord(part[i], "references") && !IsWord(part[i], "check") &&
          !IsWord(part[i], "constraint")) {
        const std::string& type_name = part[i].text;
        const std::string type = ToLower(type_name);
        ++i;
        std::string size;
        if (i + 2 < part.size() && IsSymbol(part[i], "(")) {
          size_t j = i + 1;
          for (; j < part.size() && !IsSymbol(part[j], ")"); ++j) {
            if (part[j].kind == TokenKind::kNumber && size.empty()) size = part[j].text;
          }
          i = j + 1;
        }
        if (type == "varchar" || type == "text" || type == "char" || type == "nvarchar" ||
            type == "string") {
          max_length = size.empty() ? std::string("255") : size;
          Append(out, "VARCHAR(" + max_length + ")");
          text_column = true;
        } else if (type == "memo" || type == "longtext" || type == "longchar" || type == "note") {
          Append(out, "TEXT");
          text_column = true;
        } else if (type == "integer" || type == "int" || type == "long" || type == "smallint" ||
                   type == "short" || type == "byte" || type == "counter" ||
                   type == "autoincrement") {
          Append(out, sole_key ? "INT" : "INTEGER");
        } else if (type == "numeric" || type == "double" || type == "float" || type == "real" ||
                   type == "single" || type == "decimal" || type == "currency" || type == "money") {
          Append(out, "DOUBLE");
        } else if (type == "date" || type == "datetime" || type == "time" || type == "timestamp") {
          Append(out, "DATETIME");
        } else if (type == "yesno" || type == "bit" || type == "boolean" || type == "logical") {
          Append(out, "BOOLEAN");
        } else {
          // Not part[i - 1]: a size in parentheses has moved i past the type, up to the end.
          Append(out, type_name);
        }
      }
      bool has_not_null = false;
      bool has_collate = false;
      for (size_t j = i; j < part.size(); ++j) {
        if (IsWord(part[j], "not") && j + 1 < part.size() && IsWord(part[j + 1], "null")) {
          has_not_null = true;
        }
        if (IsWord(part[j], "collate")) has_collate = true;
      }
      if (text_column && !has_collate) Append(out, "COLLATE NOCASE");
      for (; i < part.size(); ++i) Append(out, InlineText(part[i]));
      if (!has_not_null && std::find(key.begin(), key.end(), ToLower(part[0].text)) != key.end()) {
        Append(out, "NOT NULL");
      }
      // Values that do not pass through the adapter's own check (INSERT ... SELECT, UPDATE with an
      // expression, other tools) meet this one; the adapter reports it as a too-long value.
      if (!max_length.empty()) {
        Append(out, "CONSTRAINT " +
                        QuoteName(result_.table + "." + part[0].text +
                                  std::string(kLengthLimitMark) + max_length) +
                        " CHECK (length(" + QuoteName(part[0].text) + ") <= " + max_length + ")");
      }
    }
    Append(out, ")");
    for (size_t i = close + 1; i < n; ++i) Append(out, InlineText(tokens_[i]));
  }

  std::string_view original_;
  const TableFinder& find_table_;
  std::vector<Token> tokens_;
  std::vector<TableRef> tables_;
  std::map<size_t, Literal> targets_;
  Translation result_;
};

}  // namespace

Translation Translate(std::string_view sql, const TableFinder& find_table) {
  return Translator(sql, find_table).Run();
}

bool ShapeOf(std::string_view sql, StatementShape& shape) {
  shape.key.clear();
  shape.literals.clear();
  shape.kinds.clear();
  const size_t n = sql.size();
  size_t span = 0;  // the start of the text not yet copied to the key
  // The last character before `i` that is not blank: a sign there folds into a number.
  const auto sign_before = [&](size_t i) {
    while (i > 0 && std::isspace(static_cast<unsigned char>(sql[i - 1]))) --i;
    return i > 0 && (sql[i - 1] == '-' || sql[i - 1] == '+');
  };
  size_t i = 0;
  while (i < n) {
    const char c = sql[i];
    if (IsWordStart(c)) {
      size_t j = i + 1;
      while (j < n && IsWordChar(sql[j])) ++j;
      if (j - i == 4 && EqualsIgnoreCase(sql.substr(i, 4), "like")) return false;
      i = j;
      continue;
    }
    switch (c) {
      case '\x01':
      case '\x02':
      case ';':
      case '#':
        return false;
      case '-':
      case '/':
        if (i + 1 < n && sql[i + 1] == (c == '-' ? '-' : '*')) return false;
        ++i;
        continue;
      case '[':
      case '"':
      case '`': {
        const size_t end = sql.find(c == '[' ? ']' : c, i + 1);
        if (end == std::string_view::npos) return false;
        const std::string_view name = sql.substr(i, end + 1 - i);
        if (name.find_first_of("\x01\x02") != std::string_view::npos) return false;
        i = end + 1;
        continue;
      }
      case '\'': {
        shape.key.append(sql.substr(span, i - span));
        std::string value;
        size_t j = i + 1;
        for (;;) {
          const size_t quote = sql.find('\'', j);
          if (quote == std::string_view::npos) return false;
          value.append(sql.substr(j, quote - j));
          if (quote + 1 < n && sql[quote + 1] == '\'') {
            value += '\'';
            j = quote + 2;
            continue;
          }
          j = quote + 1;
          break;
        }
        shape.key += '\x01';
        shape.literals.push_back(std::move(value));
        shape.kinds.push_back(Literal::Kind::kText);
        i = span = j;
        continue;
      }
      default:
        break;
    }
    if (!NumberStarts(sql, i)) {
      ++i;
      continue;
    }
    // The translator folds a sign into the number after it, depending on what precedes.
    if (sign_before(i)) return false;
    const size_t j = NumberEnd(sql, i);
    shape.key.append(sql.substr(span, i - span));
    shape.key += '\x02';
    shape.literals.emplace_back(sql.substr(i, j - i));
    shape.kinds.push_back(Literal::Kind::kNumber);
    i = span = j;
  }
  shape.key.append(sql.substr(span));
  return true;
}

const Translation& TranslationCache::Get(std::string_view sql, const TableFinder& find_table,
                                         std::vector<std::string>& texts, Translation& scratch) {
  const auto texts_of = [&texts](const Translation& translation) -> const Translation& {
    texts.clear();
    for (const Literal& literal : translation.params) texts.push_back(literal.text);
    return translation;
  };
  if (!ShapeOf(sql, shape_)) {
    scratch = Translate(sql, find_table);
    return texts_of(scratch);
  }
  auto found = entries_.find(shape_.key);
  if (found != entries_.end()) {
    if (!found->second.cacheable) {
      scratch = Translate(sql, find_table);
      return texts_of(scratch);
    }
    texts.swap(shape_.literals);
    return found->second.translation;
  }
  scratch = Translate(sql, find_table);
  // Only a translation that took every literal of the shape as a parameter, unchanged and in
  // order, serves other statements of that shape.
  bool cacheable = scratch.kind != StatementKind::kCreateTable &&
                   scratch.kind != StatementKind::kDefinition &&
                   scratch.params.size() == shape_.literals.size();
  for (size_t i = 0; cacheable && i < scratch.params.size(); ++i) {
    cacheable =
        scratch.params[i].kind == shape_.kinds[i] && scratch.params[i].text == shape_.literals[i];
  }
  if (entries_.size() >= kCapacity) entries_.clear();
  Entry& entry = entries_[shape_.key];
  entry.cacheable = cacheable;
  if (!cacheable) return texts_of(scratch);
  entry.translation = scratch;
  for (Literal& literal : entry.translation.params) literal.text.clear();
  texts.swap(shape_.literals);
  return entry.translation;
}

bool LikePattern(std::string_view pattern, std::string& out) {
  out.clear();
  for (char c : pattern) {
    switch (c) {
      case '*':
        out += '%';
        break;
      case '?':
        out += '_';
        break;
      case '#':
      case '[':
        return false;
      case '%':
      case '_':
      case '\\':
        out += '\\';
        out += c;
        break;
      default:
        out += c;
    }
  }
  return true;
}

std::string GlobPattern(std::string_view pattern) {
  std::string out;
  auto add_letter_cases = [&out](char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (std::isalpha(u)) {
      out += static_cast<char>(std::tolower(u));
      out += static_cast<char>(std::toupper(u));
    } else {
      out += c;
    }
  };
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '*' || c == '?') {
      out += c;
    } else if (c == '#') {
      out += "[0-9]";
    } else if (c == '[') {
      const size_t close = pattern.find(']', i + 1);
      if (close == std::string_view::npos) {
        out += "[[]";
        continue;
      }
      std::string_view inside = pattern.substr(i + 1, close - i - 1);
      out += '[';
      if (!inside.empty() && inside[0] == '!') {
        out += '^';
        inside.remove_prefix(1);
      }
      for (size_t j = 0; j < inside.size(); ++j) {
        if (j + 2 < inside.size() && inside[j + 1] == '-') {
          const char from = inside[j], to = inside[j + 2];
          out += from;
          out += '-';
          out += to;
          const unsigned char f = static_cast<unsigned char>(from),
                              t = static_cast<unsigned char>(to);
          if (std::isalpha(f) && std::isalpha(t)) {
            const bool lower = std::islower(f);
            out += static_cast<char>(lower ? std::toupper(f) : std::tolower(f));
            out += '-';
            out += static_cast<char>(lower ? std::toupper(t) : std::tolower(t));
          }
          j += 2;
        } else {
          add_letter_cases(inside[j]);
        }
      }
      out += ']';
      i = close;
    } else if (std::isalpha(static_cast<unsigned char>(c))) {
      out += '[';
      add_letter_cases(c);
      out += ']';
    } else {
      out += c;
    }
  }
  return out;
}

ColumnType TypeOfDeclared(std::string_view declared, int32_t& max_length) {
  const std::string type = ToUpper(declared);
  max_length = 0;
  if (type.starts_with("VARCHAR") || type.starts_with("CHAR") || type.starts_with("NVARCHAR")) {
    max_length = 255;
    if (const size_t open = type.find('('); open != std::string::npos) {
      max_length = std::atoi(type.c_str() + open + 1);
      if (max_length <= 0) max_length = 255;
    }
    return ColumnType::kText;
  }
  if (type == "BOOLEAN" || type == "BIT" || type == "YESNO") return ColumnType::kBoolean;
  if (type == "DATETIME" || type == "DATE" || type == "TIMESTAMP") return ColumnType::kDate;
  if (type.find("INT") != std::string::npos) return ColumnType::kLong;
  if (type.find("DOUB") != std::string::npos || type.find("REAL") != std::string::npos ||
      type.find("FLOA") != std::string::npos || type.find("NUM") != std::string::npos) {
    return ColumnType::kDouble;
  }
  return ColumnType::kMemo;
}

}  // namespace zel::store
