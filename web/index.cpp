#include "web/index.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <vector>

#include "frame/error.h"
#include "frame/random_ids.h"
#include "frame/text.h"
#include "store/change_log.h"
#include "store/engine_errors.h"
#include "web/index_derive.h"
#include "web/index_schema.h"

namespace zel::web {
namespace {

namespace fs = std::filesystem;
using store::PlainDatabase;
using store::PlainStatement;

// Writers of the index wait this long for one another (a build in another process, say).
constexpr int kIndexBusyMs = 120000;
// More changed things than this (and than a quarter of the titles) are cheaper to build anew.
constexpr size_t kMostChangesFollowed = 2000;

std::string RandomIdentity() {
  std::string identity;
  for (int i = 0; i < 3; ++i) identity += std::to_string(NextRandomId());
  return identity;
}

bool CanWrite(const std::string& path) { return access(path.c_str(), W_OK) == 0; }

void RemoveFiles(const std::string& path) {
  std::error_code error;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) fs::remove(path + suffix, error);
}

std::string Quote(std::string_view text) { return "'" + ReplaceAll(text, "'", "''") + "'"; }

// What the catalogue's change log says: its identity and last row, when it is whole.
struct LogState {
  bool whole = false;
  std::string identity;
  int64_t last = 0;
};

LogState ReadLog(PlainDatabase& db) {
  LogState log;
  PlainStatement& table =
      db.Prepare("SELECT 1 FROM main.sqlite_master WHERE type = 'table' AND name = '" +
                 std::string(index::kChangeLog) + "'");
  const bool has_table = table.Step();
  table.Reset();
  if (!has_table) return log;
  std::string names;
  for (const std::string& name : index::ChangeLogTriggers()) {
    names += (names.empty() ? "" : ", ") + Quote(name);
  }
  PlainStatement& triggers = db.Prepare(
      "SELECT COUNT(*) FROM main.sqlite_master WHERE type = 'trigger' AND name IN (" + names + ")");
  const bool complete =
      triggers.Step() && triggers.Int(0) == static_cast<int64_t>(index::ChangeLogTriggers().size());
  triggers.Reset();
  const std::string log_table = "main." + std::string(index::kChangeLog);
  PlainStatement& identity =
      db.Prepare("SELECT key FROM " + log_table + " WHERE kind = '" +
                 std::string(1, index::kLogIdentity) + "' ORDER BY seq LIMIT 1");
  if (identity.Step()) log.identity = identity.Text(0);
  identity.Reset();
  PlainStatement& last = db.Prepare("SELECT max(seq) FROM " + log_table);
  if (last.Step()) log.last = last.Int(0);
  last.Reset();
  log.whole = complete && !log.identity.empty();
  return log;
}

std::string MetaText(PlainDatabase& db, const char* name) {
  PlainStatement& read = db.Prepare("SELECT value FROM ix.meta WHERE name = ?");
  read.Bind(1, std::string_view(name));
  std::string value = read.Step() ? read.Text(0) : std::string();
  read.Reset();
  return value;
}

// Writes a value of ix.meta unless it holds that value already: a catch-up that found nothing to
// do writes nothing.
void SetMeta(PlainDatabase& db, const char* name, const std::string& value) {
  if (MetaText(db, name) == value) return;
  db.Prepare("INSERT OR REPLACE INTO ix.meta (name, value) VALUES (?, ?)")
      .Bind(1, std::string_view(name))
      .Bind(2, value)
      .Run();
}

// How the catalogue is opened: it is only ever read here, and nothing is left beside it. A
// connection that may write takes the engine's log (-wal, -shm) away when the last one closes;
// one that may not leaves them behind, so it is given them only when they are there already,
// and otherwise reads a file that nobody may be writing meanwhile.
PlainDatabase::Mode ReadingMode(const std::string& catalogue, bool writable) {
  if (writable) return PlainDatabase::Mode::kReadWrite;
  std::error_code error;
  return fs::exists(catalogue + "-wal", error) && fs::exists(catalogue + "-shm", error)
             ? PlainDatabase::Mode::kReadOnly
             : PlainDatabase::Mode::kImmutable;
}

// What the catalogue file is now, as far as its size and times tell: without a change log, an
// index built at one identity is trusted while the file keeps it. Every commit writes the file or
// its -wal, moving their times; an empty -wal counts as none.
std::string FileIdentity(const std::string& catalogue) {
  std::string identity;
  for (const std::string& path : {catalogue, catalogue + "-wal"}) {
    struct stat facts {};
    if (stat(path.c_str(), &facts) != 0 || facts.st_size == 0) continue;
    identity += std::to_string(facts.st_size) + ":" + std::to_string(facts.st_mtim.tv_sec) + "." +
                std::to_string(facts.st_mtim.tv_nsec) + ":" + std::to_string(facts.st_ino) + " ";
  }
  return identity;
}

bool HasIndexTables(PlainDatabase& db) {
  PlainStatement& read =
      db.Prepare("SELECT 1 FROM ix.sqlite_master WHERE type = 'table' AND name = 'meta'");
  const bool found = read.Step();
  read.Reset();
  return found;
}

}  // namespace

bool IsIndexTable(std::string_view table) { return store::changes::IsChangeLogTable(table); }

CatalogueIndex::CatalogueIndex(std::string catalogue, Progress progress)
    : catalogue_(std::move(catalogue)), progress_(std::move(progress)) {
  std::error_code error;
  if (!fs::is_regular_file(catalogue_, error)) {
    Raise(store::engine_errc::kFileNotFound, "Could not find file '" + catalogue_ + "'.");
  }
  const fs::path folder = fs::absolute(catalogue_, error).parent_path();
  const std::string beside = catalogue_ + "-index";
  writable_ = CanWrite(catalogue_) && CanWrite(folder.string()) &&
              (!fs::exists(beside, error) || CanWrite(beside));

  catalogue_mode_ = ReadingMode(catalogue_, CanWrite(catalogue_) && CanWrite(folder.string()));
  keeper_ = PlainDatabase::Open(catalogue_, catalogue_mode_);
  {
    PlainStatement& profiles = keeper_->Prepare(
        "SELECT 1 FROM main.sqlite_master WHERE type = 'table' AND name = 'Profiles' COLLATE "
        "NOCASE");
    const bool catalogue_table = profiles.Step();
    profiles.Reset();
    if (!catalogue_table) {
      Raise(store::engine_errc::kNotADatabase,
            "The file '" + catalogue_ + "' is not a catalogue: it has no Profiles table.");
    }
  }
  path_ =
      writable_ ? beside : (fs::temp_directory_path() / ("zel-index-" + RandomIdentity())).string();
  temporary_ = !writable_;
  const auto attach = [&] {
    keeper_->Attach(path_, "ix", PlainDatabase::Mode::kCreate);
    keeper_->Execute("PRAGMA ix.journal_mode = WAL; PRAGMA ix.synchronous = NORMAL");
  };
  try {
    attach();
  } catch (const Error&) {
    // An index that is not a database (a broken file left behind) is only derived data.
    if (temporary_) throw;
    keeper_->Clear();
    keeper_->Execute("DETACH DATABASE ix");
    RemoveFiles(path_);
    attach();
  }
  keeper_->Execute("PRAGMA ix.cache_size = -32768");
  Update();
}

CatalogueIndex::~CatalogueIndex() {
  keeper_.reset();
  if (temporary_) RemoveFiles(path_);
}

uint64_t CatalogueIndex::Refresh() {
  std::lock_guard lock(mutex_);
  PlainStatement& version = keeper_->Prepare("PRAGMA main.data_version");
  const int64_t now = version.Step() ? version.Int(0) : -1;
  version.Reset();
  if (now != version_) {
    Update();
    version_ = now;
    ++generation_;
  }
  return generation_;
}

namespace {

int64_t WholeQuery(PlainDatabase& db, const std::string& sql) {
  PlainStatement& read = db.Prepare(sql);
  const int64_t value = read.Step() ? read.Int(0) : 0;
  read.Reset();
  return value;
}

// The watermark of a table: the highest rowid the index has seen in it.
std::string RowidKey(const std::string& table) { return "rowid " + table; }

}  // namespace

void CatalogueIndex::Update() {
  PlainDatabase& db = *keeper_;
  db.Execute("PRAGMA busy_timeout = " + std::to_string(kIndexBusyMs));
  // Taken before the catalogue is first read: a commit after it moves it on, and the index built
  // from what is read next is built again next time rather than trusted.
  const std::string identity = FileIdentity(catalogue_);
  // The index's write lock first (and the catalogue's never), so that a writer of the index in
  // another process is waited for here rather than failing the transaction later; the catalogue
  // is read as of the first read after it.
  db.Execute("BEGIN; PRAGMA ix.user_version = " + std::to_string(index::kFormat));
  try {
    bool build = !HasIndexTables(db);
    const LogState log = ReadLog(db);
    tracked_ = log.whole;
    // A changed schema (a definition, or VACUUM, which may number rows anew) is not followed.
    const std::string schema = std::to_string(WholeQuery(db, "PRAGMA main.schema_version"));
    int64_t applied = 0;
    if (!build) {
      const bool same_log = MetaText(db, "identity") == (log.whole ? log.identity : "");
      applied = std::atoll(MetaText(db, "applied").c_str());
      build = MetaText(db, "format") != std::to_string(index::kFormat) || !same_log ||
              applied > log.last || MetaText(db, "schema") != schema;
      // Without a log, only a file unchanged since the index was built is known to match it.
      if (!log.whole && (identity.empty() || MetaText(db, "file") != identity)) build = true;
    }
    if (!log.whole && !build) {
      db.ResetAll();
      db.Execute("COMMIT");
      built_afresh_ = false;
      return;
    }
    // The highest rowid of each table now: rows above a table's watermark were written since.
    std::map<std::string, int64_t> highest;
    for (const index::WatchedTable& table : index::WatchedTables()) {
      highest[table.table] = WholeQuery(db, "SELECT max(rowid) FROM main." + table.table);
    }
    index::Deriver deriver(db);
    if (!build) {
      // The last row seen is read again: a change of the same thing may have been folded into it
      // since (index_schema.h).
      std::vector<std::pair<char, std::string>> changes;
      std::set<std::pair<char, std::string>> seen;
      std::map<std::string, int64_t> lowest_top;  // table -> the lowest highest rowid left
      const auto add = [&](char kind, std::string key) {
        std::pair<char, std::string> change{kind, std::move(key)};
        if (seen.insert(change).second) changes.push_back(std::move(change));
      };
      PlainStatement& rows =
          db.Prepare("SELECT kind, key FROM main." + std::string(index::kChangeLog) +
                     " WHERE seq >= ? ORDER BY seq");
      rows.Bind(1, applied);
      while (rows.Step()) {
        const std::string kind = rows.Text(0), key = rows.Text(1);
        if (kind.size() != 1 || kind[0] == index::kLogIdentity) continue;
        if (kind[0] == index::kRowidDrop) {
          const size_t blank = key.rfind(' ');
          const int64_t top = std::atoll(key.c_str() + blank + 1);
          auto [at, added] = lowest_top.emplace(key.substr(0, blank), top);
          if (!added) at->second = std::min(at->second, top);
          continue;
        }
        add(kind[0], key);
      }
      rows.Reset();
      // Rows written since: those above each table's watermark.
      // Every title adds one decade (or the lack of one) to the statistics.
      const int64_t titles =
          WholeQuery(db, "SELECT coalesce(sum(titles), 0) FROM ix.tallies WHERE dimension = " +
                             std::to_string(static_cast<int>(index::Tally::kDecade)));
      int64_t written = 0;
      std::vector<std::pair<index::WatchedTable, int64_t>> from;
      for (const index::WatchedTable& table : index::WatchedTables()) {
        int64_t mark = std::atoll(MetaText(db, RowidKey(table.table).c_str()).c_str());
        if (const auto top = lowest_top.find(table.table); top != lowest_top.end()) {
          mark = std::min(mark, top->second);
        }
        written += std::max<int64_t>(0, highest[table.table] - mark);
        from.emplace_back(table, mark);
      }
      // A title is written as a hundred rows or so.
      if (written / 100 > std::max<int64_t>(kMostChangesFollowed, titles / 4)) {
        build = true;
      } else {
        for (const auto& [table, mark] : from) {
          PlainStatement& fresh = db.Prepare("SELECT " + table.column + " FROM main." +
                                             table.table + " WHERE rowid > ?");
          fresh.Bind(1, mark);
          while (fresh.Step()) add(table.kind, fresh.Text(0));
          fresh.Reset();
        }
        if (static_cast<int64_t>(changes.size()) >
            std::max<int64_t>(kMostChangesFollowed, titles / 4)) {
          build = true;
        }
      }
      if (!build) {
        // Aliases first: they decide whose names the titles credit.
        for (const auto& [kind, key] : changes) {
          if (kind == index::kAliasChange) deriver.Alias(key);
        }
        for (const auto& [kind, key] : changes) {
          if (kind == index::kTitleChange) deriver.Title(key);
          if (kind == index::kSeriesChange) deriver.Series(key);
          if (kind == index::kEpisodeChange) deriver.Episode(key);
        }
      }
    }
    if (build) {
      db.ResetAll();
      for (const std::string& statement : index::IndexStatements()) db.Execute(statement);
      index::Deriver fresh(db);
      fresh.All(progress_);
      fresh.Finish();
      for (const std::string& statement : index::AfterBuildStatements()) db.Execute(statement);
      // What the query planner knows of the tables: that most titles are owned, say, so that a
      // list sorted by date reads the dates' index rather than sorting the owned titles.
      db.Execute("ANALYZE ix");
    } else {
      deriver.Finish();
    }
    built_afresh_ = build;
    SetMeta(db, "format", std::to_string(index::kFormat));
    SetMeta(db, "identity", log.whole ? log.identity : "");
    SetMeta(db, "applied", std::to_string(log.whole ? log.last : 0));
    SetMeta(db, "schema", schema);
    SetMeta(db, "file", log.whole ? "" : identity);
    for (const index::WatchedTable& table : index::WatchedTables()) {
      SetMeta(db, RowidKey(table.table).c_str(), std::to_string(highest[table.table]));
    }
    db.ResetAll();
    db.Execute("COMMIT");
  } catch (...) {
    db.ResetAll();
    try {
      db.Execute("ROLLBACK");
    } catch (...) {
    }
    throw;
  }
}

std::unique_ptr<store::PlainDatabase> CatalogueIndex::OpenReader(bool mapped) const {
  auto db = PlainDatabase::Open(catalogue_, catalogue_mode_);
  db->Attach(path_, "ix", PlainDatabase::Mode::kReadOnly);
  db->Execute("PRAGMA ix.cache_size = -8192");
  // A process that reads once and ends is spared copying every page it reads.
  if (mapped) db->Execute("PRAGMA ix.mmap_size = 268435456; PRAGMA main.mmap_size = 268435456");
  return db;
}

ReadScope::ReadScope(store::PlainDatabase& db) : db_(db) { db_.Execute("BEGIN"); }

ReadScope::~ReadScope() {
  db_.ResetAll();
  try {
    db_.Execute("COMMIT");
  } catch (...) {
  }
}

}  // namespace zel::web
