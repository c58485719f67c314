// The data of the pages of `zel serve`, read from the catalogue. Each function reads what one page
// shows and returns it as JSON in the one key style of the project (PascalCase; a member's or
// column's own name where there is one); /api/... answers with exactly this value and the HTML page
// is rendered from it, so both always agree. The shapes are written down in the README.
//
// Every function reads through a plain connection (store::PlainDatabase) with the catalogue as
// schema main and, where it says so, its index (index.h) as schema ix; none of them writes, and
// every cell is read as cells.h says, so a value of the wrong type in one row changes what that row
// shows and nothing else. Values from outside reach statements as bound parameters. None of these
// functions depends on HTTP.
//
// The title list, the home page, the search and the statistics have files of their own:
// titles.h, search.h, stats.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "store/plain_database.h"
#include "web/sql.h"

namespace zel::web {

class CoverFolder;

// Everything about one title, the facts a collector reads first (covers, title, year, medium,
// rating, running time, director, purchase and loan) before the internal fields; box-set parts the
// catalogue lacks are listed by identifier. nullopt when no profile has that identifier (as stored,
// or as DVD Profiler shows it). Reads the catalogue only. `covers` may be null.
std::optional<Json> TitleData(store::PlainDatabase& db, const std::string& profile_id,
                              CoverFolder* covers = nullptr);

struct PersonQuery {
  std::string name;       // any credited name, an alias or a common name
  bool by_title = false;  // lines in title order rather than by year
  bool descending = false;
  int32_t page = 1;          // of the title lines
  int32_t episode_page = 1;  // of the episode lines
  // The birth year of one of several namesakes: only their lines, and those that could be theirs.
  int32_t born = 0;
};
// Lines listed on one page of a person's titles or episodes.
inline constexpr int32_t kPersonLinesPerPage = 200;

// A person by any of their names: the common name, every alias, a summary (counts, years active),
// one line per title and per episode with the roles there, each with the episode headings its
// credits stand under, and the awards; nullopt when the name is credited nowhere, has no alias row
// and no award. Namesakes (people/namesakes.h) are told apart: People lists each with a summary,
// every line names its person, and a credit that could be any of them is a line of its own.
// Reads the index too.
std::optional<Json> PersonData(store::PlainDatabase& db, const PersonQuery& query);

struct PeopleQuery {
  bool by_credits = true;  // most credited first; else by name
  int32_t page = 1;
};
// People credited in the catalogue, 100 a page, by the titles and episodes crediting them (across
// all their names) or by name. Reads the index.
Json PeopleData(store::PlainDatabase& db, const PeopleQuery& query);

// Every series with its number of episodes.
Json SeriesListData(store::PlainDatabase& db);

// One series with its seasons, their episodes and each episode's credits; nullopt when unknown.
std::optional<Json> SeriesData(store::PlainDatabase& db, const std::string& show_id);

// The award nominations grouped by award and year (newest year first); `award` narrows to one. A
// nomination of a film the catalogue holds names it (ProfileID), from the index.
Json AwardsData(store::PlainDatabase& db, const std::string& award);

}  // namespace zel::web
