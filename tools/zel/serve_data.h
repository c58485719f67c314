// The data of the pages of `zel serve`, read from the catalogue on every request.
//
// Each function reads what one page shows and returns it as JSON; /api/... answers with exactly
// this value and the HTML page is rendered from it, so both always agree. The shapes are written
// down in the README. Nothing here writes to the catalogue: the title's records that would add a
// missing currency, retailer or user on reading (prices, purchase, loan, events) are read with
// queries rather than through the model. Every value taken from the address reaches a statement
// only quoted with QuoteSql, or as a number the code parsed itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace zel {
class ZelDatabase;
}

namespace zel::serve {

using Json = nlohmann::ordered_json;

// Counts of titles, people, series, episodes and awards, and the titles edited last.
Json HomeData(ZelDatabase& database);

struct TitleFilter {
  std::string text;    // part of the title or original title, letter case ignored
  std::string genre;   // one genre, exactly (letter case ignored)
  std::string medium;  // part of the medium ("Blu-ray" finds "DVD/Blu-ray")
  int32_t year = 0;    // production year; 0: any
  int32_t page = 1;    // 1-based
  int32_t per_page = 50;
};

// The titles that pass `filter`, in sort-title order, one page of them, with the total and the
// genres and media to choose from.
Json TitlesData(ZelDatabase& database, const TitleFilter& filter);

// Everything about one title; nullopt when no profile has that identifier.
std::optional<Json> TitleData(ZelDatabase& database, const std::string& profile_id);

// A person by any of their names: the common name, every alias, the appearances in titles and
// episodes (cast and crew apart) and the awards; nullopt when the name is credited nowhere, has no
// alias row and no award.
std::optional<Json> PersonData(ZelDatabase& database, const std::string& name);

// Every series with its number of episodes.
Json SeriesListData(ZelDatabase& database);

// One series with its seasons, their episodes and each episode's credits; nullopt when unknown.
std::optional<Json> SeriesData(ZelDatabase& database, const std::string& show_id);

// The award nominations grouped by award and year (newest year first); `award` narrows to one.
Json AwardsData(ZelDatabase& database, const std::string& award);

// Titles and people whose names contain `text` (at most `limit` of each).
Json SearchData(ZelDatabase& database, const std::string& text, int32_t limit = 50);

// `text` made literal inside a LIKE pattern of the catalogue's dialect (*, ?, # and [ bracketed),
// ready for QuoteSql.
std::string LikeLiteral(const std::string& text);

}  // namespace zel::serve
