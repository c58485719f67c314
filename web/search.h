// The search of `zel serve` (/search) and `zel search`: titles (title, original title, UPC), people
// (any credited name, and every name of the Alias table), roles, series and episodes, grouped by
// kind, every match counted and paged. Matching folds letter case and accents (fold.h) and wants
// every word of the query somewhere in the text. Read from the index (index.h): the trigram
// tables find the rows holding the longer words, and only those are tested.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "store/plain_database.h"
#include "web/sql.h"
#include "web/titles.h"

namespace zel::web {

enum class SearchKind : uint8_t { kTitles, kPeople, kRoles, kSeries, kEpisodes };
// titles, people, roles, series, episodes: the names in addresses; in JSON the groups are Titles,
// People, Roles, Series, Episodes.
extern const std::vector<NamedValue> kSearchKinds;

struct SearchQuery {
  std::string text;
  std::optional<SearchKind> kind;  // one kind, paged; nullopt: the first matches of every kind
  int32_t page = 1;
};

// Every kind's total and a page of its matches: with a kind, 50 a page of that kind only; without,
// the first 10 of each. `db` reads the catalogue and its index (CatalogueIndex::OpenReader).
Json SearchData(store::PlainDatabase& db, const SearchQuery& query, CoverFolder* covers);

}  // namespace zel::web
