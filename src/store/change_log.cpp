#include "store/change_log.h"

#include <algorithm>

#include "frame/random_ids.h"
#include "frame/text.h"

namespace zel::store::changes {
namespace {

struct Watched {
  const char* table;
  const char* column;  // the key of what a row belongs to
  char kind;
};

// Every table derived data reads, with what a change of one of its rows changes. MetaInfo holds
// the marks of derived series and episodes under their identifiers: a mark changed alone changes
// the episode it names (a key that names no episode changes nothing). A box set's list of parts
// changes how the box set is shown.
constexpr Watched kWatched[] = {
    {"Profiles", "ProfileID", kTitleChange},     {"CastCrew", "ProfileID", kTitleChange},
    {"Genres", "ProfileID", kTitleChange},       {"Studios", "ProfileID", kTitleChange},
    {"Tags", "ProfileID", kTitleChange},         {"Discs", "ProfileID", kTitleChange},
    {"PurchaseInfo", "ProfileID", kTitleChange}, {"LoanInfo", "ProfileID", kTitleChange},
    {"Reviews", "ProfileID", kTitleChange},      {"SRPInfo", "ProfileID", kTitleChange},
    {"Regions", "ProfileID", kTitleChange},      {"AudioFormats", "ProfileID", kTitleChange},
    {"Episodes", "EpisodeID", kEpisodeChange},   {"TVCastCrew", "EpisodeID", kEpisodeChange},
    {"TVSeries", "SeriesID", kSeriesChange},     {"Alias", "AliasName", kAliasChange},
    {"MetaInfo", "ProfileID", kEpisodeChange},   {"BoxSet", "BoxSetID", kTitleChange}};

// The triggers of each table: a row removed, the last row removed, a row changed, and a row
// changed to belong elsewhere. Rows written are found by their rowid instead (change_log.h).
constexpr const char* kEvents[] = {"delete", "top", "update", "rekey"};

// The version in the names: triggers of another version are replaced.
std::string TriggerName(const Watched& watched, const char* event) {
  return std::string(kChangeLog) + "_4_" + watched.table + "_" + event;
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

std::string RandomIdentity() {
  std::string identity;
  for (int i = 0; i < 3; ++i) identity += std::to_string(NextRandomId());
  return identity;
}

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

// The names sqlite_master holds under `type` whose names match `like` (escape '\').
std::vector<std::string> SchemaNames(sqlite3* db, const char* type, const std::string& like) {
  std::vector<std::string> names;
  sqlite3_stmt* read = nullptr;
  if (sqlite3_prepare_v2(db,
                         "SELECT name FROM main.sqlite_master WHERE type = ? AND name LIKE ? "
                         "ESCAPE '\\'",
                         -1, &read, nullptr) != SQLITE_OK) {
    return names;
  }
  sqlite3_bind_text(read, 1, type, -1, SQLITE_STATIC);
  sqlite3_bind_text(read, 2, like.c_str(), -1, SQLITE_TRANSIENT);
  while (sqlite3_step(read) == SQLITE_ROW) {
    names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(read, 0)));
  }
  sqlite3_finalize(read);
  return names;
}

std::string LogLike() { return ReplaceAll(kChangeLog, "_", "\\_"); }

bool HasWatchedTables(sqlite3* db) {
  const std::vector<std::string> tables = SchemaNames(db, "table", "%");
  return std::all_of(std::begin(kWatched), std::end(kWatched), [&](const Watched& watched) {
    return std::any_of(tables.begin(), tables.end(), [&](const std::string& name) {
      return EqualsIgnoreCase(name, watched.table);
    });
  });
}

}  // namespace

std::vector<WatchedTable> WatchedTables() {
  std::vector<WatchedTable> tables;
  for (const Watched& watched : kWatched) {
    tables.push_back({watched.table, watched.column, watched.kind});
  }
  return tables;
}

bool IsChangeLogTable(std::string_view table) { return EqualsIgnoreCase(table, kChangeLog); }

std::vector<std::string> ChangeLogTriggers() {
  std::vector<std::string> names;
  for (const Watched& watched : kWatched) {
    for (const char* event : kEvents) names.push_back(TriggerName(watched, event));
  }
  return names;
}

bool HasChangeLog(sqlite3* db) {
  if (SchemaNames(db, "table", LogLike()).empty()) return false;
  const std::vector<std::string> present = SchemaNames(db, "trigger", LogLike() + "\\_%");
  const std::vector<std::string> wanted = ChangeLogTriggers();
  return std::all_of(wanted.begin(), wanted.end(), [&](const std::string& name) {
    return std::find(present.begin(), present.end(), name) != present.end();
  });
}

bool AddChangeLog(sqlite3* db) {
  if (HasChangeLog(db)) return true;
  if (!HasWatchedTables(db)) return false;
  if (sqlite3_exec(db, "SAVEPOINT zel_change_log", nullptr, nullptr, nullptr) != SQLITE_OK) {
    return false;
  }
  std::vector<std::string> statements;
  const std::vector<std::string> current = ChangeLogTriggers();
  for (const std::string& name : SchemaNames(db, "trigger", LogLike() + "\\_%")) {
    if (std::find(current.begin(), current.end(), name) == current.end()) {
      statements.push_back("DROP TRIGGER \"" + name + "\"");
    }
  }
  for (std::string& statement : ChangeLogStatements(RandomIdentity())) {
    statements.push_back(std::move(statement));
  }
  bool added = true;
  for (const std::string& statement : statements) {
    if (sqlite3_exec(db, statement.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
      added = false;
      break;
    }
  }
  if (!added) sqlite3_exec(db, "ROLLBACK TO zel_change_log", nullptr, nullptr, nullptr);
  sqlite3_exec(db, "RELEASE zel_change_log", nullptr, nullptr, nullptr);
  return added;
}

}  // namespace zel::store::changes
