#include <fstream>

#include <nlohmann/json.hpp>

#include "support/test_support.h"

namespace zel {
namespace {

using testing::RunZel;
using Json = nlohmann::json;

class TvCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RunZel({"create", path_}).exit_code, 0);
    Sql("INSERT INTO Alias (AliasName, CommonName, BirthYear) VALUES ('Kit Golden', "
        "'Katherine Golden', 0)");
    Sql("INSERT INTO Profiles (ProfileID, Title, ProdYear) VALUES ('P1', 'Chocolat', 2000)");
    Sql("INSERT INTO CastCrew (ProfileID, Name, Role, Position, IsCast, IsVoice, IsUncredited) "
        "VALUES ('P1', 'Kit Golden', 'Producer', 1, false, false, false)");
    Sql("INSERT INTO Episodes (EpisodeID, SeriesID, Season, EpisodeNo, EpisodeTitle, Airdate) "
        "VALUES ('S111', 'S1', '1', '1', 'Pilot', #1998-03-04#)");
    Sql("INSERT INTO TVCastCrew (EpisodeID, Name, Role, Position, IsCast, IsVoice, "
        "IsUncredited) VALUES ('S111', 'Katherine Golden', 'Vianne', 1, true, false, false)");
  }
  void Sql(const std::string& statement) {
    auto result = RunZel({"sql", path_, statement});
    ASSERT_EQ(result.exit_code, 0) << result.err;
  }

  testing::TempDir dir_;
  std::string path_ = dir_.File("tv.zel");
};

TEST_F(TvCommands, AppearancesListTitlesAndEpisodesByYearWithRoles) {
  auto result = RunZel({"appearances", path_, "Kit Golden"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out,
            "Year  Kind     ID    Title      Role      Credit  Credited as\n"
            "----  -------  ----  ---------  --------  ------  ----------------\n"
            "1998  episode  S111  1.1 Pilot  Vianne    cast    Katherine Golden\n"
            "2000  title    P1    Chocolat   Producer  crew    Kit Golden\n"
            "(1 title, 1 episode)\n");

  result = RunZel({"appearances", path_, "Nobody"});
  EXPECT_EQ(result.out, "(no appearances)\n");
}

TEST_F(TvCommands, AppearanceFiltersAndJson) {
  auto result = RunZel({"appearances", path_, "Kit Golden", "--json"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const Json person = R"({"Person": "Katherine Golden", "CommonName": "Katherine Golden",
                          "BirthYear": null, "CouldBe": []})"_json;
  Json episode = R"({"Kind": "episode", "EpisodeID": "S111", "ShowID": "S1", "SeriesTitle": "",
      "Season": "1", "Number": "1", "Title": "Pilot", "Airdate": "1998-03-04", "Year": 1998,
      "Roles": [{"Role": "Vianne", "IsCast": true, "IsVoice": false, "IsUncredited": false,
                 "IsCreditOnly": false, "CreditedAs": "Katherine Golden", "Episodes": []}]})"_json;
  Json profile = R"({"Kind": "profile", "ProfileID": "P1", "Title": "Chocolat",
      "ProductionYear": 2000, "Year": 2000,
      "Roles": [{"Role": "Producer", "IsCast": false, "IsVoice": false, "IsUncredited": false,
                 "IsCreditOnly": false, "CreditedAs": "Kit Golden", "Episodes": []}]})"_json;
  episode.update(person);
  profile.update(person);
  Json summary = person;
  summary.update(R"({"Titles": 1, "Episodes": 1})"_json);
  EXPECT_EQ(Json::parse(result.out), (Json{{"Name", "Kit Golden"},
                                           {"CommonName", "Katherine Golden"},
                                           {"People", Json::array({summary})},
                                           {"Appearances", Json::array({episode, profile})}}));

  result = RunZel({"appearances", path_, "Katherine Golden", "--crew-only", "--json"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const Json crew = Json::parse(result.out)["Appearances"];
  ASSERT_EQ(crew.size(), 1u);
  EXPECT_EQ(crew[0]["Kind"], "profile");

  result = RunZel({"appearances", path_, "Kit Golden", "--assigned-only"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out.find("episode "), std::string::npos);  // nothing is assigned
  EXPECT_NE(result.out.find("Chocolat"), std::string::npos);
}

// An imported television disc is derived into series, seasons and episodes; the collector
// corrects what was guessed, and zel show and zel appearances read the result.
TEST_F(TvCommands, DerivedSeriesAreCorrectedAndShown) {
  const auto heading = [](const std::string& caption) {
    return "<Divider Caption=\"" + caption +
           "\" Type=\"Episode\"/>"
           "<Actor FirstName=\"Tom\" LastName=\"Hale\" Role=\"Narrator (voice)\"/>";
  };
  const std::string collection = dir_.File("collection.xml");
  std::ofstream(collection)
      << "<Collection><DVD><ID>D1</ID><UPC>1</UPC><Title>Castle: Season 3: Disc 1</Title>"
         "<ProductionYear>2010</ProductionYear><Actors>"
      << heading("3.01 A Deadly Affair") << heading("3.02 He's Dead")
      << "</Actors></DVD><DVD><ID>E1</ID><UPC>2</UPC><Title>Castle (2009): Season 4</Title>"
         "<Actors>"
      << heading("4.01 Rise") << "</Actors></DVD></Collection>";
  ASSERT_EQ(RunZel({"import", path_, collection, "--quiet"}).exit_code, 0);

  auto derive = RunZel({"tv", "derive", path_});
  ASSERT_EQ(derive.exit_code, 0) << derive.err;
  EXPECT_EQ(derive.out,
            "Derived from the episode headings of 2 titles: 2 series, 2 seasons, 3 episodes "
            "(nothing changed)\n");
  auto rename = RunZel({"tv", "rename", path_, "tv:castle", "Castle (2009)"});
  EXPECT_EQ(rename.out,
            "Renamed series tv:castle from \"Castle\" to \"Castle (2009)\"; the next "
            "derivations keep this title\n");
  auto merge = RunZel({"tv", "merge", path_, "tv:castle-2009", "tv:castle", "--json"});
  ASSERT_EQ(merge.exit_code, 0) << merge.err;
  const Json merged = Json::parse(merge.out);
  EXPECT_EQ(std::tuple(merged["Episodes"], merged["Titles"]), std::tuple(1, 1));
  EXPECT_EQ(RunZel({"tv", "list", path_}).out,
            "ShowID     Title          Seasons  Episodes  Made\n"
            "---------  -------------  -------  --------  -------\n"
            "tv:castle  Castle (2009)  2        3         derived\n");
  const Json again = Json::parse(RunZel({"tv", "derive", path_, "--json"}).out);
  EXPECT_EQ(std::tuple(again["Series"], again["Episodes"], again["Changes"]["EpisodesAdded"]),
            std::tuple(1, 3, 0));

  auto show = RunZel({"show", path_, "tv:castle"});
  ASSERT_EQ(show.exit_code, 0) << show.err;
  for (const char* part : {"Castle (2009)\n", "Season 3 (2 episodes)", "3.01 A Deadly Affair",
                           "Disc:  Castle: Season 3: Disc 1, Key_D1", "Tom Hale", "Season 4"}) {
    EXPECT_NE(show.out.find(part), std::string::npos) << part << " in\n" << show.out;
  }
  auto appearances = RunZel({"appearances", path_, "Tom Hale"});
  EXPECT_NE(appearances.out.find("Narrator (voice), 2 episodes: 3.01 A Deadly Affair, 3.02 He's "
                                 "Dead"),
            std::string::npos)
      << appearances.out;
}

TEST_F(TvCommands, ContradictoryFiltersAndMissingFilesFail) {
  auto result = RunZel({"appearances", path_, "Kit Golden", "--cast-only", "--crew-only"});
  EXPECT_NE(result.exit_code, 0);
  EXPECT_NE(result.err.find("--cast-only"), std::string::npos);
  result = RunZel({"appearances", dir_.File("missing.zel"), "Kit Golden"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.err.find("zel: "), std::string::npos);
}

}  // namespace
}  // namespace zel
