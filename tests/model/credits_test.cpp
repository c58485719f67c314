#include "model/credits.h"

#include "awards/awards.h"
#include "catalogue/control.h"
#include "catalogue/database.h"
#include "frame/library_state.h"
#include "frame/reflection.h"
#include "model/profiles.h"
#include "support/test_support.h"

namespace zel {
namespace {

class CreditsTest : public ::testing::Test {
 protected:
  void SetUp() override { db_ = control_.CreateDatabase(path_); }
  void TearDown() override { control_.CloseDatabase(); }

  // A profile object read afresh from the file, with no caches.
  std::shared_ptr<ZelProfile> Fresh(const std::string& id) {
    auto records = db_->DbOpenRecordSet("SELECT * FROM Profiles WHERE ProfileID = '" + id + "'");
    return ProfileFromRecord(*records);
  }
  int64_t Count(const std::string& sql) { return db_->DbOpenRecordSet(sql)->ValueAt(0).ToLong(); }

  testing::TempDir dir_;
  std::string path_ = dir_.File("credits.zel");
  Control control_;
  std::shared_ptr<ZelDatabase> db_;
};

TEST(ZelCredits, ItemsAreReachableByPositionOnly) {
  ZelCredits credits;
  credits.Add("A", "Role", 1, 0);
  EXPECT_EQ(credits.Item(Variant(1))->Name(), "A");
  EXPECT_ZEL_ERROR_NUMBER(credits.Item(Variant("A")), errc::kInvalidArgument);
  credits.RemoveAll();
  credits.RemoveAll();
  EXPECT_EQ(credits.Count(), 0);
}

TEST(ZelCredit, ReflectionIsPlainAndWritesByName) {
  ZelCredit credit;
  WriteProperty(credit, "Name", Variant("Ann"));
  EXPECT_EQ(credit.Name(), "Ann");
  EXPECT_ZEL_ERROR_NUMBER(ReadProperty(credit, "NoSuchProperty"), errc::kUnknownMember);
  EXPECT_ZEL_ERROR_NUMBER(WriteProperty(credit, "NoSuchProperty", Variant(1)),
                          errc::kUnknownMember);
}

TEST_F(CreditsTest, CommonNamesComeFromTheAliasTableOrTheNameItself) {
  db_->DbExecute(
      "INSERT INTO Alias (AliasName, CommonName) VALUES ('Sigourney Weaver', 'Susan Weaver')");
  auto profile = db_->Profiles()->Add("Alien", "");
  profile->Cast()->Add("Sigourney Weaver", "Ripley", 1, 0);
  profile->Cast()->Add("Tom Skerritt", "Dallas", 2, 0);
  profile->UpdateProfile();
  EXPECT_EQ(profile->Cast()->Item(Variant(1))->CommonName(), "");  // not read yet

  auto cast = Fresh(profile->ProfileID())->Cast();
  EXPECT_EQ(cast->Item(Variant(1))->CommonName(), "Susan Weaver");
  EXPECT_EQ(cast->Item(Variant(2))->CommonName(), "Tom Skerritt");
}

TEST_F(CreditsTest, ListsAreReadByPositionAndCastAndCrewStaySeparate) {
  auto profile = db_->Profiles()->Add("Jaws", "");
  profile->Crew()->Add("John Williams", "Composer", 3, 1932);
  profile->Crew()->Add("Steven Spielberg", "Director", 1, 1946)->SetIsVoice(true);
  profile->Crew()->Add("Group", "[DivGroup]", 2, 0);
  profile->UpdateProfile();

  auto read = Fresh(profile->ProfileID());
  EXPECT_EQ(read->Cast()->Count(), 0);
  auto crew = read->Crew();
  ASSERT_EQ(crew->Count(), 3);
  EXPECT_EQ(crew->Item(Variant(1))->Name(), "Steven Spielberg");
  EXPECT_FALSE(crew->Item(Variant(1))->IsVoice());  // crew is never stored as voice
  EXPECT_EQ(crew->Item(Variant(2))->Role(), "[DivGroup]");
  EXPECT_EQ(crew->Item(Variant(3))->BirthYear(), 1932);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM CastCrew WHERE IsVoice = true"), 0);

  // Saving the crew leaves the cast rows alone, and the other way round.
  read->Cast()->Add("Roy Scheider", "Brody", 1, 0);
  read->UpdateProfile();
  auto again = Fresh(profile->ProfileID());
  again->Crew()->RemoveAll();
  again->UpdateProfile();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM CastCrew WHERE IsCast = true"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM CastCrew WHERE IsCast = false"), 0);
}

TEST_F(CreditsTest, NullBirthYearReadsAsZero) {
  db_->DbExecute("INSERT INTO Profiles (ProfileID, Title) VALUES ('P', 'T')");
  db_->DbExecute(
      "INSERT INTO CastCrew (Name, ProfileID, Position, IsCast, IsVoice, IsUncredited, "
      "IsCreditOnly) VALUES ('A', 'P', 1, true, false, true, true)");
  auto credit = Fresh("P")->Cast()->Item(Variant(1));
  EXPECT_EQ(credit->BirthYear(), 0);
  EXPECT_TRUE(credit->IsUncredited());
  EXPECT_TRUE(credit->IsCreditOnly());
}

TEST_F(CreditsTest, CrewRowWithoutCreditOnlyMarkReadsAsNotCreditOnly) {
  db_->DbExecute("INSERT INTO Profiles (ProfileID, Title) VALUES ('P1', 'Alien')");
  db_->DbExecute(
      "INSERT INTO CastCrew (Name, Role, ProfileID, Position, IsCast, IsVoice, IsUncredited) "
      "VALUES ('Ridley Scott', 'Director', 'P1', 1, false, false, false)");
  auto crew = Fresh("P1")->Crew();
  ASSERT_EQ(crew->Count(), 1);
  EXPECT_FALSE(crew->Item(Variant(1))->IsCreditOnly());
}

TEST_F(CreditsTest, SchemaSeventyFiveKeepsTheFlagsAsTexts) {
  db_->DbExecute("DROP TABLE CastCrew");
  db_->DbExecute(
      "CREATE TABLE CastCrew (Name varchar NOT NULL, Role varchar, ProfileID varchar NOT NULL, "
      "Position integer NOT NULL, BirthYear integer, IsUncredited varchar, IsVoice varchar, "
      "IsCast varchar, PRIMARY KEY (ProfileID, Name, Position, IsCast))");
  db_->SetSchema(75);
  control_.CloseDatabase();
  db_ = control_.OpenDatabase(path_);
  ASSERT_EQ(State().active_db_schema, 75);

  db_->DbExecute("INSERT INTO Profiles (ProfileID, Title) VALUES ('P', 'Old')");
  db_->DbExecute(
      "INSERT INTO CastCrew (Name, ProfileID, Position, IsCast, IsVoice, IsUncredited) "
      "VALUES ('Stored', 'P', 1, 'yes', 'True', '')");
  auto profile = Fresh("P");
  auto cast = profile->Cast();
  ASSERT_EQ(cast->Count(), 1);
  EXPECT_TRUE(cast->Item(Variant(1))->IsVoice());
  EXPECT_FALSE(cast->Item(Variant(1))->IsUncredited());  // an empty text reads as false
  cast->Add("New", "Role", 2, 0)->SetIsUncredited(true);
  profile->Crew()->Add("Maker", "Director", 1, 0)->SetIsVoice(true);
  profile->UpdateProfile();

  EXPECT_EQ(Count("SELECT COUNT(*) FROM CastCrew WHERE IsCast = 'yes'"), 2);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM CastCrew WHERE IsCast = 'no' AND IsVoice = 'False'"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM CastCrew WHERE Name = 'New' AND IsUncredited = 'True'"), 1);
  auto read = Fresh("P");
  EXPECT_TRUE(read->Cast()->Item(Variant(2))->IsUncredited());
  EXPECT_EQ(read->Crew()->Item(Variant(1))->Role(), "Director");
}

TEST_F(CreditsTest, CreditOnlyIsStoredFromSchemaEightyEightOnly) {
  auto profile = db_->Profiles()->Add("Now", "");
  profile->Cast()->Add("A", "B", 1, 0)->SetIsCreditOnly(true);
  profile->UpdateProfile();
  EXPECT_TRUE(Fresh(profile->ProfileID())->Cast()->Item(Variant(1))->IsCreditOnly());

  db_->SetSchema(87);
  control_.CloseDatabase();
  db_ = control_.OpenDatabase(path_);
  auto read = Fresh(profile->ProfileID());
  EXPECT_FALSE(read->Cast()->Item(Variant(1))->IsCreditOnly());  // not read below 88
  read->Cast()->Item(Variant(1))->SetRole("C");
  read->UpdateProfile();
  // Only the role is written; the mark the file holds stays.
  EXPECT_EQ(Count("SELECT COUNT(*) FROM CastCrew WHERE IsCreditOnly = true AND Role = 'C'"), 1);
}

TEST_F(CreditsTest, AwardsAreFoundByTheCommonName) {
  db_->DbExecute(
      "INSERT INTO Awards (Award, [Year], MovieTitle, Won, Nominee) VALUES "
      "('Oscar', 1980, 'Alpha', true, 'Ann Lee and Bo Wu')");
  db_->DbExecute("INSERT INTO Alias (AliasName, CommonName) VALUES ('Annie Lee', 'Ann Lee')");
  db_->DbExecute("INSERT INTO Profiles (ProfileID, Title) VALUES ('P', 'Alpha')");
  db_->DbExecute(
      "INSERT INTO CastCrew (Name, ProfileID, Position, IsCast, IsVoice, IsUncredited, "
      "IsCreditOnly) VALUES ('Annie Lee', 'P', 1, true, false, false, false)");
  auto credit = Fresh("P")->Cast()->Item(Variant(1));
  auto awards = credit->Awards();
  ASSERT_EQ(awards->Count(), 1);
  EXPECT_EQ(credit->Awards(), awards);  // read once
}

// A credit made by a script has no common name yet; its empty name matched every nominee.
TEST_F(CreditsTest, RegressionAScriptCreditLooksItsAwardsUpByName) {
  db_->DbExecute(
      "INSERT INTO Awards (Award, [Year], MovieTitle, Won, Nominee) VALUES "
      "('Oscar', 1980, 'Alpha', true, 'Ann Lee')");
  db_->DbExecute(
      "INSERT INTO Awards (Award, [Year], MovieTitle, Won, Nominee) VALUES "
      "('Oscar', 1981, 'Beta', true, 'Bo Wu')");
  ZelCredits credits;
  EXPECT_EQ(credits.Add("Bo Wu", "Joel", 1, 0)->Awards()->Count(), 1);
  EXPECT_EQ(credits.Add("", "Nobody", 2, 0)->Awards()->Count(), 0);
}

TEST_F(CreditsTest, AwardsNeedAnActiveCatalogue) {
  control_.CloseDatabase();
  ZelCredit credit;
  credit.SetName("Ann Lee");
  EXPECT_ZEL_ERROR_NUMBER(credit.Awards(), errc::kMissingObject);
  db_ = control_.OpenDatabase(path_);
}

}  // namespace
}  // namespace zel
