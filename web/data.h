// The data of the pages of `zel serve`, read from the catalogue. Each function reads what one page
// shows and returns it as JSON in the one key style of the project (PascalCase; a member's or
// column's own name where there is one); /api/... answers with exactly this value and the HTML page
// is rendered from it, so both always agree. The shapes are written down in the README.
//
// Nothing here writes to the catalogue: the title's records that would add a missing currency,
// retailer or user on reading (prices, purchase, loan, events) are read with queries rather than
// through the model. Every value taken from outside reaches a statement only quoted with QuoteSql,
// or as a number the caller parsed. None of these functions depends on HTTP.
//
// The title list, the home page, the search and the statistics have files of their own:
// titles.h, search.h, stats.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "web/sql.h"

namespace zel {
class ZelDatabase;
}

namespace zel::web {

class CoverFolder;
struct TitleTable;

// Everything about one title, what a collector reads first (covers, title, year, medium, rating,
// running time, overview) before the internal fields; box-set parts the catalogue lacks are
// listed by identifier. nullopt when no profile has that identifier. `covers` may be null.
std::optional<Json> TitleData(ZelDatabase& database, const std::string& profile_id,
                              CoverFolder* covers = nullptr);

struct PersonQuery {
  std::string name;       // any credited name, an alias or a common name
  bool by_title = false;  // lines in title order rather than by year
  bool descending = false;
  int32_t page = 1;          // of the title lines
  int32_t episode_page = 1;  // of the episode lines
};
// Lines listed on one page of a person's titles or episodes.
inline constexpr int32_t kPersonLinesPerPage = 200;

// A person by any of their names: the common name, every alias, a summary (counts, years active),
// one line per title and per episode with every role there joined, and the awards; nullopt when
// the name is credited nowhere, has no alias row and no award. With `titles` (a server keeps one)
// the titles are described from it rather than read.
std::optional<Json> PersonData(ZelDatabase& database, const PersonQuery& query,
                               const TitleTable* titles = nullptr);

// Every series with its number of episodes.
Json SeriesListData(ZelDatabase& database);

// One series with its seasons, their episodes and each episode's credits; nullopt when unknown.
std::optional<Json> SeriesData(ZelDatabase& database, const std::string& show_id);

// The award nominations grouped by award and year (newest year first); `award` narrows to one.
Json AwardsData(ZelDatabase& database, const std::string& award);

}  // namespace zel::web
