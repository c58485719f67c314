// Nominee texts of award rows: splitting them into single names, and the old award checksum.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

class Collection;

// The single names of a nominee text such as "Ann Lee, Bo Wu and Cy Hale", in order and untrimmed.
// ", " "; " " & " and " and " separate names, except that ", Jr" and ", Sr" (either case of the
// first letter) keep the suffix with its name as " Jr" / " Sr" when no further letter follows
// ("Sriram" starts a name of its own). Matching is exact and case-sensitive, so " AND " does not
// separate. An empty text gives no names; a text made only of separators gives empty names. Never
// fails.
std::vector<std::string> SplitNominees(std::string_view nominees);

// The same names in a new Collection of texts without keys, for scripts.
std::shared_ptr<Collection> SplitNomineesToCollection(std::string_view nominees);

// Checksum of one award text, from which files of the old schemas (AwardID column) build the award
// identifier: the sum over positions i = 1..L of i times the windows-1252 code of the i-th
// character, plus L squared, where L counts UTF-16 units. A character windows-1252 lacks counts as
// "?" (63), each half of a character above U+FFFF as well. "abc" gives 599.
//
// Existing identifiers were computed with 16-bit products and a 32-bit sum, so the same limits
// hold: a product above 32767 (for example a 338th character "a") or a sum outside 32-bit range
// fails with errc::kOverflow, "Overflow". Callers meet this with long texts and must let it end the
// row's import.
int32_t AwardTextChecksum(std::string_view text);

// The row identifier that files below schema 77 keep in Awards.AwardID: a weighted sum of the text
// checksums (AwardTextChecksum) of the award year's text, award name, film title, category, the won
// mark in capitals and the nominee text. Fails with errc::kOverflow outside 32-bit range.
int32_t AwardId(std::string_view year_text, std::string_view award, std::string_view movie_title,
                std::string_view category, std::string_view won_mark, std::string_view nominee);

}  // namespace zel
