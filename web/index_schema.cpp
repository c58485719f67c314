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
    {"TVSeries", "SeriesID", kSeriesChange},     {"Alias", "AliasName", kAliasChange}};

constexpr const char* kEvents[] = {"insert", "update", "delete"};

std::string TriggerName(const Watched& watched, const char* event) {
  return std::string(kChangeLog) + "_" + watched.table + "_" + event;
}

// Appends (kind, `value`) unless the log's last row is that already.
std::string Append(char kind, const std::string& value, const std::string& also = {}) {
  const std::string log(kChangeLog);
  const std::string k = std::string("'") + kind + "'";
  return "INSERT INTO " + log + " (kind, key) SELECT " + k + ", " + value + " WHERE " + value +
         " IS NOT NULL" + also + " AND NOT EXISTS (SELECT 1 FROM " + log + " WHERE seq = (SELECT " +
         "max(seq) FROM " + log + ") AND kind = " + k + " AND key = " + value + ");";
}

}  // namespace

std::vector<std::string> ChangeLogStatements(const std::string& identity) {
  const std::string log(kChangeLog);
  std::vector<std::string> statements = {
      "CREATE TABLE IF NOT EXISTS " + log +
          " (seq INTEGER PRIMARY KEY, kind TEXT NOT NULL, key TEXT NOT NULL)",
      "INSERT INTO " + log + " (kind, key) SELECT '" + kLogIdentity + "', '" + identity +
          "' WHERE NOT EXISTS (SELECT 1 FROM " + log + ")"};
  for (const Watched& watched : kWatched) {
    const std::string column = watched.column;
    for (const char* event : kEvents) {
      std::string body;
      if (std::string_view(event) == "insert") {
        body = Append(watched.kind, "NEW." + column);
      } else if (std::string_view(event) == "delete") {
        body = Append(watched.kind, "OLD." + column);
      } else {
        body =
            Append(watched.kind, "OLD." + column) +
            Append(watched.kind, "NEW." + column, " AND NEW." + column + " IS NOT OLD." + column);
      }
      statements.push_back("CREATE TRIGGER IF NOT EXISTS " + TriggerName(watched, event) +
                           " AFTER " + event + " ON " + watched.table + " BEGIN " + body + " END");
    }
  }
  return statements;
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
  for (const char* table : {"meta", "titles", "facets", "tallies", "names", "people", "roles",
                            "role_credits", "series", "episodes", "title_fts", "person_fts",
                            "name_fts", "role_fts", "series_fts", "episode_fts"}) {
    statements.push_back(std::string("DROP TABLE IF EXISTS ix.") + table);
  }
  const auto add = [&](const std::string& sql) { statements.push_back(sql); };
  add("CREATE TABLE ix.meta (name TEXT PRIMARY KEY, value) WITHOUT ROWID");
  // One row per title. order_key is the title order (sort title, title, ProfileID, folded and
  // joined by NUL bytes); names and roles list the ids of the names credited and the cast roles
  // played there (little-endian 32-bit) and tallies what it adds to the statistics: what a
  // change of the title takes back.
  add("CREATE TABLE ix.titles (id INTEGER PRIMARY KEY, profile_id TEXT NOT NULL UNIQUE COLLATE "
      "NOCASE, title TEXT, original_title TEXT, medium TEXT, upc TEXT, upc_digits TEXT, country "
      "TEXT, rating TEXT, folded_title TEXT, folded_original TEXT, initial TEXT, order_key BLOB, "
      "collection INTEGER, year INTEGER, running_time INTEGER, review INTEGER, added TEXT, edited "
      "TEXT, purchased TEXT, price INTEGER, currency TEXT, retail INTEGER, retail_currency TEXT, "
      "on_loan INTEGER, priority INTEGER, director TEXT, director_key TEXT, names BLOB, roles "
      "BLOB, tallies TEXT)");
  add("CREATE INDEX ix.titles_order ON titles (collection, order_key)");
  add("CREATE INDEX ix.titles_all_order ON titles (order_key)");
  add("CREATE INDEX ix.titles_added ON titles (added)");
  add("CREATE INDEX ix.titles_folded ON titles (folded_title)");
  add("CREATE INDEX ix.titles_folded_original ON titles (folded_original)");
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
      "TEXT, original_title TEXT, airdate TEXT, folded TEXT, order_key BLOB, names BLOB, roles "
      "BLOB)");
  add("CREATE INDEX ix.episodes_show ON episodes (show_id)");
  add("CREATE INDEX ix.episodes_order ON episodes (order_key)");
  for (const char* fts :
       {"title_fts", "person_fts", "name_fts", "role_fts", "series_fts", "episode_fts"}) {
    add(std::string("CREATE VIRTUAL TABLE ix.") + fts +
        " USING fts5(text, tokenize = 'trigram', detail = 'full')");
  }
  return statements;
}

}  // namespace zel::web::index
