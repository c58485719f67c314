// The tables of the index file and of the change log in the catalogue: the statements that make
// them, in one place.
//
// The index ("ix" when attached) holds one row per title, episode, series, role, credited name and
// person, with the folded texts the search matches, the keys the lists sort by and the counts the
// statistics show, each kept up to date as the catalogue changes. Its texts are searched through
// FTS5 tables with the trigram tokenizer, which finds any part of a word of three characters or
// more; shorter words are matched by reading the rows.
//
// The change log is the one thing the index adds to a catalogue file: a table and triggers, in
// plain SQL so that any program writing the file (the library, an import, the sqlite3 shell) marks
// what it changed, in the same transaction. Rows written are not logged: a rowid table gives each
// new row a rowid above every row it holds, so the rows above the highest rowid the index has seen
// are the new ones, found without a trigger and at no cost to the writer (an import writes a title
// as a hundred rows). Rows removed or changed are logged by triggers, as (kind, key) of the thing
// they belong to; a trigger appends unless the last row of the log names the same thing already,
// so a reader must go over the last row it has seen once more (a change of the same thing may have
// been folded into it since). Removing a table's highest row lets the next row written take a
// rowid seen before, so that is logged too, with the highest rowid left.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zel::web::index {

// Raised with every change of the index's tables: an index of another format is built anew.
inline constexpr int kFormat = 5;

// The change log's table; the kinds of its rows.
inline constexpr std::string_view kChangeLog = "zel_changes";
inline constexpr char kTitleChange = 'p';    // key: ProfileID
inline constexpr char kEpisodeChange = 'e';  // key: EpisodeID
inline constexpr char kSeriesChange = 's';   // key: SeriesID
inline constexpr char kAliasChange = 'a';    // key: AliasName
inline constexpr char kLogIdentity = '#';    // key: the log's random identity, in its first row
inline constexpr char kRowidDrop = 'm';      // key: "Table N", N the highest rowid left

// A table the index reads: its key column names what a row belongs to (a title, an episode...).
struct WatchedTable {
  std::string table, column;
  char kind;
};
std::vector<WatchedTable> WatchedTables();

// Statements that make the change log and its triggers in the catalogue (schema "main").
std::vector<std::string> ChangeLogStatements(const std::string& identity);
// The names of the triggers those statements make.
std::vector<std::string> ChangeLogTriggers();

// Statements that drop and make every table of the index in schema "ix".
std::vector<std::string> IndexStatements();

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
