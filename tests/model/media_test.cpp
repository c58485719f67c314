#include "model/media.h"

#include "catalogue/control.h"
#include "catalogue/database.h"
#include "model/profiles.h"
#include "support/test_support.h"

namespace zel {
namespace {

class MediaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = control_.CreateDatabase(dir_.File("media.zel"));
    db_->DbExecute("INSERT INTO Profiles (ProfileID, Title) VALUES ('P', 'Title')");
  }
  void TearDown() override { control_.CloseDatabase(); }

  std::shared_ptr<ZelProfile> Fresh() {
    auto records = db_->DbOpenRecordSet("SELECT * FROM Profiles WHERE ProfileID = 'P'");
    return ProfileFromRecord(*records);
  }
  int64_t Count(const std::string& sql) { return db_->DbOpenRecordSet(sql)->ValueAt(0).ToLong(); }

  testing::TempDir dir_;
  Control control_;
  std::shared_ptr<ZelDatabase> db_;
};

TEST(ZelDiscs, AddKeysByTheNumberTextAndConvertsItFirst) {
  ZelDiscs discs;
  discs.Add("1", "First");
  auto second = discs.Add("2", "Second");
  EXPECT_EQ(second->Number(), 2);
  EXPECT_EQ(second->DescriptionSideA(), "Second");
  EXPECT_EQ(discs.Item(Variant("2")), second);
  EXPECT_EQ(discs.Item(Variant(2)), second);
  EXPECT_ZEL_ERROR_NUMBER(discs.Add("two", "x"), errc::kTypeMismatch);
  EXPECT_EQ(discs.Count(), 2);
  EXPECT_ZEL_ERROR_NUMBER(discs.Add("1", "again"), errc::kDuplicateKey);
}

TEST_F(MediaTest, DiscsComeBackByNumberWithoutKeys) {
  auto profile = Fresh();
  profile->Discs()->Add("3", "Three");
  profile->Discs()->Add("1", "One");
  profile->Discs()->Add("2", "Two")->SetFlipper(true);
  profile->UpdateProfile();
  auto discs = Fresh()->Discs();
  ASSERT_EQ(discs->Count(), 3);
  EXPECT_EQ(discs->Item(Variant(1))->DescriptionSideA(), "One");
  EXPECT_TRUE(discs->Item(Variant(2))->Flipper());
  EXPECT_ZEL_ERROR_NUMBER(discs->Item(Variant("1")), errc::kInvalidArgument);
}

TEST_F(MediaTest, AColumnWithoutAPropertySurvivesAReadAndSave) {
  db_->DbExecute(
      "INSERT INTO Discs (ProfileID, DiscNo, Description, DualSided, DualLayered, Flipper, "
      "DualLayeredSideB) VALUES ('P', 1, 'Imported', false, true, false, true)");
  auto profile = Fresh();
  profile->Discs()->Item(Variant(1))->SetSlot("A3");
  profile->UpdateProfile();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Discs WHERE DualLayeredSideB = true AND Slot = 'A3'"), 1);
}

TEST_F(MediaTest, RegressionEmptyColumnsReadAsFalseAndZero) {
  db_->DbExecute(
      "INSERT INTO Discs (ProfileID, DiscNo, DualSided, DualLayered, Flipper) "
      "VALUES ('P', 1, false, false, false)");
  db_->DbExecute("INSERT INTO Discs (ProfileID, DiscNo) VALUES ('P', 2)");
  db_->DbExecute("INSERT INTO Reviews (ProfileID, Film) VALUES ('P', 70000)");
  db_->DbExecute("INSERT INTO VideoFormat (ProfileID) VALUES ('P')");
  auto profile = Fresh();
  ASSERT_EQ(profile->Discs()->Count(), 2);
  EXPECT_FALSE(profile->Discs()->Item(Variant(2))->DualSided());
  EXPECT_EQ(profile->Review()->Film(), 70000);  // whole, not cut to 16 bits
  EXPECT_EQ(profile->Review()->Extras(), 0);
  EXPECT_FALSE(profile->Video()->LetterBox());
}

TEST_F(MediaTest, MissingSingleRecordsReadAsDefaultsAndAreStoredOnlyOnceTheyHoldSomething) {
  auto profile = Fresh();
  EXPECT_EQ(profile->Video()->AspectRatio(), "");
  EXPECT_EQ(profile->Review()->Film(), 0);
  profile->UpdateProfile();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM VideoFormat"), 0);  // reading writes nothing
  profile->Video()->SetLetterBox(true);
  profile->UpdateProfile();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM VideoFormat WHERE ProfileID = 'P' AND LetterBox = true"),
            1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Reviews"), 0);
}

TEST_F(MediaTest, AudioFormatsAndReviewRoundTrip) {
  auto profile = Fresh();
  profile->Audio()->Add("German", "DTS", 2, "5.1");
  profile->Audio()->Add("English", "Dolby", 1, "2.0");
  auto review = profile->Review();
  review->SetFilm(8);
  review->SetVideo(7);
  review->SetAudio(6);
  review->SetExtras(5);
  profile->UpdateProfile();
  auto read = Fresh();
  EXPECT_EQ(read->Audio()->Item(Variant(1))->Language(), "English");
  EXPECT_EQ(read->Audio()->Item(Variant(2))->Compression(), "DTS");
  EXPECT_EQ(read->Review()->Video(), 7);
  EXPECT_EQ(read->Review()->Audio(), 6);
}

TEST_F(MediaTest, GenresKeepQuotesAndAreKeyedWhileRegionsAreNot) {
  auto profile = Fresh();
  profile->Genres()->Add(Variant("Children's"));
  profile->Regions()->Add(Variant("2"));
  profile->Regions()->Add(Variant("1"));
  profile->UpdateProfile();
  auto read = Fresh();
  EXPECT_EQ(read->Genres()->Item(Variant("children's")).ToText(), "Children's");
  ASSERT_EQ(read->Regions()->Count(), 2);
  EXPECT_EQ(read->Regions()->Item(Variant(1)).ToText(), "1");
  EXPECT_ZEL_ERROR_NUMBER(read->Regions()->Item(Variant("1")), errc::kInvalidArgument);
}

TEST_F(MediaTest, GenresDifferingOnlyInCaseFailTheReadAtTheSecond) {
  // The table's key ignores case too, so the second genre has to be written around it: a Genres
  // table created with a case-sensitive key.
  db_->DbExecute("DROP TABLE Genres");
  db_->DbExecute("CREATE TABLE Genres (ProfileID varchar NOT NULL, Genre varchar)");
  db_->DbExecute("INSERT INTO Genres (ProfileID, Genre) VALUES ('P', 'Drama')");
  db_->DbExecute("INSERT INTO Genres (ProfileID, Genre) VALUES ('P', 'DRAMA')");
  auto profile = Fresh();
  EXPECT_ZEL_ERROR_NUMBER(profile->Genres(), errc::kDuplicateKey);
  EXPECT_EQ(profile->Genres()->Count(), 1);  // what was read before the failure stays
}

TEST_F(MediaTest, StudiosSortByNameThenTypeAndTakePositions) {
  auto profile = Fresh();
  profile->Studios()->Add("Warner", "Studio");
  profile->Studios()->Add("Amblin", "Media Company");
  profile->Studios()->Add("Amblin", "Studio");
  profile->UpdateProfile();
  auto studios = Fresh()->Studios();
  ASSERT_EQ(studios->Count(), 3);
  EXPECT_EQ(studios->ItemAt(1)->StudioType(), "Media Company");
  EXPECT_EQ(studios->ItemAt(2)->StudioType(), "Studio");
  EXPECT_EQ(studios->ItemAt(3)->Name(), "Warner");
  studios->RemoveAt(1);
  EXPECT_EQ(studios->ItemAt(1)->StudioType(), "Studio");
}

}  // namespace
}  // namespace zel
