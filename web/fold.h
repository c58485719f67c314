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

}  // namespace zel::web
