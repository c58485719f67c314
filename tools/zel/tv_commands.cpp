// zel appearances: where a person appears, under any of their names.
#include <iostream>

#include "commands.h"
#include "frame/control.h"
#include "model/profile.h"
#include "output.h"
#include "people/appearances.h"
#include "store/database.h"
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

std::string TitleOf(const Appearance& hit) {
  if (hit.episode) return std::static_pointer_cast<ZelEpisode>(hit.item)->Title();
  return std::static_pointer_cast<ZelProfile>(hit.item)->Title();
}

void RunAppearances(const std::string& path, const std::string& name,
                    const AppearanceOptions& options) {
  const AppearanceFilter filter = FilterOf(options);
  Control control;
  auto database = OpenCatalogue(control, path);
  const std::vector<Appearance> hits = SearchAppearances(*database, name, filter);
  if (options.json) {
    Json rows = Json::array();
    for (const Appearance& hit : hits) {
      Json row = {{"kind", hit.episode ? "episode" : "profile"}, {"title", TitleOf(hit)}};
      if (hit.episode) {
        auto episode = std::static_pointer_cast<ZelEpisode>(hit.item);
        row["id"] = episode->EpisodeID();
        row["series"] = episode->ShowID();
        row["season"] = episode->Season();
        row["number"] = episode->Number();
      } else {
        row["id"] = std::static_pointer_cast<ZelProfile>(hit.item)->ProfileID();
      }
      row["credit"] = hit.cast ? "cast" : "crew";
      row["credited_name"] = hit.credited_name;
      row["role"] = hit.role;
      rows.push_back(row);
    }
    std::cout << Json{{"name", name},
                      {"common_name", database->GetCommonName(name)},
                      {"appearances", rows}}
                     .dump(2)
              << '\n';
    return;
  }
  std::vector<std::vector<std::string>> rows;
  for (const Appearance& hit : hits) {
    rows.push_back({hit.episode ? "episode" : "profile", TitleOf(hit), hit.role,
                    hit.cast ? "cast" : "crew", hit.credited_name});
  }
  if (rows.empty()) {
    std::cout << "(no appearances)\n";
    return;
  }
  PrintTable(std::cout, {"Kind", "Title", "Role", "Credit", "Credited as"}, rows);
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
