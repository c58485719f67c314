#include "people/appearances.h"

#include <string>
#include <vector>

#include "frame/collection.h"
#include "frame/text.h"
#include "model/profile.h"
#include "people/aliases.h"
#include "store/catalogue_file.h"
#include "store/text_helpers.h"
#include "tv/episode.h"

namespace zel {
namespace {

bool IsCastCredit(const Variant& is_cast, int16_t schema) {
  if (schema >= 76) return !is_cast.IsNull() && is_cast.ToBool();
  return is_cast.ToTextOrEmpty() == "yes";
}

bool Wanted(bool cast, const AppearanceFilter& filter) { return cast ? filter.cast : filter.crew; }

Appearance Hit(ObjectPtr item, bool episode, bool cast, store::RecordSet& records) {
  return {std::move(item), episode, cast, records.Value("Name").ToTextOrEmpty(),
          records.Value("Role").ToTextOrEmpty()};
}

void AddEpisodesOf(store::CatalogueFile& database, const std::string& quoted_name,
                   const AppearanceFilter& filter, int16_t schema, std::vector<Appearance>& found) {
  // The credit's name and role come along for callers that show them; the episode ignores them.
  std::string sql =
      "SELECT e.EpisodeID , EpisodeNo, EpisodeTitle, EpisodeOriginalTitle, Season, Overview, "
      "RunTime, Rating, RatingDetails, RatingSystem, Airdate, Notes, SeriesID, IsCast, c.Name, "
      "c.Role ";
  if (filter.only_assigned_episodes) {
    sql += "FROM TVCastCrew c, Episodes e, Profile2Episodes ep WHERE c.Name = '" + quoted_name +
           "' AND c.EpisodeID = e.EpisodeID AND c.EpisodeID = ep.EpisodeID";
  } else {
    sql += "FROM TVCastCrew c, Episodes e WHERE c.Name = '" + quoted_name +
           "' AND c.EpisodeID = e.EpisodeID";
  }
  auto records = database.DbOpenRecordSet(sql);
  for (; !records->Eof(); records->MoveNext()) {
    const bool cast = IsCastCredit(records->Value("IsCast"), schema);
    if (!Wanted(cast, filter)) continue;
    found.push_back(Hit(EpisodeFromRecord(database, *records), true, cast, *records));
  }
}

void AddProfilesOf(store::CatalogueFile& database, const std::string& quoted_name,
                   const AppearanceFilter& filter, int16_t schema, std::vector<Appearance>& found) {
  auto records = database.DbOpenRecordSet(
      "SELECT c.ProfileID as [ProfileID], * FROM Profiles m, CastCrew c WHERE c.Name = '" +
      quoted_name + "' AND c.ProfileID = m.ProfileID");
  for (; !records->Eof(); records->MoveNext()) {
    const bool cast = IsCastCredit(records->Value("IsCast"), schema);
    if (!Wanted(cast, filter)) continue;
    found.push_back(Hit(ProfileFromRecord(database, *records), false, cast, *records));
  }
}

}  // namespace

std::vector<Appearance> SearchAppearances(store::CatalogueFile& database,
                                          std::string_view cast_name,
                                          const AppearanceFilter& filter) {
  std::vector<Appearance> found;
  if (!filter.profiles && !filter.episodes) return found;
  const int16_t schema = database.SchemaNumber();
  const std::string common_name = people::GetCommonName(database, cast_name);
  const std::string quoted_common = QuoteSql(common_name);

  // Every name to search, the common name first; an alias equal to it apart from the case of ASCII
  // letters is the same name to the engine and would list its credits twice.
  std::vector<std::string> names = {quoted_common};
  auto aliases = database.DbOpenRecordSet(
      "SELECT DISTINCT AliasName FROM Alias WHERE CommonName = '" + quoted_common + "'");
  for (; !aliases->Eof(); aliases->MoveNext()) {
    const std::string alias = QuoteSql(aliases->Value("AliasName").ToTextOrEmpty());
    if (!EqualsFolded(alias, quoted_common)) names.push_back(alias);
  }

  if (filter.episodes) {
    for (const std::string& name : names) AddEpisodesOf(database, name, filter, schema, found);
  }
  if (filter.profiles) {
    for (const std::string& name : names) AddProfilesOf(database, name, filter, schema, found);
  }
  return found;
}

std::shared_ptr<Collection> people::FindAppearances(store::CatalogueFile& database,
                                                    std::string_view cast_name,
                                                    bool include_profiles, bool include_episodes,
                                                    bool only_assigned_episodes, bool include_cast,
                                                    bool include_crew) {
  auto found = std::make_shared<Collection>();
  const AppearanceFilter filter{include_profiles, include_episodes, only_assigned_episodes,
                                include_cast, include_crew};
  for (Appearance& hit : SearchAppearances(database, cast_name, filter)) {
    found->Add(Variant(std::move(hit.item)));
  }
  return found;
}

}  // namespace zel
