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

TEST_F(TvCommands, AppearancesListEpisodesThenProfilesWithIdYearAndRole) {
  auto result = RunZel({"appearances", path_, "Kit Golden"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out,
            "Kind     ID    Title     Year  Role      Credit  Credited as\n"
            "-------  ----  --------  ----  --------  ------  ----------------\n"
            "episode  S111  Pilot     1998  Vianne    cast    Katherine Golden\n"
            "profile  P1    Chocolat  2000  Producer  crew    Kit Golden\n"
            "(2 appearances)\n");

  result = RunZel({"appearances", path_, "Nobody"});
  EXPECT_EQ(result.out, "(no appearances)\n");
}

TEST_F(TvCommands, AppearanceFiltersAndJson) {
  auto result = RunZel({"appearances", path_, "Kit Golden", "--json"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(Json::parse(result.out), Json::parse(R"({
      "Name": "Kit Golden", "CommonName": "Katherine Golden", "Appearances": [
        {"Kind": "episode", "EpisodeID": "S111", "ShowID": "S1", "Season": "1", "Number": "1",
         "Title": "Pilot", "Airdate": "1998-03-04", "IsCast": true,
         "CreditedAs": "Katherine Golden", "Role": "Vianne"},
        {"Kind": "profile", "ProfileID": "P1", "Title": "Chocolat", "ProductionYear": 2000,
         "IsCast": false, "CreditedAs": "Kit Golden", "Role": "Producer"}]})"));

  result = RunZel({"appearances", path_, "Katherine Golden", "--crew-only", "--json"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const Json crew = Json::parse(result.out)["Appearances"];
  ASSERT_EQ(crew.size(), 1u);
  EXPECT_EQ(crew[0]["Kind"], "profile");

  result = RunZel({"appearances", path_, "Kit Golden", "--assigned-only"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out.find("episode"), std::string::npos);  // nothing is assigned
  EXPECT_NE(result.out.find("Chocolat"), std::string::npos);
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
