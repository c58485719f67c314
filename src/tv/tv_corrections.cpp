#include "tv/tv_corrections.h"

#include <optional>
#include <vector>

#include "frame/error.h"
#include "frame/text.h"
#include "store/catalogue_file.h"
#include "store/connection.h"
#include "store/text_helpers.h"
#include "tv/episode.h"

namespace zel::tv {
namespace {

std::string Quoted(std::string_view text) { return "'" + QuoteSql(text) + "'"; }

// The title of a stored series, or nullopt when there is none.
std::optional<std::string> SeriesTitleOf(store::CatalogueFile& database, std::string_view id) {
  auto row = database.DbOpenRecordSet("SELECT Title FROM TVSeries WHERE SeriesID = " + Quoted(id));
  if (row->Eof()) return std::nullopt;
  return row->ValueAt(0).ToTextOrEmpty();
}

std::vector<std::string> Column(store::CatalogueFile& database, const std::string& sql) {
  std::vector<std::string> values;
  auto rows = database.DbOpenRecordSet(sql);
  for (; !rows->Eof(); rows->MoveNext()) values.push_back(rows->ValueAt(0).ToTextOrEmpty());
  return values;
}

std::string DerivedSeriesTitle(store::CatalogueFile& database, std::string_view id,
                               std::string_view role) {
  const std::optional<std::string> title = SeriesTitleOf(database, id);
  if (!title) {
    Raise(errc::kInvalidArgument, "No series '" + std::string(id) + "' in the catalogue");
  }
  if (!IsDerived(database, id)) {
    Raise(errc::kInvalidArgument, "Series '" + std::string(id) + "' (" + *title +
                                      ") was not derived from episode "
                                      "headings: only derived series are merged (the " +
                                      std::string(role) + ")");
  }
  return *title;
}

}  // namespace

RenameResult RenameSeriesOrEpisode(store::CatalogueFile& database, std::string_view id,
                                   std::string_view title) {
  const std::string new_title = Trim(title);
  if (new_title.empty()) Raise(errc::kInvalidArgument, "A series or episode needs a title");
  RenameResult result{std::string(id), false, IsDerived(database, id), {}, new_title};
  store::WriteScope scope(database.connection());
  if (const std::optional<std::string> old = SeriesTitleOf(database, id)) {
    result.old_title = *old;
    database.DbExecute("UPDATE TVSeries SET Title = " + Quoted(new_title) +
                       ", SortTitle = " + Quoted(new_title) + " WHERE SeriesID = " + Quoted(id));
  } else {
    auto row = database.DbOpenRecordSet("SELECT EpisodeTitle FROM Episodes WHERE EpisodeID = " +
                                        Quoted(id));
    if (row->Eof()) {
      Raise(errc::kInvalidArgument,
            "No series or episode '" + std::string(id) + "' in the catalogue");
    }
    result.episode = true;
    result.old_title = row->ValueAt(0).ToTextOrEmpty();
    row.reset();
    database.DbExecute("UPDATE Episodes SET EpisodeTitle = " + Quoted(new_title) +
                       " WHERE EpisodeID = " + Quoted(id));
  }
  if (result.derived) database.WriteMetaInfoByProfileID(id, kCorrectedTitleEntry, new_title);
  scope.Commit();
  return result;
}

MergeResult MergeDerivedSeries(store::CatalogueFile& database, std::string_view from,
                               std::string_view into) {
  MergeResult result;
  result.from_title = DerivedSeriesTitle(database, from, "first");
  result.into_title = DerivedSeriesTitle(database, into, "second");
  if (EqualsFolded(from, into)) {
    Raise(errc::kInvalidArgument, "A series cannot be merged into itself");
  }
  // The identifiers as stored.
  result.from =
      Column(database, "SELECT SeriesID FROM TVSeries WHERE SeriesID = " + Quoted(from))[0];
  result.into =
      Column(database, "SELECT SeriesID FROM TVSeries WHERE SeriesID = " + Quoted(into))[0];

  store::WriteScope scope(database.connection());
  const std::vector<std::string> episodes =
      Column(database, "SELECT EpisodeID FROM Episodes WHERE SeriesID = " + Quoted(result.from));
  result.episodes = static_cast<int64_t>(episodes.size());
  const std::vector<std::string> titles =
      Column(database,
             "SELECT DISTINCT pe.ProfileID FROM Profile2Episodes pe INNER JOIN Episodes e ON "
             "e.EpisodeID = pe.EpisodeID WHERE e.SeriesID = " +
                 Quoted(result.from) + " ORDER BY pe.ProfileID");
  // The collector's episode titles go with the episodes, unless `into` has its own.
  for (const std::string& episode : episodes) {
    const std::string corrected = database.ReadMetaInfoByProfileID(episode, kCorrectedTitleEntry);
    if (corrected.empty() || !episode.starts_with(result.from + "/")) continue;
    const std::string moved = result.into + episode.substr(result.from.size());
    if (database.ReadMetaInfoByProfileID(moved, kCorrectedTitleEntry).empty()) {
      database.WriteMetaInfoByProfileID(moved, kCorrectedTitleEntry, corrected);
    }
  }
  // Series merged into `from` before now go to `into` as well.
  database.DbExecute("UPDATE MetaInfo SET InfoValue = " + Quoted(result.into) +
                     " WHERE InfoName = " + Quoted(kMergedIntoEntry) +
                     " AND InfoValue = " + Quoted(result.from));
  database.WriteMetaInfoByProfileID(result.from, kMergedIntoEntry, result.into);
  for (const std::string& title : titles) {
    result.changes += DeriveTitleEpisodes(database, title);
  }
  result.titles = static_cast<int64_t>(titles.size());
  // Whatever of `from` no title held goes too: the series is now part of `into`.
  for (const std::string& episode :
       Column(database, "SELECT EpisodeID FROM Episodes WHERE SeriesID = " + Quoted(result.from))) {
    DeleteEpisodeRows(database, episode);
    database.DbExecute("DELETE FROM MetaInfo WHERE ProfileID = " + Quoted(episode) +
                       " AND InfoName = " + Quoted(kDerivedEntry));
    ++result.changes.episodes_removed;
  }
  if (SeriesTitleOf(database, result.from)) {
    database.DbExecute("DELETE FROM TVSeries WHERE SeriesID = " + Quoted(result.from));
    database.DbExecute("DELETE FROM MetaInfo WHERE ProfileID = " + Quoted(result.from) +
                       " AND InfoName = " + Quoted(kDerivedEntry));
    ++result.changes.series_removed;
  }
  scope.Commit();
  return result;
}

}  // namespace zel::tv
