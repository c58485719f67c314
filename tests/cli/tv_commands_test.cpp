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
    Sql("INSERT INTO Profiles (ProfileID, Title) VALUES ('P1', 'Chocolat')");
    Sql("INSERT INTO CastCrew (ProfileID, Name, Role, Position, IsCast, IsVoice, IsUncredited) "
        "VALUES ('P1', 'Kit Golden', 'Producer', 1, false, false, false)");
    Sql("INSERT INTO Episodes (EpisodeID, SeriesID, Season, EpisodeNo, EpisodeTitle) VALUES "
        "('S111', 'S1', '1', '1', 'Pilot')");
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

TEST_F(TvCommands, AppearancesListEpisodesThenProfilesWithTheirRoles) {
  auto result = RunZel({"appearances", path_, "Kit Golden"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const size_t episode = result.out.find("episode  Pilot");
  const size_t profile = result.out.find("profile  Chocolat");
  ASSERT_NE(episode, std::string::npos) << result.out;
  ASSERT_NE(profile, std::string::npos) << result.out;
  EXPECT_LT(episode, profile);
  EXPECT_NE(result.out.find("Vianne"), std::string::npos);
  EXPECT_NE(result.out.find("Producer"), std::string::npos);
  EXPECT_NE(result.out.find("(2 appearances)"), std::string::npos);
}

TEST_F(TvCommands, AppearanceFiltersAndJson) {
  auto result = RunZel({"appearances", path_, "Katherine Golden", "--crew-only", "--json"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const Json out = Json::parse(result.out);
  EXPECT_EQ(out["common_name"], "Katherine Golden");
  ASSERT_EQ(out["appearances"].size(), 1u);
  EXPECT_EQ(out["appearances"][0]["kind"], "profile");
  EXPECT_EQ(out["appearances"][0]["title"], "Chocolat");
  EXPECT_EQ(out["appearances"][0]["role"], "Producer");
  EXPECT_EQ(out["appearances"][0]["credited_name"], "Kit Golden");

  result = RunZel({"appearances", path_, "Kit Golden", "--episodes-only", "--json"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const Json episodes = Json::parse(result.out)["appearances"];
  ASSERT_EQ(episodes.size(), 1u);
  EXPECT_EQ(episodes[0]["id"], "S111");
  EXPECT_EQ(episodes[0]["season"], "1");

  result = RunZel({"appearances", path_, "Kit Golden", "--assigned-only"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out.find("episode"), std::string::npos);  // nothing is assigned
  EXPECT_NE(result.out.find("Chocolat"), std::string::npos);

  result = RunZel({"appearances", path_, "Nobody"});
  EXPECT_EQ(result.out, "(no appearances)\n");
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
