// The change log of a catalogue file: a table and triggers that mark, in the writer's own
// transaction, which title, episode, series or name a change touched, so that data derived from
// the catalogue (the index of zel serve, zel search and zel stats) can follow what changed rather
// than read the whole file again.
//
// Who adds it. Writers only: the library adds the log, when the file lacks it, in the first
// transaction it writes on a connection (a write scope, or a statement run on its own), so a
// program that only reads never changes the file. A newly created catalogue has no log until its
// first write after creation; a file without the catalogue's tables (one being created, or of a
// schema that lacks some of them) gets none. Once there, any program writing the file (the
// library, an import, the sqlite3 shell) fills it, since the triggers are plain SQL.
//
// What it records. Rows written are not logged: a rowid table gives each new row a rowid above
// every row it holds, so the rows above the highest rowid a reader has seen are the new ones,
// found without a trigger and at no cost to the writer (an import writes a title as a hundred
// rows). Rows removed or changed are logged by triggers, as (kind, key) of the thing they belong
// to; a trigger appends unless the last row of the log names the same thing already, so a reader
// must go over the last row it has seen once more (a change of the same thing may have been
// folded into it since). Removing a table's highest row lets the next row written take a rowid
// seen before, so that is logged too, with the highest rowid left.
#pragma once

#include <sqlite3.h>

#include <string>
#include <string_view>
#include <vector>

namespace zel::store::changes {

// The log's table; the kinds of its rows.
inline constexpr std::string_view kChangeLog = "zel_changes";
inline constexpr char kTitleChange = 'p';    // key: ProfileID
inline constexpr char kEpisodeChange = 'e';  // key: EpisodeID (or another MetaInfo owner)
inline constexpr char kSeriesChange = 's';   // key: SeriesID
inline constexpr char kAliasChange = 'a';    // key: AliasName
inline constexpr char kLogIdentity = '#';    // key: the log's random identity, in its first row
inline constexpr char kRowidDrop = 'm';      // key: "Table N", N the highest rowid left

// A table the log watches: its key column names what a row belongs to (a title, an episode...).
struct WatchedTable {
  std::string table, column;
  char kind;
};
std::vector<WatchedTable> WatchedTables();

// Whether `table` is the log's own table rather than one of the catalogue's.
bool IsChangeLogTable(std::string_view table);

// The names of the triggers of this version of the log.
std::vector<std::string> ChangeLogTriggers();

// Whether the file `db` (schema "main") has the log's table and every trigger of this version.
bool HasChangeLog(sqlite3* db);

// Adds the log to `db`, replacing triggers of another version, when the file has every table the
// log watches and lacks the log or some of its triggers; true when the log is whole afterwards.
// Must be called inside a transaction that holds the write lock; a failure is undone alone
// (a savepoint) and leaves the transaction as it was. Never throws.
bool AddChangeLog(sqlite3* db);

}  // namespace zel::store::changes
