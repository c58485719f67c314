// zel appearances, and zel tv: the series, seasons and episodes derived from episode headings, and
// the collector's corrections of them.
#include <iostream>

#include "catalogue/control.h"
#include "catalogue/database.h"
#include "commands.h"
#include "output.h"
#include "people/person_credits.h"
#include "store/text_helpers.h"
#include "tv/episode_derivation.h"
#include "tv/series_outline.h"
#include "tv/tv_corrections.h"

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

Json YearJson(int32_t year) { return year == 0 ? Json(nullptr) : Json(year); }

Json PersonJson(const people::Person& person) {
  return {{"Person", people::PersonLabel(person)},
          {"CommonName", person.common_name},
          {"BirthYear", YearJson(person.birth_year)},
          {"CouldBe", person.could_be}};
}

Json LineJson(const people::WorkLine& line, const people::Person& person) {
  Json row = {{"Kind", line.episode ? "episode" : "profile"}};
  if (line.episode) {
    row["EpisodeID"] = line.id;
    row["ShowID"] = line.show_id;
    row["SeriesTitle"] = line.series_title;
    row["Season"] = line.season;
    row["Number"] = line.number;
    row["Title"] = line.title;
    row["Airdate"] = line.airdate == Date::Zero() ? Json(nullptr) : Json(FormatDate(line.airdate));
  } else {
    row["ProfileID"] = line.id;
    row["Title"] = line.title;
    row["ProductionYear"] = line.year;
  }
  row["Year"] = YearJson(line.year);
  row.update(PersonJson(person));
  Json roles = Json::array();
  for (const people::RoleGroup& group : line.roles) {
    roles.push_back({{"Role", group.role},
                     {"IsCast", group.cast},
                     {"IsVoice", group.voice},
                     {"IsUncredited", group.uncredited},
                     {"IsCreditOnly", group.credit_only},
                     {"CreditedAs", group.credited_as},
                     {"Episodes", group.episodes}});
  }
  row["Roles"] = std::move(roles);
  return row;
}

std::string LineTitle(const people::WorkLine& line) {
  if (!line.episode) return line.title;
  const std::string label = tv::EpisodeLabel(line.season, line.number, line.title);
  return line.series_title.empty() ? label : line.series_title + " " + label;
}

std::string CountText(int64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

void RunAppearances(const std::string& path, const std::string& name,
                    const AppearanceOptions& options) {
  const AppearanceFilter filter = FilterOf(options);
  Control control;
  auto database = OpenCatalogue(control, path);
  const people::PersonAppearances found = people::ReadPersonAppearances(*database, name, filter);
  if (options.json) {
    Json people = Json::array(), rows = Json::array();
    for (const people::PersonWorks& works : found.people) {
      Json person = PersonJson(works.person);
      person["Titles"] = works.titles;
      person["Episodes"] = works.episodes;
      people.push_back(std::move(person));
      for (const people::WorkLine& line : works.lines) rows.push_back(LineJson(line, works.person));
    }
    PrintJson(std::cout, {{"Name", found.name},
                          {"CommonName", found.common_name},
                          {"People", std::move(people)},
                          {"Appearances", std::move(rows)}});
    return;
  }
  std::vector<std::vector<std::string>> rows;
  int64_t titles = 0, episodes = 0;
  for (const people::PersonWorks& works : found.people) {
    // Namesakes, and credits that could be any of them, each under a heading of their own.
    if (found.people.size() > 1 || works.person.CouldBeEither()) {
      if (!rows.empty()) rows.push_back({});
      rows.push_back({people::PersonLabel(works.person)});
    }
    for (const people::WorkLine& line : works.lines) {
      ++(line.episode ? episodes : titles);
      for (const people::RoleGroup& group : line.roles) {
        rows.push_back({line.year == 0 ? "" : std::to_string(line.year),
                        line.episode ? "episode" : "title", line.id, LineTitle(line),
                        people::RoleText(group, 8), group.cast ? "cast" : "crew",
                        group.credited_as});
      }
    }
  }
  if (rows.empty()) {
    std::cout << "(no appearances)\n";
    return;
  }
  PrintTable(std::cout, {"Year", "Kind", "ID", "Title", "Role", "Credit", "Credited as"}, rows,
             120);
  std::cout << "(" << CountText(titles, "title", "titles") << ", "
            << CountText(episodes, "episode", "episodes") << ")\n";
}

Json ChangesJson(const tv::DerivationCounts& changes) {
  return {
      {"SeriesAdded", changes.series_added},         {"SeriesRemoved", changes.series_removed},
      {"EpisodesAdded", changes.episodes_added},     {"EpisodesChanged", changes.episodes_changed},
      {"EpisodesRemoved", changes.episodes_removed}, {"LinksAdded", changes.links_added},
      {"LinksRemoved", changes.links_removed}};
}

std::string ChangesText(const tv::DerivationCounts& changes) {
  if (!changes.Changed()) return "nothing changed";
  std::string text;
  const auto add = [&](int64_t count, const char* one, const char* many) {
    if (count != 0) text += (text.empty() ? "" : ", ") + CountText(count, one, many);
  };
  add(changes.series_added, "series added", "series added");
  add(changes.series_removed, "series removed", "series removed");
  add(changes.episodes_added, "episode added", "episodes added");
  add(changes.episodes_changed, "episode changed", "episodes changed");
  add(changes.episodes_removed, "episode removed", "episodes removed");
  add(changes.links_added, "disc link added", "disc links added");
  add(changes.links_removed, "disc link removed", "disc links removed");
  return text;
}

void RunDerive(const std::string& path, bool json) {
  Control control;
  auto database = OpenCatalogue(control, path);
  const tv::DerivationSummary summary = tv::DeriveAllEpisodes(*database);
  if (json) {
    PrintJson(std::cout, {{"File", path},
                          {"Titles", summary.changes.titles},
                          {"Series", summary.series},
                          {"Seasons", summary.seasons},
                          {"Episodes", summary.episodes},
                          {"Changes", ChangesJson(summary.changes)}});
    return;
  }
  std::cout << "Derived from the episode headings of "
            << CountText(summary.changes.titles, "title", "titles") << ": "
            << CountText(summary.series, "series", "series") << ", "
            << CountText(summary.seasons, "season", "seasons") << ", "
            << CountText(summary.episodes, "episode", "episodes") << " ("
            << ChangesText(summary.changes) << ")\n";
}

void RunRename(const std::string& path, const std::string& id, const std::string& title,
               bool json) {
  Control control;
  auto database = OpenCatalogue(control, path);
  const tv::RenameResult result = tv::RenameSeriesOrEpisode(*database, id, title);
  if (json) {
    PrintJson(std::cout, {{result.episode ? "EpisodeID" : "ShowID", result.id},
                          {"Kind", result.episode ? "episode" : "series"},
                          {"OldTitle", result.old_title},
                          {"Title", result.new_title},
                          {"Derived", result.derived}});
    return;
  }
  std::cout << "Renamed " << (result.episode ? "episode " : "series ") << result.id << " from \""
            << result.old_title << "\" to \"" << result.new_title << "\""
            << (result.derived ? "; the next derivations keep this title" : "") << '\n';
}

void RunMerge(const std::string& path, const std::string& from, const std::string& into,
              bool json) {
  Control control;
  auto database = OpenCatalogue(control, path);
  const tv::MergeResult result = tv::MergeDerivedSeries(*database, from, into);
  if (json) {
    PrintJson(std::cout, {{"From", {{"ShowID", result.from}, {"Title", result.from_title}}},
                          {"Into", {{"ShowID", result.into}, {"Title", result.into_title}}},
                          {"Episodes", result.episodes},
                          {"Titles", result.titles},
                          {"Changes", ChangesJson(result.changes)}});
    return;
  }
  std::cout << "Merged series " << result.from << " \"" << result.from_title << "\" ("
            << CountText(result.episodes, "episode", "episodes") << ") into " << result.into
            << " \"" << result.into_title << "\": " << CountText(result.titles, "title", "titles")
            << " derived again (" << ChangesText(result.changes)
            << "); the next derivations keep them together\n";
}

void RunList(const std::string& path, bool json) {
  Control control;
  auto database = OpenCatalogue(control, path);
  std::vector<std::string> ids;
  auto records =
      database->DbOpenRecordSet("SELECT SeriesID FROM TVSeries ORDER BY SortTitle, SeriesID");
  for (; !records->Eof(); records->MoveNext()) ids.push_back(records->ValueAt(0).ToTextOrEmpty());
  records.reset();
  Json list = Json::array();
  std::vector<std::vector<std::string>> rows;
  for (const std::string& id : ids) {
    const std::optional<tv::SeriesOutline> outline = tv::ReadSeriesOutline(*database, id);
    if (!outline) continue;
    const ZelTVShow& show = *outline->show;
    list.push_back({{"ShowID", show.ShowID()},
                    {"Title", show.Title()},
                    {"Seasons", outline->seasons.size()},
                    {"Episodes", outline->episode_count},
                    {"Derived", outline->derived}});
    rows.push_back({show.ShowID(), show.Title(), std::to_string(outline->seasons.size()),
                    std::to_string(outline->episode_count), outline->derived ? "derived" : ""});
  }
  if (json) {
    PrintJson(std::cout, list);
    return;
  }
  if (rows.empty()) {
    std::cout << "(no series)\n";
    return;
  }
  PrintTable(std::cout, {"ShowID", "Title", "Seasons", "Episodes", "Made"}, rows);
}

}  // namespace

void AddTvCommands(CLI::App& app) {
  static std::string path;
  static std::string name;
  static AppearanceOptions options;

  auto* appearances = app.add_subcommand(
      "appearances", "List the profiles and episodes crediting a person, under any of their names");
  appearances->footer(
      "One line per title or episode and role, by year and then title. Credits of one role on "
      "one title are one line that names their episodes. Namesakes with different birth years "
      "are listed apart, and credits without a birth year that could be either apart again.");
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

  static std::string id, title, into;
  static bool json = false;
  auto* tv = app.add_subcommand(
      "tv", "Series, seasons and episodes derived from the episode headings of imported titles");
  tv->require_subcommand(1);
  auto* derive = tv->add_subcommand(
      "derive", "Derive series, seasons and episodes from every title's episode headings again");
  derive->footer(
      "Imports derive them as they go; this serves a catalogue imported before, and is safe to "
      "run again: what is already derived stays as it is. Series and episodes made by a host "
      "program are never touched.");
  derive->add_option("FILE", path, "Catalogue file")->required();
  derive->add_flag("--json", json, "Print JSON for scripts");
  derive->callback([] { RunDerive(path, json); });

  auto* list = tv->add_subcommand("list", "List the series with their seasons and episodes");
  list->add_option("FILE", path, "Catalogue file")->required();
  list->add_flag("--json", json, "Print JSON for scripts");
  list->callback([] { RunList(path, json); });

  auto* rename = tv->add_subcommand(
      "rename", "Give a series or an episode another title, kept by later derivations");
  rename->add_option("FILE", path, "Catalogue file")->required();
  rename->add_option("ID", id, "ShowID or EpisodeID (zel tv list, zel show)")->required();
  rename->add_option("TITLE", title, "The new title")->required();
  rename->add_flag("--json", json, "Print JSON for scripts");
  rename->callback([] { RunRename(path, id, title, json); });

  auto* merge = tv->add_subcommand(
      "merge",
      "Make two derived series one: the first joins the second, also in later derivations");
  merge->add_option("FILE", path, "Catalogue file")->required();
  merge->add_option("FROM", id, "ShowID of the series that joins the other")->required();
  merge->add_option("INTO", into, "ShowID of the series it joins")->required();
  merge->add_flag("--json", json, "Print JSON for scripts");
  merge->callback([] { RunMerge(path, id, into, json); });
}

}  // namespace zel::cli
