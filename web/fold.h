// Folding of texts for matching as people type: letter case and accents play no part, so "cafe"
// finds "Café", "renee" finds "Renée" and "ohara" with a typographic apostrophe finds "O'Hara".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zel::web {

// `text` in lower case without accents: Latin letters with diacritics become their base letters
// (æ, œ, ß, þ and ĳ their two-letter forms), combining marks are dropped, typographic quotes and
// dashes become ' " and -. Other characters stay as they are; invalid UTF-8 becomes U+FFFD.
std::string Fold(std::string_view text);

// The blank-separated words of the folded `text`, at most `max_words` of them.
std::vector<std::string> FoldedWords(std::string_view text, size_t max_words = 12);

// True when every one of `words` occurs in `folded` (an empty list matches nothing).
bool ContainsAll(std::string_view folded, const std::vector<std::string>& words);

// The words of a search as the index finds them: every word must occur in a folded text, which
// SQL tests with instr() on the rows; the words of three characters or more also make an FTS5
// query of the trigram tables, which narrows the rows to test to those holding them.
struct WordMatch {
  std::vector<std::string> words;  // folded, at most 12
  std::string fts;                 // "word" AND "word" ...; empty when no word is long enough
};
WordMatch MatchOf(std::string_view text);

// The SQL condition that every word occurs in `column`, given the placeholders the words are bound
// to: "(instr(col, ?1) > 0 AND instr(col, ?2) > 0)".
std::string AllWordsIn(std::string_view column, const std::vector<std::string>& placeholders);

}  // namespace zel::web
