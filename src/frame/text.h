// Text helpers shared by every subsystem. Texts are UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zel {

// Lower case of ASCII letters and of the Latin-1 letters (U+00C0..U+00DE); other bytes unchanged.
// This is the platform's LCase, also used for member names; keys follow FoldKey instead.
std::string ToLower(std::string_view text);
std::string ToUpper(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// The rule of letter case for keys: ASCII letters fold to lower case, every other character stays
// as it is. The catalogue file compares its keys with SQLite's NOCASE, which folds exactly these
// letters, so the keys of collections, Exists, and dictionaries that meet the file follow the same
// rule: what one side takes as distinct ("Emile" and "Émile", "émile" and "ÉMILE") the other does
// too, and nothing the library accepts can be merged or refused by the file.
std::string FoldKey(std::string_view text);
bool EqualsFolded(std::string_view a, std::string_view b);

// Every occurrence of `from` replaced by `to`, scanning left to right; an empty `from` changes
// nothing.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// Pieces of `text` between occurrences of `separator`; an empty text gives one empty piece.
std::vector<std::string> Split(std::string_view text, std::string_view separator);

// `text` without leading and trailing blanks (spaces only, as the platform's Trim).
std::string Trim(std::string_view text);

bool IsAsciiDigits(std::string_view text);

// The code point of the UTF-8 sequence at text[i], advancing i past it; an invalid byte gives
// U+FFFD and advances by one.
char32_t NextCodePoint(std::string_view text, size_t& i);

// UTF-16 code units of a UTF-8 text; invalid bytes become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// The text of a single-byte windows-1252 string as UTF-8.
std::string Windows1252ToUtf8(std::string_view text);

}  // namespace zel
