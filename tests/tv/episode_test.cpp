#include "tv/episode.h"

#include "awards/awards.h"
#include "catalogue/control.h"
#include "catalogue/database.h"
#include "frame/library_state.h"
#include "model/profiles.h"
#include "people/aliases.h"
#include "store/engine_errors.h"
#include "support/test_support.h"
#include "tv/tv_show.h"

namespace zel {
namespace {

class EpisodeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = control_.CreateDatabase(path_);
    season_ = db_->TVShows()->Add("S1", "Show", "", "", "")->Seasons()->Add("1");
  }
  void TearDown() override { control_.CloseDatabase(); }

  void Reopen() {
    control_.CloseDatabase();
    db_ = control_.OpenDatabase(path_);
  }
  // The stored episode, read through a fresh series list.
  std::shared_ptr<ZelEpisode> Stored(const std::string& season, const std::string& id) {
    Reopen();
    return db_->TVShows()
        ->Item(Variant("S1"))
        ->Seasons()
        ->Item(Variant(season))
        ->Episodes()
        ->Item(Variant(id));
  }
  int64_t Count(const std::string& sql) { return db_->DbOpenRecordSet(sql)->ValueAt(0).ToLong(); }

  testing::TempDir dir_;
  std::string path_ = dir_.File("episodes.zel");
  Control control_;
  std::shared_ptr<ZelDatabase> db_;
  std::shared_ptr<ZelSeason> season_;
};

TEST_F(EpisodeTest, AddJoinsSeriesSeasonAndNumberIntoTheIdentifier) {
  auto pilot = season_->Episodes()->Add("Pilot", "1", "");
  EXPECT_EQ(pilot->EpisodeID(), "S111");
  EXPECT_EQ(pilot->Season(), "1");
  EXPECT_EQ(pilot->ShowID(), "S1");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Episodes WHERE EpisodeID = 'S111' AND SeriesID = 'S1' "
                  "AND Season = '1' AND EpisodeNo = '1' AND EpisodeTitle = 'Pilot'"),
            1);
}

TEST_F(EpisodeTest, UpdateEpisodeWithoutAnIdentifierMakesOne) {
  auto episode = std::make_shared<ZelEpisode>();
  episode->SetNumber("7");
  episode->SetTitle("Seven");
  season_->Episodes()->AddEpisode(episode);
  EXPECT_EQ(episode->EpisodeID(), "S117");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Episodes WHERE EpisodeID = 'S117'"), 1);
}

TEST_F(EpisodeTest, EveryFieldSurvivesAReopen) {
  auto pilot = season_->Episodes()->Add("Pilot", "1", "Pilot (orig)");
  pilot->SetAirdate(Date::FromParts(1990, 7, 12));
  pilot->SetRunningTime(48);
  pilot->SetOverview("It's the beginning.");
  pilot->SetRating("TV-PG");
  pilot->SetRatingSystem("US");
  pilot->SetRatingDetails("mild language");
  pilot->SetNotes("notes");
  pilot->Tags()->Add("Favourites", "/Favourites");
  pilot->Audio()->Add("English", "Dolby Digital", 1, "2.0");
  pilot->Studios()->Add("CBS", "Studio");
  pilot->Subtitles()->Add(Variant("German"), Variant("German"));
  pilot->Features()->Add(Variant("Commentary"), Variant("Commentary"));
  pilot->Locks()->Add(Variant("Title"), Variant("Title"));
  pilot->Infos()->Add("Shelf", "B2");
  pilot->Review()->SetFilm(8);
  pilot->UpdateEpisode();

  auto stored = Stored("1", "S111");
  EXPECT_EQ(stored->OriginalTitle(), "Pilot (orig)");
  EXPECT_EQ(stored->Airdate(), Date::FromParts(1990, 7, 12));
  EXPECT_EQ(stored->RunningTime(), 48);
  EXPECT_EQ(stored->Overview(), "It's the beginning.");
  EXPECT_EQ(stored->Rating(), "TV-PG");
  EXPECT_EQ(stored->RatingSystem(), "US");
  EXPECT_EQ(stored->RatingDetails(), "mild language");
  EXPECT_EQ(stored->Notes(), "notes");
  ASSERT_EQ(stored->Tags()->Count(), 1);
  EXPECT_EQ(stored->Tags()->ItemAt(1)->LongName(), "/Favourites");
  EXPECT_EQ(stored->Audio()->Count(), 1);
  EXPECT_EQ(stored->Studios()->Count(), 1);
  EXPECT_EQ(stored->Subtitles()->Count(), 1);
  EXPECT_EQ(stored->Features()->Count(), 1);
  EXPECT_EQ(stored->Locks()->Count(), 1);
  EXPECT_EQ(stored->Infos()->GetInfo("Shelf"), "B2");
  EXPECT_EQ(stored->Review()->Film(), 8);
}

TEST_F(EpisodeTest, EmptyAirdateAndRuntimeReadAsZero) {
  db_->DbExecute(
      "INSERT INTO Episodes (EpisodeID, SeriesID, Season, EpisodeNo) VALUES ('E', 'S1', '1', "
      "'9')");
  auto stored = Stored("1", "E");
  EXPECT_EQ(stored->Airdate(), Date::Zero());
  EXPECT_EQ(stored->RunningTime(), 0);
  EXPECT_EQ(stored->Title(), "");
}

TEST_F(EpisodeTest, CreditsCarryTheCommonNameOrTheirOwnName) {
  db_->Aliases()->Add("Annie Lee", "Ann Lee");
  auto pilot = season_->Episodes()->Add("Pilot", "1", "");
  pilot->Cast()->Add("Annie Lee", "Maggie", 1, 0);
  pilot->Cast()->Add("Bo Wu", "Joel", 2, 0)->SetIsVoice(true);
  pilot->Cast()->Item(Variant(2))->SetIsRegular(true);
  pilot->UpdateEpisode();
  auto cast = Stored("1", "S111")->Cast();
  ASSERT_EQ(cast->Count(), 2);
  EXPECT_EQ(cast->Item(Variant(1))->CommonName(), "Ann Lee");
  EXPECT_EQ(cast->Item(Variant(2))->CommonName(), "Bo Wu");
  EXPECT_TRUE(cast->Item(Variant(2))->IsVoice());
  EXPECT_TRUE(cast->Item(Variant(2))->IsRegular());
}

TEST_F(EpisodeTest, ASchema78FileNeitherReadsNorWritesIsRegular) {
  testing::MakeOlderSchema(*db_, 78);
  Reopen();
  season_ = db_->TVShows()->Item(Variant("S1"))->Seasons()->Add("1");
  auto pilot = season_->Episodes()->Add("Pilot", "1", "");
  pilot->Cast()->Add("Ann", "", 1, 0)->SetIsRegular(true);
  pilot->UpdateEpisode();
  EXPECT_FALSE(Stored("1", "S111")->Cast()->Item(Variant(1))->IsRegular());
}

TEST_F(EpisodeTest, SavingOnlyTheCrewLeavesTheCastRows) {
  auto pilot = season_->Episodes()->Add("Pilot", "1", "");
  pilot->Cast()->Add("Ann Lee", "Maggie", 1, 0);
  pilot->Crew()->Add("Bo Wu", "Director", 1, 0);
  pilot->UpdateEpisode();
  auto stored = Stored("1", "S111");
  stored->Crew()->Add("Cy Dee", "Writer", 2, 0);
  stored->UpdateEpisode();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM TVCastCrew WHERE IsCast = true"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM TVCastCrew WHERE IsCast = false"), 2);
}

TEST_F(EpisodeTest, ASchema75FileStoresTheCastFlagAsText) {
  testing::MakeOlderSchema(*db_, 75);
  Reopen();
  season_ = db_->TVShows()->Item(Variant("S1"))->Seasons()->Add("1");
  auto pilot = season_->Episodes()->Add("Pilot", "1", "");
  pilot->Cast()->Add("Ann Lee", "Maggie", 1, 0)->SetIsUncredited(true);
  pilot->Crew()->Add("Bo Wu", "Director", 1, 0);
  pilot->UpdateEpisode();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM TVCastCrew WHERE IsCast = 'yes' AND IsUncredited = "
                  "'True' AND IsVoice = 'False'"),
            1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM TVCastCrew WHERE IsCast = 'no'"), 1);
  auto read = Stored("1", "S111");
  EXPECT_TRUE(read->Cast()->Item(Variant(1))->IsUncredited());
  EXPECT_EQ(read->Crew()->Count(), 1);
}

TEST_F(EpisodeTest, RemoveDeletesTheRowsTagsAndAssignments) {
  auto pilot = season_->Episodes()->Add("Pilot", "1", "");
  pilot->Cast()->Add("Ann Lee", "Maggie", 1, 0);
  pilot->Tags()->Add("Favourites", "/Favourites");
  pilot->Genres()->Add(Variant("Drama"), Variant("Drama"));
  pilot->Audio()->Add("English", "DD", 1, "2.0");
  pilot->UpdateEpisode();
  auto profile = db_->Profiles()->Add("Box", "");
  profile->AssignEpisode("S111");
  season_->Episodes()->Remove(Variant("S111"));
  EXPECT_EQ(season_->Episodes()->Count(), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Episodes"), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM TVCastCrew"), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Tags"), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Genres"), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM AudioFormats"), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Profile2Episodes"), 0);  // no link to nothing is left
}

// Season 2 number 13 and season 21 number 3 join to one identifier; the second used to replace
// the first episode's row and lists.
TEST_F(EpisodeTest, RegressionACollidingIdentifierIsRefusedAndNothingIsWritten) {
  auto shows = db_->TVShows();
  auto seasons = shows->Item(Variant("S1"))->Seasons();
  auto thirteenth = seasons->Add("2")->Episodes()->Add("Thirteen", "13", "");
  thirteenth->Cast()->Add("Ann Lee", "Maggie", 1, 0);
  thirteenth->UpdateEpisode();
  auto later = seasons->Add("21")->Episodes();
  EXPECT_ZEL_ERROR(later->Add("Three", "3", ""), store::engine_errc::kDuplicateKey,
                   "Episode identifier 'S1213' already belongs to season '2', episode '13' of "
                   "series 'S1'");
  EXPECT_EQ(later->Count(), 0);
  auto manual = std::make_shared<ZelEpisode>();
  manual->SetNumber("3");
  EXPECT_ZEL_ERROR_NUMBER(later->AddEpisode(manual), store::engine_errc::kDuplicateKey);
  EXPECT_EQ(manual->Season(), "");
  EXPECT_EQ(later->Count(), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Episodes"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Episodes WHERE EpisodeTitle = 'Thirteen'"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM TVCastCrew"), 1);
}

TEST_F(EpisodeTest, AStoredEpisodeKeepsItsIdentifierWhenRenumbered) {
  season_->Episodes()->Add("Pilot", "1", "");
  auto stored = Stored("1", "S111");
  stored->SetNumber("0");
  stored->UpdateEpisode();
  EXPECT_EQ(stored->EpisodeID(), "S111");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Episodes WHERE EpisodeID = 'S111' AND EpisodeNo = '0'"), 1);
  // Given another identifier, it must not take over someone else's row.
  season_ = db_->TVShows()->Item(Variant("S1"))->Seasons()->Item(Variant("1"));
  season_->Episodes()->Add("Second", "2", "");
  stored->SetEpisodeID("S112");
  EXPECT_ZEL_ERROR_NUMBER(stored->UpdateEpisode(), store::engine_errc::kDuplicateKey);
}

TEST_F(EpisodeTest, AFailingUpdateLeavesTheStoredEpisodeAsItWas) {
  auto pilot = season_->Episodes()->Add("Pilot", "1", "");
  pilot->Genres()->Add(Variant("Drama"), Variant("Drama"));
  pilot->UpdateEpisode();
  pilot->SetTitle("Renamed");
  pilot->Genres()->Add(Variant("Comedy"), Variant("Comedy"));
  pilot->Cast()->Add("Ann Lee", "One", 1, 0);
  pilot->Cast()->Add("Ann Lee", "Two", 1, 0);
  EXPECT_ZEL_ERROR_NUMBER(pilot->UpdateEpisode(), store::engine_errc::kDuplicateKey);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Episodes WHERE EpisodeTitle = 'Pilot'"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Genres"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM TVCastCrew"), 0);
}

TEST_F(EpisodeTest, ProfilesListTheirAssignedEpisodesAndBack) {
  season_->Episodes()->Add("Pilot", "1", "");
  db_->TVShows()->Item(Variant("S1"))->Seasons()->Add("2")->Episodes()->Add("Return", "1", "");
  auto box = db_->Profiles()->Add("Season Box", "");
  box->AssignEpisode("S111");
  box->AssignEpisode("S121");
  box->AssignEpisode("S121");  // a pair already stored stays as it is
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Profile2Episodes"), 2);
  auto episodes = box->Episodes();
  ASSERT_EQ(episodes->Count(), 2);
  auto second = episodes->Item(Variant("S121"));
  EXPECT_EQ(second->Season(), "2");
  EXPECT_EQ(second->ShowID(), "S1");
  auto assigned = second->AssignedProfiles();
  ASSERT_EQ(assigned->CountLong(), 1);
  EXPECT_EQ(assigned->Item(Variant(1))->Title(), "Season Box");

  box->RemoveEpisodeAssignment("S111");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Profile2Episodes"), 1);
  EXPECT_EQ(box->Episodes()->Count(), 2);  // the list read before stays as it was read

  // Regression: removing from these lists deleted the episode or the whole title; they end the
  // assignment only. Adding to one assigns.
  episodes->Remove(Variant("S121"));
  auto other_box = db_->Profiles()->Add("Other box", "");
  assigned->AddProfile(other_box);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Episodes"), 2);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Profile2Episodes WHERE EpisodeID = 'S121'"), 1);
  assigned->Remove(Variant(other_box->ProfileID()));
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Profile2Episodes"), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Profiles"), 2);
}

TEST_F(EpisodeTest, AwardsAreThoseOfTheOriginalTitleAroundTheAirYear) {
  db_->DbExecute(
      "INSERT INTO Awards (Award, [Year], MovieTitle, Won, Nominee) VALUES "
      "('Emmy', 1991, 'Pilot (orig)', true, 'Ann Lee')");
  db_->DbExecute(
      "INSERT INTO Awards (Award, [Year], MovieTitle, Won, Nominee) VALUES "
      "('Emmy', 2005, 'Pilot (orig)', false, 'Bo Wu')");
  auto pilot = season_->Episodes()->Add("Pilot", "1", "Pilot (orig)");
  pilot->SetAirdate(Date::FromParts(1990, 7, 12));
  ASSERT_EQ(pilot->Awards()->Count(), 1);
  EXPECT_EQ(pilot->Awards()->Item(Variant(1))->Nominee(), "Ann Lee");
  // Without an air date no year window applies.
  auto undated = season_->Episodes()->Add("Other", "2", "Pilot (orig)");
  EXPECT_EQ(undated->Awards()->Count(), 2);
}

}  // namespace
}  // namespace zel
