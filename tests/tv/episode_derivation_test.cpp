// Series, seasons and episodes derived from the episode headings of imported titles, through the
// real import into a catalogue file.
#include "tv/episode_derivation.h"

#include "import/collection_import.h"
#include "import/import_fixture.h"
#include "import/removed_titles.h"
#include "model/profiles.h"
#include "store/connection.h"
#include "tv/episode_captions.h"
#include "tv/series_outline.h"
#include "tv/tv_corrections.h"

namespace zel::testing {
namespace {

std::string Heading(const std::string& caption) {
  return "<Divider Caption=\"" + caption + "\" Type=\"Episode\"/>";
}
std::string Actor(const std::string& first, const std::string& last, const std::string& role,
                  const std::string& year = "0") {
  return "<Actor FirstName=\"" + first + "\" LastName=\"" + last + "\" Role=\"" + role +
         "\" BirthYear=\"" + year + "\"/>";
}
std::string Crew(const std::string& first, const std::string& last, const std::string& job) {
  return "<Credit FirstName=\"" + first + "\" LastName=\"" + last +
         "\" CreditType=\"Direction\" CreditSubtype=\"" + job + "\"/>";
}
std::string Disc(const std::string& id, const std::string& title, const std::string& actors,
                 const std::string& crew = "", const std::string& extra = "") {
  return Dvd("<Actors>" + actors + "</Actors><Credits>" + crew + "</Credits>" + extra, id, title);
}

// Disc 1 of a season: a regular before the first heading (the title's own credit), a group of
// guests inside an episode, and crew under the same headings.
std::string DiscOne(const std::string& first_caption = "3.01 A Deadly Affair",
                    const std::string& extra_actor = "") {
  return Disc("D1", "Castle: Season 3: Disc 1",
              Actor("Nathan", "Fillion", "Richard Castle", "1971") + Heading(first_caption) +
                  Actor("Nathan", "Fillion", "Richard Castle", "1971") +
                  "<Divider Caption=\"Guests\" Type=\"Group\"/>" + Actor("Ann", "Berg", "Nurse") +
                  "<Divider Caption=\"\" Type=\"EndDiv\"/>" + extra_actor +
                  Heading("3.02 He's Dead, She's Dead") + Actor("Tom", "Hale", "Narrator (voice)"),
              Heading(first_caption) + Crew("Rob", "Bowman", "Director") +
                  Heading("3.02 He's Dead, She's Dead") + Crew("Ida", "Quist", "Director"));
}

std::string DiscTwo() {
  return Disc("D2", "Castle: Season 3: Disc 2",
              Heading("3.03 Under the Gun") + Actor("Nathan", "Fillion", "Richard Castle", "1971") +
                  Heading("Behind the Scenes") + Actor("Ann", "Berg", "Herself"));
}

std::string BoxSet() {
  return Dvd("<BoxSet><Contents><Content>D1</Content><Content>D2</Content></Contents></BoxSet>",
             "B3", "Castle: The Complete Third Season");
}

class EpisodeDerivationTest : public ImportTest {
 protected:
  // Episodes as (EpisodeID, Season, EpisodeNo, EpisodeTitle, SeriesID), by identifier.
  Table Episodes() {
    return Rows(
        "SELECT EpisodeID, Season, EpisodeNo, EpisodeTitle, SeriesID FROM Episodes ORDER BY "
        "EpisodeID");
  }
  Table Links() {
    return Rows("SELECT ProfileID, EpisodeID FROM Profile2Episodes ORDER BY ProfileID, EpisodeID");
  }
  Table Credits(const std::string& episode) {
    return Rows(
        "SELECT IsCast, Position, Name, Role, IsVoice, BirthYear FROM TVCastCrew WHERE "
        "EpisodeID = '" +
        episode + "' ORDER BY IsCast DESC, Position");
  }
  tv::DerivationSummary DeriveAll() { return tv::DeriveAllEpisodes(*db_); }
  void Remove(const std::string& profile_id) { RemoveProfileRows(*db_, profile_id); }
};

TEST_F(EpisodeDerivationTest, ABoxSetOfDiscsBecomesOneSeriesWithItsSeasonAndEpisodes) {
  Import(DiscOne());
  Import(DiscTwo());
  Import(BoxSet());
  EXPECT_EQ(Rows("SELECT SeriesID, Title, OriginalTitle FROM TVSeries"),
            (Table{{"tv:castle", "Castle", "Castle"}}));
  EXPECT_EQ(Episodes(),
            (Table{{"tv:castle/3.01", "3", "01", "A Deadly Affair", "tv:castle"},
                   {"tv:castle/3.02", "3", "02", "He's Dead, She's Dead", "tv:castle"},
                   {"tv:castle/3.03", "3", "03", "Under the Gun", "tv:castle"},
                   {"tv:castle/3/behind-the-scenes", "3", "", "Behind the Scenes", "tv:castle"}}));
  EXPECT_EQ(Links(), (Table{{"Key_D1", "tv:castle/3.01"},
                            {"Key_D1", "tv:castle/3.02"},
                            {"Key_D2", "tv:castle/3.03"},
                            {"Key_D2", "tv:castle/3/behind-the-scenes"}}));
  // The credits after a heading up to the next, group headings kept; the regular before the first
  // heading stays the title's own.
  EXPECT_EQ(Credits("tv:castle/3.01"),
            (Table{{"True", "1", "Nathan Fillion", "Richard Castle", "False", "1971"},
                   {"True", "2", "Guests", "[DivGroup]", "False", "0"},
                   {"True", "3", "Ann Berg", "Nurse", "False", "0"},
                   {"True", "4", "", "[DivEnd]", "False", "0"},
                   {"False", "1", "Rob Bowman", "Director", "False", "0"}}));
  EXPECT_EQ(Credits("tv:castle/3.02"),
            (Table{{"True", "1", "Tom Hale", "Narrator", "True", "0"},
                   {"False", "1", "Ida Quist", "Director", "False", "0"}}));

  // Seasons and episodes in the order a collector reads them, each with its disc.
  const auto outline = tv::ReadSeriesOutline(*db_, "tv:castle");
  ASSERT_TRUE(outline);
  EXPECT_TRUE(outline->derived);
  ASSERT_EQ(outline->seasons.size(), 1u);
  std::vector<std::string> labels;
  for (const auto& episode : outline->seasons[0].episodes) {
    labels.push_back(tv::EpisodeLabel("3", episode->Number(), episode->Title()) + " on " +
                     episode->AssignedProfiles()->Item(Variant(1))->ProfileID());
  }
  EXPECT_EQ(labels, (std::vector<std::string>{
                        "3.01 A Deadly Affair on Key_D1", "3.02 He's Dead, She's Dead on Key_D1",
                        "3.03 Under the Gun on Key_D2", "Behind the Scenes on Key_D2"}));

  // Deriving again, or importing the same titles again, changes nothing.
  const tv::DerivationSummary again = DeriveAll();
  EXPECT_FALSE(again.changes.Changed());
  EXPECT_EQ(again.changes.titles, 2);
  EXPECT_EQ(std::tuple(again.series, again.seasons, again.episodes), std::tuple(1, 1, 4));
  EXPECT_EQ(Import(DiscOne()).outcome, ImportOutcome::kUnchanged);
}

TEST_F(EpisodeDerivationTest, AReimportUpdatesTheEpisodesOfItsTitle) {
  Import(DiscOne());
  Import(DiscOne("3.01 A Deadly Affair (Part 1)", Actor("Ida", "Quist", "Doctor")));
  EXPECT_EQ(Rows("SELECT EpisodeTitle FROM Episodes WHERE EpisodeID = 'tv:castle/3.01'"),
            (Table{{"A Deadly Affair (Part 1)"}}));
  EXPECT_EQ(Credits("tv:castle/3.01").size(), 6u);
  // A heading renumbered is another episode: the old one, held by no title, goes.
  Import(DiscOne("3.05 A Deadly Affair"));
  EXPECT_EQ(Rows("SELECT EpisodeID FROM Episodes ORDER BY EpisodeID"),
            (Table{{"tv:castle/3.02"}, {"tv:castle/3.05"}}));
  EXPECT_EQ(Credits("tv:castle/3.01"), Table{});
}

// Two releases of one disc hold the same episodes; the credits come from the lower ProfileID.
TEST_F(EpisodeDerivationTest, RemovingADiscRemovesItsLinksAndTheEpisodesNoDiscHolds) {
  Import(DiscOne());
  Import(DiscTwo());
  std::string release = DiscOne("3.01 A Deadly Affair", Actor("Ida", "Quist", "Doctor"));
  release.replace(release.find("<ID>D1"), 6, "<ID>D9");
  Import(release);
  EXPECT_EQ(Credits("tv:castle/3.01").size(), 5u);  // from D1

  Remove("Key_D2");
  EXPECT_EQ(Rows("SELECT EpisodeID FROM Episodes ORDER BY EpisodeID"),
            (Table{{"tv:castle/3.01"}, {"tv:castle/3.02"}}));
  Remove("Key_D1");
  EXPECT_EQ(Links(), (Table{{"Key_D9", "tv:castle/3.01"}, {"Key_D9", "tv:castle/3.02"}}));
  EXPECT_EQ(Credits("tv:castle/3.01").size(), 6u);  // now from the release that holds it
  const Table last_links = Links();
  RemoveTitlesKeepingThem(*db_, {"Key_D9"});
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Episodes"), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM TVSeries"), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM TVCastCrew"), 0);
  // Brought back, the disc holds its episodes again.
  ASSERT_EQ(RestoreRemovedTitles(*db_, {"D9"}).restored.size(), 1u);
  EXPECT_EQ(Links(), last_links);
  EXPECT_EQ(Credits("tv:castle/3.01").size(), 6u);
}

TEST_F(EpisodeDerivationTest, SeriesAndEpisodesAHostMadeAreNeverTouched) {
  auto show = db_->TVShows()->Add("tv:castle", "Castle (my own)", "", "", "");
  show->Seasons()->Add("1")->Episodes()->Add("Pilot", "1", "");
  Import(DiscOne());
  // The derived series takes another identifier; the host's keeps its title and episode.
  EXPECT_EQ(Rows("SELECT SeriesID, Title FROM TVSeries ORDER BY SeriesID"),
            (Table{{"tv:castle", "Castle (my own)"}, {"tv:castle~2", "Castle"}}));
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Episodes WHERE SeriesID = 'tv:castle'"), 1);
  EXPECT_FALSE(tv::IsDerived(*db_, "tv:castle"));
  Remove("Key_D1");
  DeriveAll();
  EXPECT_EQ(Rows("SELECT SeriesID FROM TVSeries"), (Table{{"tv:castle"}}));
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Episodes"), 1);
}

TEST_F(EpisodeDerivationTest, TheCollectorsCorrectionsSurviveDerivingAgain) {
  Import(DiscOne());
  Import(Disc("E1", "Castle (2009): Season 4: Disc 1",
              Heading("4.01 Rise") + Actor("Nathan", "Fillion", "Richard Castle", "1971")));
  tv::RenameSeriesOrEpisode(*db_, "tv:castle", "Castle (2009)");
  tv::RenameSeriesOrEpisode(*db_, "tv:castle/3.02", "He's Dead, She's Dead (Part 2)");
  const tv::MergeResult merged = tv::MergeDerivedSeries(*db_, "tv:castle-2009", "tv:castle");
  EXPECT_EQ(std::tuple(merged.episodes, merged.titles), std::tuple(1, 1));

  Import(DiscOne("3.01 A Deadly Affair", Actor("Ida", "Quist", "Doctor")));
  Import(Disc("E1", "Castle (2009): Season 4: Disc 1",
              Heading("4.01 Rise") + Heading("4.02 Heroes and Villains")));
  DeriveAll();
  EXPECT_EQ(Rows("SELECT SeriesID, Title FROM TVSeries"), (Table{{"tv:castle", "Castle (2009)"}}));
  EXPECT_EQ(Rows("SELECT EpisodeID, EpisodeTitle FROM Episodes ORDER BY EpisodeID"),
            (Table{{"tv:castle/3.01", "A Deadly Affair"},
                   {"tv:castle/3.02", "He's Dead, She's Dead (Part 2)"},
                   {"tv:castle/4.01", "Rise"},
                   {"tv:castle/4.02", "Heroes and Villains"}}));
  // Merging is for derived series only.
  db_->TVShows()->Add("S1", "Bones", "", "", "");
  EXPECT_ZEL_ERROR(tv::MergeDerivedSeries(*db_, "S1", "tv:castle"), errc::kInvalidArgument,
                   "Series 'S1' (Bones) was not derived from episode headings: only derived "
                   "series are merged (the first)");
  EXPECT_ZEL_ERROR(tv::RenameSeriesOrEpisode(*db_, "tv:nothing", "X"), errc::kInvalidArgument,
                   "No series or episode 'tv:nothing' in the catalogue");
}

// Files of older schemas keep their forms: flags as texts before 76, no IsRegular before 79.
TEST_F(EpisodeDerivationTest, AnOlderCatalogueGetsItsOwnFormsAndStaysDerived) {
  UseOlderSchema(75);
  Import(DiscOne());
  EXPECT_EQ(Rows("SELECT IsCast, IsVoice, IsUncredited FROM TVCastCrew WHERE EpisodeID = "
                 "'tv:castle/3.02' ORDER BY IsCast DESC"),
            (Table{{"yes", "True", "False"}, {"no", "False", "False"}}));
  EXPECT_FALSE(DeriveAll().changes.Changed());
}

// What the texts of a disc say: the episode of a heading, the series of a title.
TEST(EpisodeCaptions, HeadingsAndTitlesAreReadByTheirUsualForms) {
  const auto caption = [](std::string_view text) {
    const tv::EpisodeCaption parsed = tv::ParseEpisodeCaption(text);
    return parsed.season + "|" + parsed.number + "|" + parsed.title;
  };
  EXPECT_EQ(caption("3.01 A Deadly Affair"), "3|01|A Deadly Affair");
  EXPECT_EQ(caption("10.12 - The Finale"), "10|12|The Finale");
  EXPECT_EQ(caption("S02E05: Ghosts"), "2|05|Ghosts");
  EXPECT_EQ(caption("1x03 Third"), "1|03|Third");
  EXPECT_EQ(caption("07. Seventh"), "|07|Seventh");
  EXPECT_EQ(caption("Episode 4 - Fourth"), "|04|Fourth");
  EXPECT_EQ(caption("Pilot"), "||Pilot");
  EXPECT_EQ(caption("1984 Revisited"), "||1984 Revisited");
  EXPECT_EQ(caption(""), "||");

  const auto series = [](std::string_view text) {
    const tv::SeriesTitle read = tv::ReadSeriesTitle(text);
    return read.title + "|" + read.season;
  };
  EXPECT_EQ(series("Castle: Season 3: Disc 1"), "Castle|3");
  EXPECT_EQ(series("Lost - The Complete First Season"), "Lost|1");
  EXPECT_EQ(series("Friends: The Complete Series"), "Friends|");
  EXPECT_EQ(series("Doctor Who (Series 2) Volume 1"), "Doctor Who|2");
  EXPECT_EQ(series("Die Simpsons - Staffel 4"), "Die Simpsons|4");
  EXPECT_EQ(series("Star Trek: The Animated Series"), "Star Trek: The Animated Series|");
  EXPECT_EQ(series("A Season in Hell"), "A Season in Hell|");
  EXPECT_EQ(series("Disc 2"), "|");
  EXPECT_EQ(tv::SeriesKey("The X-Files"), tv::SeriesKey("X-Files"));
  EXPECT_EQ(tv::SeriesKey("Grey's Anatomy"), "greys-anatomy");
  // Keys go into identifiers of at most 255 characters.
  std::string long_title;
  for (int i = 0; i < 40; ++i) long_title += "Word" + std::to_string(i) + " ";
  const std::string key = tv::SeriesKey(long_title);
  EXPECT_TRUE(key.starts_with("word0-word1-") && key.size() <= 100u && key.back() != '-') << key;
}

TEST_F(EpisodeDerivationTest, TheRealExportWithEpisodeHeadingsGivesOneSeason) {
  const auto folder = SharedTestData();
  if (folder.empty()) GTEST_SKIP() << "no shared test data in this checkout";
  ImportCollectionFile((folder / "profiler" / "odd-birth-years-5-titles.xml").string());
  const tv::DerivationSummary summary = DeriveAll();
  EXPECT_FALSE(summary.changes.Changed());
  EXPECT_EQ(std::tuple(summary.series, summary.seasons, summary.episodes), std::tuple(1, 1, 6));
  EXPECT_EQ(Rows("SELECT Title FROM TVSeries"), (Table{{"Smallville"}}));
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Profile2Episodes"), 18);
}

}  // namespace
}  // namespace zel::testing
