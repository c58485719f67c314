#include "model/profiles.h"

#include "catalogue/control.h"
#include "catalogue/database.h"
#include "support/test_support.h"

namespace zel {
namespace {

class ProfilesTest : public ::testing::Test {
 protected:
  void SetUp() override { db_ = control_.CreateDatabase(path_); }
  void TearDown() override { control_.CloseDatabase(); }

  int64_t Count(const std::string& sql) { return db_->DbOpenRecordSet(sql)->ValueAt(0).ToLong(); }

  testing::TempDir dir_;
  std::string path_ = dir_.File("list.zel");
  Control control_;
  std::shared_ptr<ZelDatabase> db_;
};

TEST_F(ProfilesTest, TheListIsReadOnceInSortTitleOrder) {
  db_->DbExecute("INSERT INTO Profiles (ProfileID, Title, SortTitle) VALUES ('B', 'Bee', 'b')");
  db_->DbExecute("INSERT INTO Profiles (ProfileID, Title, SortTitle) VALUES ('A', 'Ant', 'a')");
  auto profiles = db_->Profiles();
  EXPECT_EQ(db_->Profiles(), profiles);
  ASSERT_EQ(profiles->CountLong(), 2);
  EXPECT_EQ(profiles->Item(Variant(1))->Title(), "Ant");
  EXPECT_EQ(profiles->Item(Variant("b"))->Title(), "Bee");  // the key ignores case
  EXPECT_TRUE(profiles->Exists("b"));                       // and so does Exists
  // Regression: identifiers that differ in the case of other letters are two to the file, and
  // two to the list too (they made the read fail with 457).
  db_->DbExecute("INSERT INTO Profiles (ProfileID, Title) VALUES ('Émile', 'One')");
  db_->DbExecute("INSERT INTO Profiles (ProfileID, Title) VALUES ('émile', 'Two')");
  db_->SetProfiles(nullptr);
  EXPECT_EQ(db_->Profiles()->CountLong(), 4);
}

TEST_F(ProfilesTest, AddSavesAtOnceAndADuplicateIdentifierWritesNothing) {
  auto profiles = db_->Profiles();
  auto added = profiles->Add("Title", "Original");
  EXPECT_EQ(added->OriginalTitle(), "Original");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Profiles WHERE Title = 'Title'"), 1);

  auto copy = std::make_shared<ZelProfile>();
  copy->SetProfileID(added->ProfileID());
  copy->SetTitle("Copy");
  EXPECT_ZEL_ERROR_NUMBER(profiles->AddProfile(copy), errc::kDuplicateKey);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Profiles WHERE Title = 'Copy'"), 0);

  // Regression: a profile whose save failed stayed in the list, and every later save of the list
  // failed on it.
  auto broken = std::make_shared<ZelProfile>();
  broken->Genres()->Add(Variant("Drama"));
  broken->Genres()->Add(Variant("drama"));
  EXPECT_ZEL_ERROR_NUMBER(profiles->AddProfile(broken), 3022);
  EXPECT_EQ(profiles->CountLong(), 1);
  db_->UpdateProfiles();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Profiles"), 1);
}

TEST_F(ProfilesTest, RemoveDeletesEveryRowOfTheProfileAndItsLinks) {
  auto profiles = db_->Profiles();
  auto profile = profiles->Add("Gone", "");
  auto keep = profiles->Add("Kept", "");
  keep->Genres()->Add(Variant("Drama"));
  keep->UpdateProfile();
  profile->Genres()->Add(Variant("Drama"));
  profile->Cast()->Add("A", "B", 1, 0);
  profile->Tags()->Add("T", "/T");
  profile->Regions()->Add(Variant("1"));
  profile->UpdateProfile();
  profile->AssignEpisode("E1");
  db_->DbExecute("INSERT INTO BoxSet (ChildID, BoxSetID) VALUES ('" + profile->ProfileID() +
                 "', 'Box')");
  db_->DbExecute("INSERT INTO BoxSet (ChildID, BoxSetID) VALUES ('Part', '" + profile->ProfileID() +
                 "')");
  db_->DbExecute("INSERT INTO MetaInfo (ProfileID, InfoName) VALUES ('" + profile->ProfileID() +
                 "', 'M')");

  profiles->Remove(Variant(profile->ProfileID()));
  EXPECT_EQ(profiles->CountLong(), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Profiles"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Genres"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM CastCrew"), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Tags"), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Regions"), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Profile2Episodes"), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM BoxSet"), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM MetaInfo"), 0);
  profiles->RemoveAll();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Profiles"), 0);
  profiles->RemoveAll();
}

// Regression: the list save deleted every Profiles row it did not hold.
TEST_F(ProfilesTest, UpdateProfilesWritesOnlyACachedListAndKeepsRowsNotInIt) {
  db_->DbExecute("INSERT INTO Profiles (ProfileID, Title) VALUES ('X', 'Stored')");
  db_->UpdateProfiles();  // nothing cached: nothing written
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Profiles"), 1);
  db_->Profiles()->Item(Variant("X"))->SetTitle("Changed");
  db_->DbExecute("INSERT INTO Profiles (ProfileID, Title) VALUES ('Y', 'Written later')");

  auto replacement = std::make_shared<ZelProfiles>();
  auto profile = std::make_shared<ZelProfile>();
  profile->SetTitle("Replacement");
  replacement->AddLoaded(profile);
  db_->UpdateDatabase();
  db_->SetProfiles(replacement);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Profiles"), 2);  // setting writes nothing
  db_->UpdateDatabase();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Profiles WHERE Title = 'Replacement'"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Profiles WHERE Title IN ('Changed', 'Written later')"), 2);
}

}  // namespace
}  // namespace zel
