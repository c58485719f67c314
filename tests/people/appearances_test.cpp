#include "people/appearances.h"

#include "catalogue/control.h"
#include "catalogue/database.h"
#include "frame/collection.h"
#include "frame/library_state.h"
#include "model/profile.h"
#include "model/profiles.h"
#include "store/engine_errors.h"
#include "support/test_support.h"
#include "tv/episode.h"

namespace zel {
namespace {

class AppearancesTest : public testing::CatalogueTest {
 protected:
  void SetUp() override {
    CatalogueTest::SetUp();
    Alias("Annie Lee", "Ann Lee", 1960);
    Alias("A. Lee", "Ann Lee", 0);
    Profile("P1", "Alpha");
    Profile("P2", "Beta");
    Episode("E1", "Pilot");
    Episode("E2", "Return");
  }

  void Alias(const std::string& alias, const std::string& common, int year) {
    db_->DbExecute("INSERT INTO Alias (AliasName, CommonName, BirthYear) VALUES ('" + alias +
                   "', '" + common + "', " + std::to_string(year) + ")");
  }
  void Profile(const std::string& id, const std::string& title) {
    db_->DbExecute("INSERT INTO Profiles (ProfileID, Title) VALUES ('" + id + "', '" + title +
                   "')");
  }
  void Episode(const std::string& id, const std::string& title) {
    db_->DbExecute(
        "INSERT INTO Episodes (EpisodeID, SeriesID, Season, EpisodeNo, EpisodeTitle) "
        "VALUES ('" +
        id + "', 'S', '1', '" + id + "', '" + title + "')");
  }
  void Credit(const std::string& table, const std::string& owner, const std::string& name,
              const std::string& role, int position, const std::string& is_cast) {
    const std::string owner_column = table == "CastCrew" ? "ProfileID" : "EpisodeID";
    // Files below schema 76 keep the flags as texts.
    const bool old_form = is_cast == "NULL" || is_cast.starts_with("'");
    const std::string no = old_form ? "'False'" : "false";
    db_->DbExecute("INSERT INTO " + table + " (" + owner_column +
                   ", Name, Role, Position, IsCast, IsVoice, IsUncredited) VALUES ('" + owner +
                   "', '" + name + "', '" + role + "', " + std::to_string(position) + ", " +
                   is_cast + ", " + no + ", " + no + ")");
  }

  // "P:<title>/<role>" or "E:<title>/<role>" per hit, in order.
  std::vector<std::string> Search(const std::string& name, AppearanceFilter filter = {}) {
    std::vector<std::string> seen;
    for (const Appearance& hit : SearchAppearances(*db_, name, filter)) {
      const std::string title = hit.episode
                                    ? std::static_pointer_cast<ZelEpisode>(hit.item)->Title()
                                    : std::static_pointer_cast<ZelProfile>(hit.item)->Title();
      seen.push_back((hit.episode ? "E:" : "P:") + title + "/" + hit.role);
    }
    return seen;
  }
  using Hits = std::vector<std::string>;
};

TEST_F(AppearancesTest, EveryNameOfThePersonIsSearchedEpisodesFirst) {
  Credit("CastCrew", "P1", "Ann Lee", "Maggie", 1, "true");
  Credit("CastCrew", "P2", "Annie Lee", "Director", 1, "false");
  Credit("TVCastCrew", "E1", "A. Lee", "Nurse", 1, "true");
  Credit("TVCastCrew", "E2", "Ann Lee", "Writer", 1, "false");
  Credit("CastCrew", "P2", "Bo Wu", "Joel", 2, "true");
  const Hits expected = {"E:Return/Writer", "E:Pilot/Nurse", "P:Alpha/Maggie", "P:Beta/Director"};
  for (const char* name : {"Ann Lee", "Annie Lee", "a. lee"}) {
    Hits hits = Search(name);
    // The aliases come in the engine's order; the common name's credits always lead each kind.
    ASSERT_EQ(hits.size(), 4u) << name;
    EXPECT_EQ(hits[0], expected[0]);
    EXPECT_EQ(hits[1], expected[1]);
    EXPECT_EQ(hits[2], expected[2]);
    EXPECT_EQ(hits[3], expected[3]);
  }
}

TEST_F(AppearancesTest, TheCollectionHoldsNewObjectsInTheSameOrder) {
  Credit("CastCrew", "P1", "Ann Lee", "Maggie", 1, "true");
  Credit("TVCastCrew", "E1", "Ann Lee", "Nurse", 1, "true");
  auto cached = db_->Profiles()->Item(Variant("P1"));
  auto found = db_->FindAppearances("Ann Lee");
  ASSERT_EQ(found->Count(), 2);
  auto episode = std::dynamic_pointer_cast<ZelEpisode>(found->Item(Variant(1)).ToObject());
  auto profile = std::dynamic_pointer_cast<ZelProfile>(found->Item(Variant(2)).ToObject());
  ASSERT_TRUE(episode && profile);
  EXPECT_EQ(episode->EpisodeID(), "E1");
  EXPECT_EQ(episode->Season(), "1");
  EXPECT_EQ(episode->ShowID(), "S");
  EXPECT_EQ(profile->ProfileID(), "P1");
  EXPECT_NE(profile, cached);
  EXPECT_EQ(episode->Cast()->Item(Variant(1))->Role(), "Nurse");  // lists load on demand
}

TEST_F(AppearancesTest, FiltersPickCastCrewProfilesAndEpisodes) {
  Credit("CastCrew", "P1", "Ann Lee", "Maggie", 1, "true");
  Credit("CastCrew", "P2", "Ann Lee", "Director", 1, "false");
  Credit("TVCastCrew", "E1", "Ann Lee", "Nurse", 1, "true");
  Credit("TVCastCrew", "E2", "Ann Lee", "Writer", 1, "false");
  EXPECT_EQ(Search("Ann Lee", {.crew = false}), (Hits{"E:Pilot/Nurse", "P:Alpha/Maggie"}));
  EXPECT_EQ(Search("Ann Lee", {.cast = false}), (Hits{"E:Return/Writer", "P:Beta/Director"}));
  EXPECT_EQ(Search("Ann Lee", {.episodes = false}).size(), 2u);
  EXPECT_EQ(Search("Ann Lee", {.profiles = false}).size(), 2u);
  EXPECT_TRUE(Search("Ann Lee", {.cast = false, .crew = false}).empty());
}

TEST_F(AppearancesTest, OnlyAssignedEpisodesRepeatPerAssignment) {
  Credit("TVCastCrew", "E1", "Ann Lee", "Nurse", 1, "true");
  Credit("TVCastCrew", "E2", "Ann Lee", "Nurse", 1, "true");
  db_->DbExecute("INSERT INTO Profile2Episodes (ProfileID, EpisodeID) VALUES ('P1', 'E1')");
  db_->DbExecute("INSERT INTO Profile2Episodes (ProfileID, EpisodeID) VALUES ('P2', 'E1')");
  EXPECT_EQ(Search("Ann Lee", {.profiles = false, .only_assigned_episodes = true}),
            (Hits{"E:Pilot/Nurse", "E:Pilot/Nurse"}));
  EXPECT_EQ(Search("Ann Lee", {.profiles = false}).size(), 2u);
}

TEST_F(AppearancesTest, TwoRolesInOneTitleAppearTwice) {
  Credit("CastCrew", "P1", "Ann Lee", "Maggie", 1, "true");
  Credit("CastCrew", "P1", "Ann Lee", "Maggie again", 2, "true");
  EXPECT_EQ(Search("Ann Lee"), (Hits{"P:Alpha/Maggie", "P:Alpha/Maggie again"}));
}

TEST_F(AppearancesTest, AnAliasEqualToTheCommonNameApartFromCaseIsSearchedOnce) {
  Alias("ANN LEE", "Ann Lee", 0);
  Credit("CastCrew", "P1", "Ann Lee", "Maggie", 1, "true");
  EXPECT_EQ(Search("Ann Lee"), (Hits{"P:Alpha/Maggie"}));
}

TEST_F(AppearancesTest, NothingIsReadWhenNeitherProfilesNorEpisodesAreWanted) {
  EXPECT_TRUE(Search("Nobody").empty());
  db_->DbExecute("DROP TABLE Alias");
  EXPECT_EQ(db_->FindAppearances("Ann Lee", false, false)->Count(), 0);
  // Without cast and crew the statements still run.
  EXPECT_ZEL_ERROR_NUMBER(db_->FindAppearances("Ann Lee", true, true, false, false, false),
                          store::engine_errc::kUnknownTable);
}

TEST_F(AppearancesTest, SchemaSeventyFiveCountsOnlyLowerCaseYesAsCast) {
  UseOlderSchema(75);
  Profile("P1", "Alpha");  // the older file's tables were made anew
  Profile("P2", "Beta");
  Credit("CastCrew", "P1", "Ann Lee", "Maggie", 1, "'yes'");
  Credit("CastCrew", "P2", "Ann Lee", "Mother", 1, "'Yes'");
  Credit("TVCastCrew", "E1", "Ann Lee", "Nurse", 1, "'yes'");
  Credit("TVCastCrew", "E2", "Ann Lee", "", 1, "''");
  EXPECT_EQ(Search("Ann Lee", {.crew = false}), (Hits{"E:Pilot/Nurse", "P:Alpha/Maggie"}));
  EXPECT_EQ(Search("Ann Lee", {.cast = false}), (Hits{"E:Return/", "P:Beta/Mother"}));
}

}  // namespace
}  // namespace zel
