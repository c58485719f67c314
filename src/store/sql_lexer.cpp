// The tokenizer of the dialect: words, [bracketed] names, 'texts', numbers and #dates#.
#include "store/sql_translator_internal.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "frame/error.h"
#include "frame/text.h"
#include "frame/variant.h"
#include "store/engine_errors.h"

namespace zel::store {
namespace {

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

}  // namespace

bool IsWordStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool IsWordChar(char c) {
  return IsWordStart(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '$';
}

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

}  // namespace zel::store
