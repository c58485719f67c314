// zel aliases, awards and import-awards.
#include <iostream>
#include <optional>

#include "awards/awards.h"
#include "catalogue/control.h"
#include "catalogue/database.h"
#include "commands.h"
#include "frame/error.h"
#include "import/award_file.h"
#include "output.h"
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
  if (json) {
    std::cout << Json{{"Name", name}, {"CommonName", common_name}, {"Aliases", aliases}}.dump(2)
              << '\n';
    return;
  }
  std::cout << "Common name: " << common_name << '\n';
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
  if (json) {
    Json rows = Json::array();
    for (const auto& award : awards->All()) {
      rows.push_back({{"Award", award->Award()},
                      {"Year", award->Year()},
                      {"Category", award->Category()},
                      {"MovieTitle", award->MovieTitle()},
                      {"MovieYear", award->MovieYear()},
                      {"Nominee", award->Nominee()},
                      {"HasWon", award->HasWon()}});
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
  }
  PrintTable(std::cout, {"Award", "Year", "Category", "Film", "Film year", "Won", "Nominee"}, rows);
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
}  // namespace zel::cli

}  // namespace zel::cli
