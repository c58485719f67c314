// Column definitions of the dialect: CREATE TABLE written with the dialect's types becomes SQLite's
// declared types with the rules the engine kept (texts ignore case and are checked for length, key
// columns are required), and the declared types read back as the dialect's.
#include "store/sql_translator.h"

#include <algorithm>
#include <cstdlib>

#include "frame/text.h"
#include "store/sql_translator_internal.h"

namespace zel::store {

void TranslateCreateTable(const std::vector<Token>& tokens, Translation& result) {
  const size_t n = tokens.size();
  size_t open = 2;
  while (open < n && !IsSymbol(tokens[open], "(")) ++open;
  std::string& out = result.sql;
  for (size_t i = 0; i < open; ++i) Append(out, InlineText(tokens[i]));
  if (open >= n) return;
  for (size_t i = 2; i < open; ++i) {
    if (IsNameToken(tokens[i])) result.table = tokens[i].text;
  }
  // Split the definitions at top-level commas.
  std::vector<std::vector<Token>> parts(1);
  int depth = 0;
  size_t close = n;
  for (size_t i = open + 1; i < n; ++i) {
    if (IsSymbol(tokens[i], "(")) ++depth;
    if (IsSymbol(tokens[i], ")")) {
      if (depth == 0) {
        close = i;
        break;
      }
      --depth;
    }
    if (depth == 0 && IsSymbol(tokens[i], ",")) {
      parts.emplace_back();
      continue;
    }
    parts.back().push_back(tokens[i]);
  }
  auto is_table_constraint = [](const std::vector<Token>& part) {
    return part.empty() || IsWord(part[0], "primary") || IsWord(part[0], "unique") ||
           IsWord(part[0], "constraint") || IsWord(part[0], "foreign") || IsWord(part[0], "check");
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
                      QuoteName(result.table + "." + part[0].text + std::string(kLengthLimitMark) +
                                max_length) +
                      " CHECK (length(" + QuoteName(part[0].text) + ") <= " + max_length + ")");
    }
  }
  Append(out, ")");
  for (size_t i = close + 1; i < n; ++i) Append(out, InlineText(tokens[i]));
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
