// The tables of the index file: the statements that make them, in one place, and the names of
// the catalogue's change log (store/change_log.h), which tells the index what changed.
//
// The index ("ix" when attached) holds one row per title, episode, series, role, credited name and
// person, with the folded texts the search matches, the keys the lists sort by and the counts the
// statistics show, each kept up to date as the catalogue changes. Its texts are searched through
// FTS5 tables with the trigram tokenizer, which finds any part of a word of three characters or
// more; shorter words are matched by reading the rows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/change_log.h"

namespace zel::web::index {

// Raised with every change of the index's tables: an index of another format is built anew.
inline constexpr int kFormat = 10;

using store::changes::ChangeLogTriggers;
using store::changes::kAliasChange;
using store::changes::kChangeLog;
using store::changes::kEpisodeChange;
using store::changes::kLogIdentity;
using store::changes::kRowidDrop;
using store::changes::kSeriesChange;
using store::changes::kTitleChange;
using store::changes::WatchedTable;
using store::changes::WatchedTables;

// Statements that drop and make every table of the index in schema "ix".
std::vector<std::string> IndexStatements();
// Statements that index what a build filled in, run once it is done.
std::vector<std::string> AfterBuildStatements();

// The facets of a title, each value under its folded form: those the title list is filtered by,
// then those only the statistics count.
enum class Facet : int {
  kGenre = 0,
  kStudio = 1,  // studios and media companies
  kTag = 2,
  kLocation = 3,
  kMedium = 4,  // the parts of a medium ("DVD/Blu-ray Disc": both)
  kMaker = 5,   // studios proper
  kRegion = 6,
  kAudio = 7,  // audio languages
};

// The dimensions of the statistics: per dimension, key and collection type, the titles counted and
// an amount summed (spending and value in ten-thousandths, running time in minutes).
enum class Tally : int {
  kMedium = 0,       // the whole medium text ("DVD/Blu-ray Disc")
  kGenre = 1,        //
  kDecade = 2,       // key: the decade's first year, "" for titles without a year
  kStudio = 3,       // studios proper: media companies are the discs' publishers
  kCountry = 4,      //
  kSpending = 5,     // key: year of purchase "|" currency; amount: the prices paid
  kValue = 6,        // key: currency of the suggested retail price; amount: those prices
  kRunningTime = 7,  // key: ""; amount: minutes
  kRating = 8,       //
  kRegion = 9,       //
  kAudio = 10,       // audio languages
  kInitial = 11,     // the first letter of the sort title, "#" for any other character
  kCounted = 12,     // key: ""; amount: what the titles count as (CountAs), as DVD Profiler counts
};
// The values of each Facet, keyed by the folded value, are tallied too, as dimension
// kFacetTally + facet: the choices of the title list.
inline constexpr int kFacetTally = 100;

}  // namespace zel::web::index
