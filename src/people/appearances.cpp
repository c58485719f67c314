#include "people/appearances.h"

#include <string>
#include <vector>

#include "frame/collection.h"
#include "frame/text.h"
#include "model/profile.h"
#include "people/aliases.h"
#include "store/catalogue_file.h"
#include "store/row_images.h"
#include "store/tables.h"
#include "tv/episode.h"

namespace zel {
namespace {

bool IsCastCredit(const store::StoredValue& is_cast, int16_t schema) {
  if (schema >= store::schema::kFlagsAsYesNo) {
    return store::ReadColumn(store::Describe(store::Table::kCastCrew).Column("IsCast"), is_cast)
        .ToBool();
  }
  return is_cast.kind == store::StoredValue::Kind::kText && is_cast.text == "yes";
}

bool Wanted(bool cast, const AppearanceFilter& filter) { return cast ? filter.cast : filter.crew; }

std::string Text(const store::StoredValue& value) {
  return value.kind == store::StoredValue::Kind::kText ? value.text : std::string();
}

// The rows of `table` (t) that the credits named `name` in `credits` (c) find, with the credit's
// IsCast, Name and Role; in the engine's order.
std::vector<store::LoadedRow> CreditedRows(store::CatalogueFile& database, store::Table table,
                                           const std::string& from, const std::string& where,
                                           const std::string& name) {
  return store::LoadRows(database, table, where, {store::StoredValue::Text(name)}, {}, from,
                         {"c.\"IsCast\"", "c.\"Name\"", "c.\"Role\""});
}

template <class Make>
void AddHits(std::vector<store::LoadedRow> rows, bool episode, const AppearanceFilter& filter,
             int16_t schema, std::vector<Appearance>& found, Make make) {
  for (store::LoadedRow& row : rows) {
    const bool cast = IsCastCredit(row.extra[0], schema);
    if (!Wanted(cast, filter)) continue;
    found.push_back(
        {make(std::move(row.image)), episode, cast, Text(row.extra[1]), Text(row.extra[2])});
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

  // Every name to search, the common name first; an alias equal to it apart from the case of ASCII
  // letters is the same name to the engine and would list its credits twice.
  std::vector<std::string> names = {common_name};
  for (const auto& row : database.connection().Read(
           "SELECT DISTINCT \"AliasName\" FROM \"Alias\" WHERE \"CommonName\" = ?",
           {store::StoredValue::Text(common_name)})) {
    const std::string alias = Text(row.front());
    if (!EqualsFolded(alias, common_name)) names.push_back(alias);
  }

  const auto episode_of = [&](store::RowImage image) -> ObjectPtr {
    auto episode = std::make_shared<ZelEpisode>();
    episode->ReadRow(database, std::move(image));
    return episode;
  };
  const auto profile_of = [&](store::RowImage image) -> ObjectPtr {
    auto profile = std::make_shared<ZelProfile>();
    profile->ReadRow(database, std::move(image));
    return profile;
  };
  if (filter.episodes) {
    const std::string from = filter.only_assigned_episodes
                                 ? "\"TVCastCrew\" c, \"Episodes\" t, \"Profile2Episodes\" ep"
                                 : "\"TVCastCrew\" c, \"Episodes\" t";
    std::string where = "c.\"Name\" = ? AND c.\"EpisodeID\" = t.\"EpisodeID\"";
    if (filter.only_assigned_episodes) where += " AND c.\"EpisodeID\" = ep.\"EpisodeID\"";
    for (const std::string& name : names) {
      AddHits(CreditedRows(database, store::Table::kEpisodes, from, where, name), true, filter,
              schema, found, episode_of);
    }
  }
  if (filter.profiles) {
    for (const std::string& name : names) {
      AddHits(CreditedRows(database, store::Table::kProfiles, "\"Profiles\" t, \"CastCrew\" c",
                           "c.\"Name\" = ? AND c.\"ProfileID\" = t.\"ProfileID\"", name),
              false, filter, schema, found, profile_of);
    }
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
