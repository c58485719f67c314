#include "web/index_schema.h"

namespace zel::web::index {
namespace {

struct Watched {
  const char* table;
  const char* column;  // the key of what a row belongs to
  char kind;
};

// Every table the index reads, with what a change of one of its rows changes.
constexpr Watched kWatched[] = {
    {"Profiles", "ProfileID", kTitleChange},     {"CastCrew", "ProfileID", kTitleChange},
    {"Genres", "ProfileID", kTitleChange},       {"Studios", "ProfileID", kTitleChange},
    {"Tags", "ProfileID", kTitleChange},         {"Discs", "ProfileID", kTitleChange},
    {"PurchaseInfo", "ProfileID", kTitleChange}, {"LoanInfo", "ProfileID", kTitleChange},
    {"Reviews", "ProfileID", kTitleChange},      {"SRPInfo", "ProfileID", kTitleChange},
    {"Regions", "ProfileID", kTitleChange},      {"AudioFormats", "ProfileID", kTitleChange},
    {"Episodes", "EpisodeID", kEpisodeChange},   {"TVCastCrew", "EpisodeID", kEpisodeChange},
    {"TVSeries", "SeriesID", kSeriesChange},     {"Alias", "AliasName", kAliasChange},
    {"BoxSet", "BoxSetID", kTitleChange}};

// The triggers of each table: a row removed, the last row removed, a row changed, and a row
// changed to belong elsewhere. Rows written are found by their rowid instead (index_schema.h).
constexpr const char* kEvents[] = {"delete", "top", "update", "rekey"};

// The version in the names: triggers of another version are replaced.
std::string TriggerName(const Watched& watched, const char* event) {
  return std::string(kChangeLog) + "_2_" + watched.table + "_" + event;
}

// True unless the log's last row names (kind, `value`) already.
std::string NotLast(char kind, const std::string& value) {
  const std::string log(kChangeLog);
  return "NOT EXISTS (SELECT 1 FROM " + log + " WHERE seq = (SELECT max(seq) FROM " + log +
         ") AND kind = '" + std::string(1, kind) + "' AND key = " + value + ")";
}

std::string Append(char kind, const std::string& value) {
  return "INSERT INTO " + std::string(kChangeLog) + " (kind, key) VALUES ('" +
         std::string(1, kind) + "', " + value + ");";
}

}  // namespace

std::vector<std::string> ChangeLogStatements(const std::string& identity) {
  const std::string log(kChangeLog);
  std::vector<std::string> statements = {
      "CREATE TABLE IF NOT EXISTS " + log +
          " (seq INTEGER PRIMARY KEY, kind TEXT NOT NULL, key TEXT NOT NULL)",
      "INSERT INTO " + log + " (kind, key) SELECT '" + kLogIdentity + "', '" + identity +
          "' WHERE NOT EXISTS (SELECT 1 FROM " + log + ")"};
  // The condition stands in the trigger's WHEN clause, where a false one costs no more than its
  // own test: a title removed as a hundred rows runs the trigger's statement once.
  for (const Watched& watched : kWatched) {
    const std::string column = watched.column;
    const std::string old_key = "OLD." + column, new_key = "NEW." + column;
    const auto trigger = [&](const char* name, const char* event, const std::string& when,
                             const std::string& body) {
      statements.push_back("CREATE TRIGGER IF NOT EXISTS " + TriggerName(watched, name) +
                           " AFTER " + event + " ON " + watched.table + " WHEN " + when +
                           " BEGIN " + body + " END");
    };
    trigger("delete", "DELETE", old_key + " IS NOT NULL AND " + NotLast(watched.kind, old_key),
            Append(watched.kind, old_key));
    // The row with the highest rowid gone, the next row written may take a rowid seen before.
    const std::string top =
        "coalesce((SELECT max(rowid) FROM " + std::string(watched.table) + "), 0)";
    trigger("top", "DELETE", "OLD.rowid > " + top,
            Append(kRowidDrop, "'" + std::string(watched.table) + " ' || " + top));
    trigger("update", "UPDATE", old_key + " IS NOT NULL AND " + NotLast(watched.kind, old_key),
            Append(watched.kind, old_key));
    trigger("rekey", "UPDATE",
            new_key + " IS NOT NULL AND " + new_key + " IS NOT " + old_key + " AND " +
                NotLast(watched.kind, new_key),
            Append(watched.kind, new_key));
  }
  return statements;
}

std::vector<WatchedTable> WatchedTables() {
  std::vector<WatchedTable> tables;
  for (const Watched& watched : kWatched)
    tables.push_back({watched.table, watched.column, watched.kind});
  return tables;
}

std::vector<std::string> ChangeLogTriggers() {
  std::vector<std::string> names;
  for (const Watched& watched : kWatched) {
    for (const char* event : kEvents) names.push_back(TriggerName(watched, event));
  }
  return names;
}

std::vector<std::string> IndexStatements() {
  std::vector<std::string> statements;
  for (const char* table : {"meta", "titles", "parts", "facets", "tallies", "names", "people",
                            "roles", "role_credits", "series", "episodes", "title_fts",
                            "person_fts", "name_fts", "role_fts", "series_fts", "episode_fts"}) {
    statements.push_back(std::string("DROP TABLE IF EXISTS ix.") + table);
  }
  const auto add = [&](const std::string& sql) { statements.push_back(sql); };
  add("CREATE TABLE ix.meta (name TEXT PRIMARY KEY, value) WITHOUT ROWID");
  // One row per title, what lists show, filter and sort by. order_key is the title order (sort
  // title, title, ProfileID, folded and joined by NUL bytes). A value a title lacks is null, so
  // that it comes last when the highest come first; the sort keys of the orders that begin with
  // the lowest (medium, director, priority) hold an empty blob instead, which sorts after every
  // text and number.
  add("CREATE TABLE ix.titles (id INTEGER PRIMARY KEY, profile_id TEXT NOT NULL UNIQUE COLLATE "
      "NOCASE, title TEXT, original_title TEXT, medium TEXT, upc TEXT, upc_digits TEXT, country "
      "TEXT, rating TEXT, folded_title TEXT, folded_original TEXT, initial TEXT, order_key BLOB, "
      "collection INTEGER, year INTEGER, running_time INTEGER, review INTEGER, added TEXT, edited "
      "TEXT, purchased TEXT, price INTEGER, currency TEXT, retail INTEGER, retail_currency TEXT, "
      "on_loan INTEGER, priority INTEGER, director TEXT, sort_medium, sort_director, "
      "sort_priority, box_set TEXT, count_as INTEGER)");
  // A box set's parts: box_set is the ProfileID of the box set a title is a part of. Lists show
  // a part inside its box set, unless the box set is gone.
  add("CREATE INDEX ix.titles_box_set ON titles (box_set) WHERE box_set IS NOT NULL");
  // The orders' indexes carry box_set, so that a list that shows a box set's parts inside it
  // passes over them without reading their rows.
  add("CREATE INDEX ix.titles_order ON titles (collection, order_key, box_set)");
  add("CREATE INDEX ix.titles_all_order ON titles (order_key, box_set)");
  // Where a letter begins in the title order.
  add("CREATE INDEX ix.titles_initial ON titles (collection, initial, order_key, box_set)");
  add("CREATE INDEX ix.titles_all_initial ON titles (initial, order_key, box_set)");
  add("CREATE INDEX ix.titles_folded ON titles (folded_title)");
  add("CREATE INDEX ix.titles_folded_original ON titles (folded_original)");
  for (const char* column :
       {"year", "added", "edited", "purchased", "running_time", "review", "price", "retail"}) {
    add(std::string("CREATE INDEX ix.titles_by_") + column + " ON titles (" + column +
        ", order_key DESC, box_set)");
  }
  for (const char* column : {"sort_medium", "sort_director", "sort_priority"}) {
    add(std::string("CREATE INDEX ix.titles_by_") + column + " ON titles (" + column +
        ", order_key, box_set)");
  }
  // What each title (kind 0) and episode (kind 1) contributed: fingerprints of its row and
  // searched text, the ids of the names credited and its cast credits with a role (role,
  // position, name), numbers in seven-bit groups.
  add("CREATE TABLE ix.parts (kind INTEGER, id INTEGER, facts INTEGER, text INTEGER, names BLOB, "
      "credits BLOB, PRIMARY KEY (kind, id)) WITHOUT ROWID");
  add("CREATE TABLE ix.facets (facet INTEGER, key TEXT, title INTEGER, value TEXT, PRIMARY KEY "
      "(facet, key, title)) WITHOUT ROWID");
  add("CREATE INDEX ix.facets_title ON facets (title)");
  add("CREATE TABLE ix.tallies (dimension INTEGER, key TEXT, collection INTEGER, value TEXT, "
      "titles INTEGER, amount INTEGER, PRIMARY KEY (dimension, key, collection)) WITHOUT ROWID");
  // Every credited name and every name of the Alias table, by its lower-case form, with the
  // person it belongs to and the titles and episodes crediting it.
  add("CREATE TABLE ix.names (id INTEGER PRIMARY KEY, key TEXT NOT NULL UNIQUE, name TEXT, folded "
      "TEXT, person INTEGER, titles INTEGER NOT NULL DEFAULT 0, episodes INTEGER NOT NULL DEFAULT "
      "0, alias INTEGER NOT NULL DEFAULT 0)");
  add("CREATE INDEX ix.names_person ON names (person, folded)");
  // A person: a common name and the names gathered under it; the distinct titles of each
  // collection type (t0 owned .. t3 other) and the episodes crediting them under any name.
  add("CREATE TABLE ix.people (id INTEGER PRIMARY KEY, key TEXT NOT NULL UNIQUE, common_name "
      "TEXT, folded TEXT, names INTEGER NOT NULL DEFAULT 0, credited INTEGER NOT NULL DEFAULT 0, "
      "t0 INTEGER NOT NULL DEFAULT 0, t1 INTEGER NOT NULL DEFAULT 0, t2 INTEGER NOT NULL DEFAULT "
      "0, t3 INTEGER NOT NULL DEFAULT 0, episodes INTEGER NOT NULL DEFAULT 0)");
  add("CREATE INDEX ix.people_order ON people (folded, common_name)");
  add("CREATE INDEX ix.people_rank0 ON people (t0 + episodes DESC, key)");
  add("CREATE INDEX ix.people_rank1 ON people (t1 + episodes DESC, key)");
  add("CREATE INDEX ix.people_rank2 ON people (t2 + episodes DESC, key)");
  add("CREATE INDEX ix.people_rank3 ON people (t3 + episodes DESC, key)");
  add("CREATE INDEX ix.people_rank ON people (t0 + t1 + t2 + t3 + episodes DESC, key)");
  add("CREATE TABLE ix.roles (id INTEGER PRIMARY KEY, key TEXT NOT NULL UNIQUE, text TEXT, "
      "credits INTEGER NOT NULL DEFAULT 0)");
  // The cast credits with a role: kind 0 a title, 1 an episode.
  add("CREATE TABLE ix.role_credits (role INTEGER, kind INTEGER, work INTEGER, position INTEGER, "
      "name INTEGER, PRIMARY KEY (role, kind, work, position, name)) WITHOUT ROWID");
  add("CREATE TABLE ix.series (id INTEGER PRIMARY KEY, show_id TEXT NOT NULL UNIQUE COLLATE "
      "NOCASE, title TEXT, original_title TEXT, folded TEXT, order_key BLOB)");
  add("CREATE TABLE ix.episodes (id INTEGER PRIMARY KEY, episode_id TEXT NOT NULL UNIQUE COLLATE "
      "NOCASE, show_id TEXT COLLATE NOCASE, series_title TEXT, season TEXT, number TEXT, title "
      "TEXT, original_title TEXT, airdate TEXT, folded TEXT, order_key BLOB)");
  add("CREATE INDEX ix.episodes_show ON episodes (show_id)");
  add("CREATE INDEX ix.episodes_order ON episodes (order_key)");
  // A title's texts in columns of their own: a search for words too short for the trigrams reads
  // these narrow rows rather than the titles'.
  add("CREATE VIRTUAL TABLE ix.title_fts USING fts5(title, original, upc, tokenize = 'trigram', "
      "detail = 'full')");
  for (const char* fts : {"person_fts", "name_fts", "role_fts", "series_fts", "episode_fts"}) {
    add(std::string("CREATE VIRTUAL TABLE ix.") + fts +
        " USING fts5(text, tokenize = 'trigram', detail = 'full')");
  }
  return statements;
}

}  // namespace zel::web::index
