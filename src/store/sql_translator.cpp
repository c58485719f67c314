#include "store/sql_translator.h"

#include <cctype>
#include <map>

#include "frame/text.h"
#include "store/sql_translator_internal.h"

namespace zel::store {
namespace {

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
      TranslateCreateTable(tokens_, result_);
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

}  // namespace zel::store
