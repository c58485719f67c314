#include "import/removed_titles.h"

#include <filesystem>
#include <map>
#include <memory>

#include "frame/error.h"
#include "frame/member_table.h"
#include "frame/text.h"
#include "import/profiler_import.h"
#include "model/profiles.h"
#include "store/catalogue_file.h"
#include "store/connection.h"
#include "store/text_helpers.h"
#include "store/title_parts.h"
#include "tv/episode_derivation.h"
#include "tv/tv_corrections.h"

namespace zel {
namespace {

constexpr int32_t kFileNotFound = 53;

// The removed-titles file as a catalogue, for the functions that take one; never scripted.
class RemovedTitlesFile : public store::CatalogueFile {
 public:
  using CatalogueFile::CatalogueFile;
  const ClassInfo& Class() const override {
    static const ClassInfo info = ClassBuilder<RemovedTitlesFile>("RemovedTitlesFile").Build();
    return info;
  }
};

// Copies rows exactly as stored from one catalogue file to another, with the rows they refer to.
class RowCopier {
 public:
  RowCopier(store::Connection& from, store::Connection& to) : from_(from), to_(to) {}

  // Copies the rows of `table` whose `column` holds `key`; the number that `to` refused. The rows
  // they refer to come first, where `to` lacks them.
  int Copy(std::string_view table, std::string_view column, const std::string& key) {
    const Table* described = Describe(table);
    if (!described) return 0;  // a table that files of this schema do not have
    int refused = 0;
    from_.ReadStoredRows(table, column, key, [&](const std::vector<store::SqlValue>& row) {
      for (const auto& [position, reference] : described->references) {
        const store::SqlValue& value = row[position];
        if (value.kind != store::SqlValue::Kind::kText) continue;
        // (Refused: `to` holds that row already.)
        Copy(reference.parent_table, reference.parent_column, value.text);
      }
      if (!to_.InsertStoredRow(table, described->columns, row)) ++refused;
    });
    return refused;
  }

  // Copies every row of the title; the number of its own rows that `to` refused.
  int CopyTitle(const std::string& profile_id) {
    int refused = Copy("Profiles", "ProfileID", profile_id);
    for (const std::string_view table : ProfileRowTables()) {
      refused += Copy(table, "ProfileID", profile_id);
    }
    // What was edited here goes and comes back with the title.
    Copy("MetaInfo", "ProfileID", store::EditMarkKey(profile_id));
    return refused + Copy("BoxSet", "BoxSetID", profile_id) + Copy("BoxSet", "ChildID", profile_id);
  }

 private:
  struct Table {
    std::vector<std::string> columns;
    std::vector<std::pair<size_t, store::Connection::Reference>> references;
  };

  const Table* Describe(std::string_view name) {
    const auto known = tables_.find(std::string(name));
    if (known != tables_.end()) return &known->second;
    const store::TableDef* definition = from_.FindTable(name);
    if (!definition) return nullptr;
    Table& table = tables_[std::string(name)];
    for (const store::ColumnDef& column : definition->columns) table.columns.push_back(column.name);
    for (store::Connection::Reference& reference : from_.References(name)) {
      for (size_t c = 0; c < table.columns.size(); ++c) {
        if (EqualsIgnoreCase(table.columns[c], reference.column) &&
            !reference.parent_column.empty()) {
          table.references.emplace_back(c, std::move(reference));
          break;
        }
      }
    }
    return &table;
  }

  store::Connection& from_;
  store::Connection& to_;
  std::map<std::string, Table> tables_;
};

// The removed-titles file of the catalogue, made with its tables and DbInfo entries when there is
// none yet.
std::shared_ptr<store::CatalogueFile> OpenRemovedTitles(store::CatalogueFile& database,
                                                        bool create) {
  const std::string path = RemovedTitlesPath(database.FilePath());
  std::error_code error;
  if (std::filesystem::exists(path, error)) {
    return std::make_shared<RemovedTitlesFile>(store::Connection::Open(path, "DbInfo"));
  }
  if (!create) {
    Raise(kFileNotFound,
          "No titles were removed from " + database.FilePath() + ": there is no " + path);
  }
  const std::shared_ptr<store::Connection> made =
      store::Connection::CreateLike(path, database.connection());
  store::WriteScope scope(*made);
  RowCopier(database.connection(), *made).Copy("DbInfo", {}, {});
  scope.Commit();
  return std::make_shared<RemovedTitlesFile>(made);
}

// The stored title of a profile; empty when there is none.
std::string TitleOf(store::CatalogueFile& database, const std::string& profile_id) {
  auto records = database.DbOpenRecordSet("SELECT Title FROM Profiles WHERE ProfileID = '" +
                                          QuoteSql(profile_id) + "'");
  return records->Eof() ? std::string() : records->ValueAt(0).ToTextOrEmpty();
}

// A title brought back holds its episodes again. Its removal took its derived episodes that no
// other title held, so its copied links to them name nothing: they go, and the title's episode
// headings give its episodes as an import would.
void RederiveEpisodes(store::CatalogueFile& database, const std::string& profile_id) {
  auto links = database.DbOpenRecordSet(
      "SELECT pe.EpisodeID FROM Profile2Episodes pe LEFT JOIN Episodes e ON e.EpisodeID = "
      "pe.EpisodeID WHERE pe.ProfileID = '" +
      QuoteSql(profile_id) + "' AND e.EpisodeID IS NULL");
  std::vector<std::string> gone;
  for (; !links->Eof(); links->MoveNext()) {
    std::string episode_id = links->ValueAt(0).ToTextOrEmpty();
    if (episode_id.starts_with(tv::kSeriesIdPrefix)) gone.push_back(std::move(episode_id));
  }
  links.reset();
  for (const std::string& episode_id : gone) {
    database.DbExecute("DELETE FROM Profile2Episodes WHERE ProfileID = '" + QuoteSql(profile_id) +
                       "' AND EpisodeID = '" + QuoteSql(episode_id) + "'");
  }
  tv::DeriveTitleEpisodes(database, profile_id);
}

}  // namespace

std::string RemovedTitlesPath(const std::string& catalogue_path) {
  const std::filesystem::path path(catalogue_path);
  return (path.parent_path() / (path.stem().string() + ".removed" + path.extension().string()))
      .string();
}

std::string RemoveTitlesKeepingThem(store::CatalogueFile& database,
                                    const std::vector<std::string>& profile_ids) {
  database.connection().RequireWritable();
  const std::shared_ptr<store::CatalogueFile> removed = OpenRemovedTitles(database, true);
  {
    store::WriteScope scope(removed->connection());
    RowCopier copier(database.connection(), removed->connection());
    for (const std::string& profile_id : profile_ids) {
      RemoveProfileRows(*removed, profile_id);
      copier.CopyTitle(profile_id);
    }
    scope.Commit();
  }
  store::WriteScope scope(database.connection());
  for (const std::string& profile_id : profile_ids) RemoveProfileRows(database, profile_id);
  scope.Commit();
  return removed->FilePath();
}

RestoredTitles RestoreRemovedTitles(store::CatalogueFile& database,
                                    const std::vector<std::string>& ids) {
  database.connection().RequireWritable();
  const std::shared_ptr<store::CatalogueFile> removed = OpenRemovedTitles(database, false);
  RestoredTitles result;
  result.file = removed->FilePath();
  std::vector<std::string> wanted;
  if (ids.empty()) {
    auto records = removed->DbOpenRecordSet("SELECT ProfileID FROM Profiles ORDER BY ProfileID");
    for (; !records->Eof(); records->MoveNext()) {
      wanted.push_back(records->ValueAt(0).ToTextOrEmpty());
    }
  }
  for (const std::string& text : ids) {
    std::string profile_id = FindProfileId(*removed, text);
    if (profile_id.empty()) {
      Raise(errc::kInvalidArgument, "No title '" + text + "' among the titles removed from " +
                                        database.FilePath() + " (kept in " + result.file + ")");
    }
    wanted.push_back(std::move(profile_id));
  }
  RowCopier copier(removed->connection(), database.connection());
  for (const std::string& profile_id : wanted) {
    const std::string title = TitleOf(*removed, profile_id);
    if (!FindProfileId(database, profile_id).empty()) {
      result.kept.emplace_back(profile_id, "the catalogue holds a title " + profile_id + " again");
      continue;
    }
    {
      store::WriteScope scope(database.connection());
      if (const int refused = copier.CopyTitle(profile_id); refused > 0) {
        result.kept.emplace_back(profile_id,
                                 "the catalogue refuses " + std::to_string(refused) +
                                     " of its rows (a box-set link that another box holds now, "
                                     "say)");
        continue;
      }
      RederiveEpisodes(database, profile_id);
      database.NoteImported(store::CatalogueFile::List::kProfiles, profile_id);
      scope.Commit();
    }
    database.SyncImported();
    RemoveProfileRows(*removed, profile_id);
    result.restored.emplace_back(profile_id, title);
  }
  return result;
}

}  // namespace zel
