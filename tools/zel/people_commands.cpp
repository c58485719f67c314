// zel aliases, awards, import-awards, and zel people: names that are probably one person, and the
// collector's joins and splits of them.
#include <iostream>
#include <optional>

#include "awards/awards.h"
#include "catalogue/control.h"
#include "catalogue/database.h"
#include "commands.h"
#include "frame/error.h"
#include "import/award_file.h"
#include "output.h"
#include "people/namesakes.h"
#include "people/person_credits.h"
#include "people/person_joins.h"
#include "people/suspects.h"
#include "store/text_helpers.h"

namespace zel::cli {
namespace {

// Whether any credit, alias row or award nominee names the person; a name that nothing names is a
// mistake worth saying so about.
bool IsSomebody(ZelDatabase& database, const std::string& common_name) {
  const std::string quoted = QuoteSql(common_name);
  for (const std::string& sql : {"SELECT COUNT(*) FROM Alias WHERE AliasName = '" + quoted +
                                     "' OR CommonName = '" + quoted + "'",
                                 "SELECT COUNT(*) FROM CastCrew WHERE Name = '" + quoted + "'",
                                 "SELECT COUNT(*) FROM TVCastCrew WHERE Name = '" + quoted + "'"}) {
    if (database.DbOpenRecordSet(sql)->ValueAt(0).ToLong() > 0) return true;
  }
  return false;
}

void RunAliases(const std::string& path, const std::string& name, bool json) {
  Control control;
  auto database = OpenCatalogue(control, path);
  const std::string common_name = database->GetCommonName(name);
  if (!IsSomebody(*database, common_name)) {
    Raise(errc::kInvalidArgument,
          "No person named '" + name + "' in " + path + ": no credit or alias has that name");
  }
  auto records = database->DbOpenRecordSet(
      "SELECT AliasName, BirthYear, Comment FROM Alias WHERE CommonName = '" +
      QuoteSql(common_name) + "' ORDER BY AliasName, BirthYear");
  Json aliases = Json::array();
  std::vector<std::vector<std::string>> rows;
  for (; !records->Eof(); records->MoveNext()) {
    const Variant alias = records->Value("AliasName");
    const Variant birth_year = records->Value("BirthYear");
    const Variant comment = records->Value("Comment");
    aliases.push_back({{"AliasName", ToJson(alias)},
                       {"BirthYear", ToJson(birth_year)},
                       {"Comment", ToJson(comment)}});
    rows.push_back({CellText(alias), CellText(birth_year), CellText(comment)});
  }
  records.reset();
  // Namesakes are different people: each with what they are credited with.
  const people::PersonAppearances found = people::ReadPersonAppearances(*database, name);
  Json people_json = Json::array();
  std::vector<std::string> people_lines;
  for (const people::PersonWorks& works : found.people) {
    people_json.push_back(
        {{"Person", people::PersonLabel(works.person)},
         {"BirthYear",
          works.person.birth_year == 0 ? Json(nullptr) : Json(works.person.birth_year)},
         {"CouldBe", works.person.could_be},
         {"Titles", works.titles},
         {"Episodes", works.episodes}});
    if (works.person.namesakes) {
      people_lines.push_back(
          people::PersonLabel(works.person) + ": " + std::to_string(works.titles) +
          (works.titles == 1 ? " title, " : " titles, ") + std::to_string(works.episodes) +
          (works.episodes == 1 ? " episode" : " episodes"));
    }
  }
  if (json) {
    std::cout << Json{{"Name", name},
                      {"CommonName", common_name},
                      {"Aliases", aliases},
                      {"People", people_json}}
                     .dump(2)
              << '\n';
    return;
  }
  std::cout << "Common name: " << common_name << '\n';
  if (!people_lines.empty()) {
    std::cout << "Namesakes, different people by their birth years:\n";
    for (const std::string& line : people_lines) std::cout << "  " << line << '\n';
  }
  if (rows.empty()) {
    std::cout << "(no aliases)\n";
    return;
  }
  std::cout << '\n';
  PrintTable(std::cout, {"Alias", "Birth year", "Comment"}, rows);
}

struct AwardQuery {
  std::string movie;
  std::string person;
  std::string award;
  std::optional<std::string> year;
};

std::shared_ptr<ZelAwards> FindAwards(ZelDatabase& database, const AwardQuery& query) {
  const int given = !query.movie.empty() + !query.person.empty() + !query.award.empty();
  if (given != 1) throw CLI::ValidationError("give exactly one of --movie, --person and --award");
  if (!query.movie.empty()) {
    const int16_t year = query.year ? Variant(*query.year).ToInteger() : int16_t{0};
    return database.GetMovieAwards(query.movie, year);
  }
  if (!query.person.empty()) {
    if (query.year) throw CLI::ValidationError("--year goes with --movie or --award");
    return database.GetPersonAwards(query.person);
  }
  if (!query.year) throw CLI::ValidationError("--award needs --year");
  return database.GetAwardByYear(query.award, Variant(*query.year));
}

void RunAwards(const std::string& path, const AwardQuery& query, bool json) {
  Control control;
  auto database = OpenCatalogue(control, path);
  auto awards = FindAwards(*database, query);
  // Of a person with namesakes, each nomination names the one credited on its film, where the
  // catalogue tells.
  std::optional<people::PersonNames> person;
  people::Namesakes namesakes;
  if (!query.person.empty()) {
    person = people::NamesOf(*database, query.person);
    namesakes = people::ReadNamesakes(*database, *person);
    if (namesakes.YearsOf(person->common_name).size() < 2) person.reset();
  }
  const auto person_of = [&](const ZelAward& award) -> std::optional<people::Person> {
    if (!person) return std::nullopt;
    return people::PersonOfNomination(*database, *person, namesakes, award.MovieTitle(),
                                      award.MovieYear());
  };
  if (json) {
    Json rows = Json::array();
    for (const auto& award : awards->All()) {
      Json row = {{"Award", award->Award()},         {"Year", award->Year()},
                  {"Category", award->Category()},   {"MovieTitle", award->MovieTitle()},
                  {"MovieYear", award->MovieYear()}, {"Nominee", award->Nominee()},
                  {"HasWon", award->HasWon()}};
      if (person) {
        const std::optional<people::Person> nominee = person_of(*award);
        row["Person"] = nominee ? Json(people::PersonLabel(*nominee)) : Json(nullptr);
        row["BirthYear"] = nominee ? Json(nominee->birth_year) : Json(nullptr);
      }
      rows.push_back(std::move(row));
    }
    std::cout << rows.dump(2) << '\n';
    return;
  }
  std::vector<std::vector<std::string>> rows;
  for (const auto& award : awards->All()) {
    rows.push_back({award->Award(), std::to_string(award->Year()), award->Category(),
                    award->MovieTitle(),
                    award->MovieYear() == 0 ? "" : std::to_string(award->MovieYear()),
                    award->HasWon() ? "won" : "", award->Nominee()});
    if (person) {
      const std::optional<people::Person> nominee = person_of(*award);
      rows.back().push_back(nominee ? people::PersonLabel(*nominee) : "could be either");
    }
  }
  std::vector<std::string> header = {"Award",     "Year", "Category", "Film",
                                     "Film year", "Won",  "Nominee"};
  if (person) header.emplace_back("Person");
  PrintTable(std::cout, header, rows);
  std::cout << "(" << rows.size() << (rows.size() == 1 ? " award)\n" : " awards)\n");
}

void RunImportAwards(const std::string& path, const std::string& award_file, bool json) {
  Control control;
  auto database = OpenCatalogue(control, path);
  int32_t added = 0;
  std::vector<ReplacedAwardRows> replaced;
  try {
    added = ImportAwards(*database, award_file, &replaced);
  } catch (const AwardFileError& failure) {
    std::string where = "award file " + failure.path();
    if (failure.line() > 0) where += ", line " + std::to_string(failure.line());
    throw Error(failure.number(), where + ": " + failure.description() + "; nothing imported");
  }
  if (json) {
    Json years = Json::array();
    for (const ReplacedAwardRows& rows : replaced) {
      years.push_back({{"Award", rows.award},
                       {"Year", rows.year},
                       {"Replaced", rows.replaced},
                       {"Imported", rows.imported}});
    }
    std::cout << Json{{"File", path},
                      {"AwardFile", award_file},
                      {"Imported", added},
                      {"Years", std::move(years)}}
                     .dump(2)
              << '\n';
    return;
  }
  const auto rows_text = [](int32_t count) {
    return std::to_string(count) + (count == 1 ? " row" : " rows");
  };
  std::cout << "Imported " << added << (added == 1 ? " award row" : " award rows") << " from "
            << award_file << '\n';
  // Each award and year the file holds replaced what was stored of it, and nothing else.
  for (const ReplacedAwardRows& rows : replaced) {
    std::cout << "  " << rows.award << ' ' << rows.year << ": ";
    if (rows.replaced == 0) {
      std::cout << rows_text(rows.imported) << " added\n";
    } else {
      std::cout << rows_text(rows.replaced) << " replaced by " << rows.imported << '\n';
    }
  }
}

Json ChangesJson(const people::JoinResult& result) {
  Json changes = Json::array();
  for (const people::AliasChange& change : result.changes) {
    changes.push_back({{"AliasName", change.alias_name},
                       {"Before", change.before.empty() ? Json(nullptr) : Json(change.before)},
                       {"CommonName", change.after.empty() ? Json(nullptr) : Json(change.after)}});
  }
  return changes;
}

void PrintChanges(const people::JoinResult& result) {
  for (const people::AliasChange& change : result.changes) {
    if (change.before.empty()) {
      std::cout << "  added alias " << change.alias_name << " -> " << change.after << '\n';
    } else if (change.after.empty()) {
      std::cout << "  removed alias " << change.alias_name << " -> " << change.before << '\n';
    } else {
      std::cout << "  alias " << change.alias_name << ": " << change.before << " -> "
                << change.after << '\n';
    }
  }
}

void RunJoin(const std::string& path, const std::string& name, const std::string& into, bool json) {
  Control control;
  auto database = OpenCatalogue(control, path);
  const people::JoinResult result = people::JoinPeople(*database, name, into);
  if (json) {
    PrintJson(
        std::cout,
        {{"Joined", result.name}, {"CommonName", result.into}, {"Changes", ChangesJson(result)}});
    return;
  }
  std::cout << "Joined " << result.name << " to " << result.into << ", now one person under "
            << result.into << " (undo with: zel people split " << path << " \"" << result.name
            << "\")\n";
  PrintChanges(result);
}

void RunSplit(const std::string& path, const std::string& name, bool json) {
  Control control;
  auto database = OpenCatalogue(control, path);
  const people::JoinResult result = people::SplitPeople(*database, name);
  if (json) {
    PrintJson(
        std::cout,
        {{"Split", result.name}, {"CommonName", result.into}, {"Changes", ChangesJson(result)}});
    return;
  }
  std::cout << "Split " << result.name << " from " << result.into << ", two people again\n";
  PrintChanges(result);
}

Json SuspectNameJson(const people::SuspectName& name) {
  return {{"CommonName", name.common_name},
          {"BirthYears", name.birth_years},
          {"Credits", name.credits}};
}

void RunSuspects(const std::string& path, bool json) {
  Control control;
  auto database = OpenCatalogue(control, path);
  const std::vector<people::Suspect> suspects = people::FindSuspects(*database);
  if (json) {
    Json list = Json::array();
    for (const people::Suspect& suspect : suspects) {
      list.push_back({{"Name", SuspectNameJson(suspect.first)},
                      {"Other", SuspectNameJson(suspect.second)},
                      {"Evidence", suspect.evidence}});
    }
    PrintJson(std::cout, list);
    return;
  }
  if (suspects.empty()) {
    std::cout << "(no names look like one person)\n";
    return;
  }
  std::vector<std::vector<std::string>> rows;
  for (const people::Suspect& suspect : suspects) {
    std::string evidence;
    for (const std::string& item : suspect.evidence) {
      evidence += (evidence.empty() ? "" : "; ") + item;
    }
    rows.push_back({suspect.first.common_name, std::to_string(suspect.first.credits),
                    suspect.second.common_name, std::to_string(suspect.second.credits), evidence});
  }
  PrintTable(std::cout, {"Name", "Credits", "Probably also", "Credits", "Evidence"}, rows, 80);
  std::cout << "(" << suspects.size() << (suspects.size() == 1 ? " pair" : " pairs")
            << "; zel people join " << path
            << " NAME OTHER makes NAME one with OTHER, nothing is joined otherwise)\n";
}

}  // namespace

void AddPeopleCommands(CLI::App& app) {
  static std::string path;
  static std::string name;
  static std::string award_file;
  static AwardQuery query;
  static std::string year;
  static bool json = false;

  auto* aliases = app.add_subcommand("aliases", "Show the common name of a person and its aliases");
  aliases->add_option("FILE", path, "Catalogue file")->required();
  aliases->add_option("NAME", name, "Any form of the person's name")->required();
  aliases->add_flag("--json", json, "Print JSON for scripts");
  aliases->callback([] { RunAliases(path, name, json); });

  auto* awards =
      app.add_subcommand("awards", "List the awards of a film, a person or an award year");
  awards->add_option("FILE", path, "Catalogue file")->required();
  awards->add_option("--movie", query.movie, "Film title");
  awards->add_option("--person", query.person, "Part of a nominee's name");
  awards->add_option("--award", query.award, "Award name (with --year)");
  auto* year_option =
      awards->add_option("--year", year, "Production year (with --movie) or award year");
  awards->add_flag("--json", json, "Print JSON for scripts");
  awards->callback([year_option] {
    if (year_option->count() > 0) query.year = year;
    RunAwards(path, query, json);
  });

  auto* import = app.add_subcommand(
      "import-awards",
      "Import an award file (text or .xml): it replaces the stored rows of each award and year it "
      "holds");
  import->add_option("FILE", path, "Catalogue file")->required();
  import->add_option("AWARDFILE", award_file, "Award file")->required();
  import->add_flag("--json", json, "Print the summary as JSON for scripts");
  import->callback([] { RunImportAwards(path, award_file, json);
});

static std::string other;
auto* people = app.add_subcommand(
    "people", "Names that are probably one person, and joining or splitting them");
people->require_subcommand(1);
auto* suspects = people->add_subcommand(
    "suspects", "List names that are probably one person, with the evidence");
suspects->footer(
    "Alike spellings of one birth year, a middle initial present or absent, reversed name order, "
    "a Jr. present or absent. Namesakes with different birth years are never suspects. Nothing "
    "is changed: zel people join does that.");
suspects->add_option("FILE", path, "Catalogue file")->required();
suspects->add_flag("--json", json, "Print JSON for scripts");
suspects->callback([] { RunSuspects(path, json); });

auto* join = people->add_subcommand(
    "join", "Make two names one person: NAME and its aliases become aliases of INTO");
join->add_option("FILE", path, "Catalogue file")->required();
join->add_option("NAME", name, "Any name of the person who joins")->required();
join->add_option("INTO", other, "Any name of the person whose common name stays")->required();
join->add_flag("--json", json, "Print JSON for scripts");
join->callback([] { RunJoin(path, name, other, json); });

auto* split = people->add_subcommand("split", "Undo a join of zel people join: two people again");
split->add_option("FILE", path, "Catalogue file")->required();
split->add_option("NAME", name, "The name that was joined (as zel people join named it)")
    ->required();
split->add_flag("--json", json, "Print JSON for scripts");
split->callback([] { RunSplit(path, name, json); });
}  // namespace zel::cli

}  // namespace zel::cli
