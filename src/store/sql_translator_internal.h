// Parts of the translator of the SQL dialect shared by its files; not for other callers.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "store/sql_translator.h"

namespace zel::store {

enum class TokenKind { kWord, kName, kString, kNumber, kDate, kSymbol };

struct Token {
  TokenKind kind;
  std::string text;  // words and symbols as written; names, strings and dates without delimiters
  bool keyword = false;  // a word the dialect reserves
};

bool IsWordStart(char c);
bool IsWordChar(char c);
// Whether a number literal starts at sql[i] (a digit, or a point before one), and where it ends:
// digits and points, then an exponent if one follows.
bool NumberStarts(std::string_view sql, size_t i);
size_t NumberEnd(std::string_view sql, size_t i);

// Raises kSyntax naming `what` and the statement.
[[noreturn]] void SyntaxError(std::string_view what, std::string_view sql);

// The tokens of one statement, comments and blanks left out, signs not yet folded. Raises
// kTextAfterStatement when anything but blanks and comments follows a `;`, and kSyntax for an
// unterminated or invalid literal or name.
std::vector<Token> Tokenize(std::string_view sql);

bool IsWord(const Token& token, std::string_view word);
bool IsSymbol(const Token& token, std::string_view symbol);
bool IsKeyword(const Token& token);
// A word or bracketed name that may name a table, column or alias.
bool IsNameToken(const Token& token);
bool IsLiteral(const Token& token);
bool IsComparison(const Token& token);

// A name or a text as SQLite reads it, quotes inside doubled.
std::string QuoteName(std::string_view name);
std::string QuoteText(std::string_view text);

// Appends a piece of SQL with a blank where one is needed between tokens.
void Append(std::string& out, std::string_view piece);
// Text of a token for a statement that takes no parameters (definitions).
std::string InlineText(const Token& token);

// Translates CREATE TABLE (tokens[0] and tokens[1]) into `result`: the dialect's column types
// become SQLite's, texts ignore case and carry their length rule, key columns become required.
void TranslateCreateTable(const std::vector<Token>& tokens, Translation& result);

}  // namespace zel::store
