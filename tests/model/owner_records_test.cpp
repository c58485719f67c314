#include "model/owner_records.h"

#include "catalogue/control.h"
#include "catalogue/database.h"
#include "frame/library_state.h"
#include "frame/random_ids.h"
#include "model/profiles.h"
#include "store/engine_errors.h"
#include "support/test_support.h"

namespace zel {
namespace {

class OwnerRecordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = control_.CreateDatabase(path_);
    db_->DbExecute("INSERT INTO Profiles (ProfileID, Title) VALUES ('P', 'Title')");
  }
  void TearDown() override { control_.CloseDatabase(); }

  std::shared_ptr<ZelProfile> Fresh(const std::string& id = "P") {
    auto records = db_->DbOpenRecordSet("SELECT * FROM Profiles WHERE ProfileID = '" + id + "'");
    return ProfileFromRecord(*records);
  }
  int64_t Count(const std::string& sql) { return db_->DbOpenRecordSet(sql)->ValueAt(0).ToLong(); }

  testing::TempDir dir_;
  std::string path_ = dir_.File("owner.zel");
  Control control_;
  std::shared_ptr<ZelDatabase> db_;
};

TEST_F(OwnerRecordsTest, AnUnknownCurrencyIsAddedUnderItsOwnName) {
  ZelSRP srp;
  srp.SetCurrencyID("CHF");
  auto currency = db_->Currencies()->Item(Variant("CHF"));
  EXPECT_EQ(currency->CurrencyName(), "CHF");
  EXPECT_EQ(currency->CurrencySymbol(), "CHF");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Currencies WHERE CurrencyID = 'CHF'"), 1);
  EXPECT_EQ(srp.GetCurrency(), currency);
}

TEST_F(OwnerRecordsTest, KeySettersNeedACatalogue) {
  control_.CloseDatabase();
  ZelEvent event;
  EXPECT_ZEL_ERROR_NUMBER(event.SetUserID("Ann"), errc::kMissingObject);
  ZelLoanInfo loan;
  EXPECT_EQ(loan.User()->Name(), "");  // no user named: a fresh one, no lookup
}

TEST_F(OwnerRecordsTest, AmountsKeepFourDecimalsWhateverTheSeparator) {
  ScopedDecimalSeparator comma(",");
  auto profile = Fresh();
  profile->SRP()->SetValue(Currency{123456});  // 12.3456
  profile->SRP()->SetCurrencyID("EUR");
  profile->PurchaseInfo()->SetPrice(Currency{99900});
  profile->PurchaseInfo()->SetCurrencyID("EUR");
  profile->PurchaseInfo()->SetPurchasePlaceName("Shop");
  profile->UpdateProfile();
  auto read = Fresh();
  EXPECT_EQ(read->SRP()->Value(), Currency{123456});
  EXPECT_EQ(read->PurchaseInfo()->Price(), Currency{99900});
}

TEST_F(OwnerRecordsTest, APurchaseReadForAProfileWithoutOneDoesNotBreakTheSave) {
  auto profile = Fresh();
  EXPECT_EQ(profile->PurchaseInfo()->Price(), Currency{});
  profile->SetTitle("Saved");
  profile->UpdateProfile();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Profiles WHERE Title = 'Saved'"), 1);

  // With a currency but no place the purchase is stored without a place.
  profile->PurchaseInfo()->SetCurrencyID("USD");
  profile->PurchaseInfo()->SetPrice(Currency{50000});
  profile->UpdateProfile();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM PurchaseInfo WHERE PurchasePlace IS NULL AND Price = 5"),
            1);
}

TEST_F(OwnerRecordsTest, RegressionReadingWritesNothingAndNullsReadAsEmpty) {
  db_->DbExecute("INSERT INTO Users (UserID) VALUES ('Ann')");
  // What imports store: a loan without a due date, an event without a time stamp, a purchase
  // without place or currency.
  db_->DbExecute("INSERT INTO LoanInfo (ProfileID, UserID) VALUES ('P', 'Ann')");
  db_->DbExecute("INSERT INTO Events (EventID, ProfileID, UserID) VALUES (7, 'P', 'Ann')");
  db_->DbExecute("INSERT INTO PurchaseInfo (ProfileID, Price) VALUES ('P', 4)");
  db_->DbExecute("INSERT INTO SRPInfo (ProfileID, SRPValue) VALUES ('P', 9)");
  auto profile = Fresh();
  EXPECT_EQ(profile->LoanInfo()->User()->Name(), "Ann");
  EXPECT_EQ(profile->LoanInfo()->LoanedDue(), Date::Zero());
  EXPECT_EQ(profile->Events()->Item(Variant(1))->TimeStamp(), Date::Zero());
  EXPECT_EQ(profile->PurchaseInfo()->Price(), Currency{40000});
  EXPECT_EQ(profile->PurchaseInfo()->CurrencyID(), "");
  EXPECT_EQ(profile->SRP()->Value(), Currency{90000});
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Currencies"), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Retailers"), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Users"), 1);

  // Saved again, each keeps what it holds, without a currency or place.
  profile->UpdateProfile();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM PurchaseInfo WHERE Price = 4 AND CurrencyID IS NULL"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM SRPInfo WHERE SRPValue = 9 AND CurrencyID IS NULL"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM LoanInfo"), 1);
}

TEST_F(OwnerRecordsTest, RegressionSavesStoreWhatTheRecordsHoldOrFailNamingThem) {
  db_->DbExecute("INSERT INTO Currencies (CurrencyID) VALUES ('EUR')");
  auto profile = Fresh();
  // A key in another case is the stored key, not a new one (this used to fail with 457).
  profile->SRP()->SetCurrencyID("eur");
  profile->SRP()->SetValue(Currency{10000});
  profile->PurchaseInfo()->SetPurchaseDate(Date::FromParts(2020, 1, 2));
  profile->LoanInfo()->SetLoanedDue(Date::FromParts(2024, 6, 1));
  EXPECT_ZEL_ERROR(profile->UpdateProfile(), 3314,
                   "The loan of 'P' could not be stored: it has a due date (2024-06-01) but no "
                   "borrower; set its UserID");
  db_->DbExecute("INSERT INTO Users (UserID) VALUES ('Ann')");
  profile->LoanInfo()->SetUserID("ann");
  profile->Events()->AddEvent(std::make_shared<ZelEvent>())->SetEventType("Watched");
  const std::string id = std::to_string(profile->Events()->Item(Variant(1))->EventID());
  EXPECT_ZEL_ERROR(
      profile->UpdateProfile(), 3314,
      "Event " + id + " ('Watched') of 'P' could not be stored: it names no user; set its UserID");
  profile->Events()->RemoveAll();
  profile->UpdateProfile();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM SRPInfo WHERE CurrencyID = 'eur'"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM PurchaseInfo WHERE CurrencyID IS NULL"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Currencies"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Users"), 1);
  EXPECT_EQ(Fresh()->LoanInfo()->User()->Name(), "Ann");
  EXPECT_EQ(Fresh()->SRP()->GetCurrency()->CurrencyID(), "EUR");
}

TEST_F(OwnerRecordsTest, EventIdentifiersFollowOneSequence) {
  SeedRandomIds(1234);
  const int32_t first = ZelEvent().EventID();
  const int32_t second = ZelEvent().EventID();
  SeedRandomIds(1234);
  EXPECT_EQ(ZelEvent().EventID(), first);
  EXPECT_EQ(ZelEvent().EventID(), second);
  EXPECT_NE(first, second);
  EXPECT_GE(first, 0);
}

TEST_F(OwnerRecordsTest, AnEventWhoseIdentifierIsTakenGetsAFreshOne) {
  db_->DbExecute("INSERT INTO Profiles (ProfileID, Title) VALUES ('Q', 'Other')");
  auto other = Fresh("Q");
  auto taken = other->Events()->Add("Watched", "Ann", Date::FromParts(2024, 1, 1), "");
  other->UpdateProfile();

  auto profile = Fresh();
  auto clash = profile->Events()->Add("Borrowed", "Ann", Date::FromParts(2024, 2, 2), "it's mine");
  clash->SetEventID(taken->EventID());
  auto twin = profile->Events()->Add("Returned", "Ann", Date::FromParts(2024, 3, 3), "");
  twin->SetEventID(taken->EventID());
  profile->UpdateProfile();

  EXPECT_NE(clash->EventID(), taken->EventID());
  EXPECT_NE(twin->EventID(), clash->EventID());
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Events"), 3);
  auto events = Fresh()->Events();
  ASSERT_EQ(events->Count(), 2);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Events WHERE Comment = 'it''s mine'"), 1);
}

TEST_F(OwnerRecordsTest, AnEventTheEngineRefusesForAnotherReasonFailsTheSave) {
  auto profile = Fresh();
  profile->Events()->Add("Watched", "Ann", Date::FromParts(2024, 1, 1), "");
  profile->SetTitle("Changed");
  // The user disappears from the file behind the list's back.
  db_->DbExecute("DELETE FROM Users WHERE UserID = 'Ann'");
  EXPECT_ZEL_ERROR_NUMBER(profile->UpdateProfile(), store::engine_errc::kRelatedRecordRequired);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Profiles WHERE Title = 'Title'"), 1);
}

TEST_F(OwnerRecordsTest, TagsAreSortedByNameAndATagListedTwiceFailsTheSave) {
  auto profile = Fresh();
  profile->Tags()->Add("Zombies", "/Genre/Zombies");
  profile->Tags()->Add("Action", "/Genre/Action");
  profile->UpdateProfile();
  auto read = Fresh();
  auto tags = read->Tags();
  EXPECT_EQ(tags->ItemAt(1)->Name(), "Action");
  EXPECT_TRUE(tags->Exists("zombies"));
  // The second tag of one name used to be dropped while the save reported success.
  tags->Add("action", "/Lists/Action");
  EXPECT_ZEL_ERROR(read->UpdateProfile(), 3022,
                   "Tag 'action' ('/Lists/Action') of 'P' could not be stored: another row has "
                   "the same ProfileID and TagName of Tags (the case of letters aside)");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Tags"), 2);
}

TEST_F(OwnerRecordsTest, ASchema83FileKeepsNoInformationTypeAndNoMetaInfo) {
  testing::MakeOlderSchema(*db_, 83);
  control_.CloseDatabase();
  db_ = control_.OpenDatabase(path_);
  db_->DbExecute("INSERT INTO Profiles (ProfileID, Title) VALUES ('P', 'Title')");
  auto old = Fresh();
  old->Infos()->Add("Shelf", "Attic")->SetInfoType("Text");
  old->MetaInfos()->Add("Source", "Import");
  old->UpdateProfile();
  auto read = Fresh()->Infos();
  EXPECT_EQ(read->GetInfo("Shelf"), "Attic");
  EXPECT_EQ(read->Item(Variant(1))->InfoType(), "");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM MetaInfo"), 0);
}

}  // namespace
}  // namespace zel
