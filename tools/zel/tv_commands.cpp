// zel appearances: where a person appears, under any of their names.
#include <iostream>

#include "catalogue/control.h"
#include "catalogue/database.h"
#include "commands.h"
#include "model/profile.h"
#include "output.h"
#include "people/appearances.h"
#include "tv/episode.h"

namespace zel::cli {
namespace {

struct AppearanceOptions {
  bool cast_only = false;
  bool crew_only = false;
  bool profiles_only = false;
  bool episodes_only = false;
  bool assigned_only = false;
  bool json = false;
};

AppearanceFilter FilterOf(const AppearanceOptions& options) {
  if (options.cast_only && options.crew_only) {
    throw CLI::ValidationError("give at most one of --cast-only and --crew-only");
  }
  if (options.profiles_only && options.episodes_only) {
    throw CLI::ValidationError("give at most one of --profiles-only and --episodes-only");
  }
  if (options.assigned_only && options.profiles_only) {
    throw CLI::ValidationError("--assigned-only goes with episodes");
  }
  AppearanceFilter filter;
  filter.cast = !options.crew_only;
  filter.crew = !options.cast_only;
  filter.profiles = !options.episodes_only;
  filter.episodes = !options.profiles_only;
  filter.only_assigned_episodes = options.assigned_only;
  return filter;
}

// What a row of the answer shows of the profile or episode a credit was found in.
struct Found {
  const char* kind;
  std::string id;
  std::string title;
  int64_t year = 0;  // production year of a profile, year of an episode's air date; 0 when unknown
};

Found FoundOf(const Appearance& hit) {
  if (hit.episode) {
    const auto& episode = static_cast<const ZelEpisode&>(*hit.item);
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (episode.Airdate() != Date::Zero()) {
      episode.Airdate().ToParts(year, month, day, hour, minute, second);
    }
    return {"episode", episode.EpisodeID(), episode.Title(), year};
  }
  const auto& profile = static_cast<const ZelProfile&>(*hit.item);
  return {"profile", profile.ProfileID(), profile.Title(), profile.ProductionYear()};
}

Json AppearanceJson(const Appearance& hit) {
  const Found found = FoundOf(hit);
  Json row = {{"Kind", found.kind}};
  if (hit.episode) {
    const auto& episode = static_cast<const ZelEpisode&>(*hit.item);
    row["EpisodeID"] = found.id;
    row["ShowID"] = episode.ShowID();
    row["Season"] = episode.Season();
    row["Number"] = episode.Number();
    row["Title"] = found.title;
    row["Airdate"] =
        episode.Airdate() == Date::Zero() ? Json(nullptr) : Json(FormatDate(episode.Airdate()));
  } else {
    row["ProfileID"] = found.id;
    row["Title"] = found.title;
    row["ProductionYear"] = found.year;
  }
  row["IsCast"] = hit.cast;
  row["CreditedAs"] = hit.credited_name;
  row["Role"] = hit.role;
  return row;
}

void RunAppearances(const std::string& path, const std::string& name,
                    const AppearanceOptions& options) {
  const AppearanceFilter filter = FilterOf(options);
  Control control;
  auto database = OpenCatalogue(control, path);
  const std::vector<Appearance> hits = SearchAppearances(*database, name, filter);
  if (options.json) {
    Json rows = Json::array();
    for (const Appearance& hit : hits) rows.push_back(AppearanceJson(hit));
    std::cout << Json{{"Name", name},
                      {"CommonName", database->GetCommonName(name)},
                      {"Appearances", rows}}
                     .dump(2)
              << '\n';
    return;
  }
  std::vector<std::vector<std::string>> rows;
  for (const Appearance& hit : hits) {
    const Found found = FoundOf(hit);
    rows.push_back({found.kind, found.id, found.title,
                    found.year == 0 ? "" : std::to_string(found.year), hit.role,
                    hit.cast ? "cast" : "crew", hit.credited_name});
  }
  if (rows.empty()) {
    std::cout << "(no appearances)\n";
    return;
  }
  PrintTable(std::cout, {"Kind", "ID", "Title", "Year", "Role", "Credit", "Credited as"}, rows);
  std::cout << "(" << rows.size() << (rows.size() == 1 ? " appearance)\n" : " appearances)\n");
}

}  // namespace

void AddTvCommands(CLI::App& app) {
  static std::string path;
  static std::string name;
  static AppearanceOptions options;

  auto* appearances = app.add_subcommand(
      "appearances", "List the profiles and episodes crediting a person, under any of their names");
  appearances->add_option("FILE", path, "Catalogue file")->required();
  appearances->add_option("NAME", name, "Any form of the person's name")->required();
  appearances->add_flag("--cast-only", options.cast_only, "Only cast credits");
  appearances->add_flag("--crew-only", options.crew_only, "Only crew credits");
  appearances->add_flag("--profiles-only", options.profiles_only, "Only profiles");
  appearances->add_flag("--episodes-only", options.episodes_only, "Only episodes");
  appearances->add_flag("--assigned-only", options.assigned_only,
                        "Only episodes assigned to a profile");
  appearances->add_flag("--json", options.json, "Print JSON for scripts");
  appearances->callback([] { RunAppearances(path, name, options); });
}

}  // namespace zel::cli
