#include "store/reference_lists.h"

#include "frame/control.h"
#include "frame/library_state.h"
#include "store/database.h"
#include "support/test_support.h"

namespace zel {
namespace {

class ReferenceListsTest : public ::testing::Test {
 protected:
  void SetUp() override { db_ = control_.CreateDatabase(path_); }
  void TearDown() override { control_.CloseDatabase(); }

  void Reopen() {
    control_.CloseDatabase();
    db_ = control_.OpenDatabase(path_);
  }
  int64_t Count(const std::string& sql) { return db_->DbOpenRecordSet(sql)->ValueAt(0).ToLong(); }

  testing::TempDir dir_;
  std::string path_ = dir_.File("lists.zel");
  Control control_;
  std::shared_ptr<ZelDatabase> db_;
};

TEST_F(ReferenceListsTest, AddingAndRemovingWriteAtOnce) {
  auto currencies = db_->Currencies();
  currencies->Add("EUR", "Euro", "€");
  db_->Users()->Add("O'Neil", "555", "");
  db_->Retailers()->Add("Shop", "Online", "https://shop.example");
  db_->SQLQueries()->Add("All", "SELECT * FROM Profiles");
  Reopen();
  EXPECT_EQ(db_->Currencies()->Item(Variant("EUR"))->CurrencySymbol(), "€");
  EXPECT_EQ(db_->Users()->Item(Variant("O'Neil"))->Phone(), "555");
  EXPECT_EQ(db_->Retailers()->Item(Variant(1))->PlaceType(), "Online");
  EXPECT_EQ(db_->SQLQueries()->Item(Variant("All"))->SQLStatement(), "SELECT * FROM Profiles");

  db_->Users()->Remove(Variant("O'Neil"));
  db_->Currencies()->RemoveAll();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Users"), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Currencies"), 0);
}

TEST_F(ReferenceListsTest, ExistsIsCaseSensitiveWhileTheKeyIsNot) {
  auto currencies = db_->Currencies();
  currencies->Add("usd", "Dollar", "$");
  EXPECT_FALSE(currencies->Exists("USD"));
  EXPECT_TRUE(currencies->Exists("usd"));
  EXPECT_ZEL_ERROR_NUMBER(currencies->Add("USD", "Dollar", "$"), errc::kDuplicateKey);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Currencies"), 1);
}

TEST_F(ReferenceListsTest, UpdateSqlQueryReplacesTheStoredStatement) {
  db_->DbExecute("INSERT INTO SQLQueries (Name, SQLStatement) VALUES ('Q', 'old')");
  auto fresh = std::make_shared<ZelSQLQueries>();
  db_->SetSQLQueries(fresh);  // a list that never read the stored query
  fresh->Add("Q", "new");
  EXPECT_EQ(db_->DbOpenRecordSet("SELECT SQLStatement FROM SQLQueries")->ValueAt(0).ToText(),
            "new");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM SQLQueries"), 1);
}

TEST_F(ReferenceListsTest, RecordUpdatesEditTheRowOfTheirKey) {
  auto retailer = db_->Retailers()->Add("Bob's Shop", "", "");
  retailer->SetWebsite("https://bob.example");
  retailer->UpdateRetailer();
  auto currency = db_->Currencies()->Add("GBP", "Pound", "£");
  currency->SetCurrencyName("Pound sterling");
  currency->UpdateCurrency();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Retailers WHERE Website = 'https://bob.example'"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Retailers"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Currencies WHERE CurrencyName = 'Pound sterling'"), 1);
}

TEST_F(ReferenceListsTest, UsersKeepWhetherTheyAreActive) {
  db_->DbExecute("INSERT INTO Users (UserID, IsActive) VALUES ('Gone', false)");
  db_->DbExecute("INSERT INTO Users (UserID) VALUES ('Unknown')");
  auto users = db_->Users();
  EXPECT_FALSE(users->Item(Variant("Gone"))->IsActive());
  EXPECT_TRUE(users->Item(Variant("Unknown"))->IsActive());  // a Null counts as active
  db_->UpdateUsers();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Users WHERE IsActive = false"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Users WHERE IsActive = true"), 1);
}

TEST_F(ReferenceListsTest, BelowSchemaEightyEightIsActiveIsNeitherReadNorWritten) {
  db_->DbExecute("INSERT INTO Users (UserID, IsActive) VALUES ('Gone', false)");
  db_->SetSchema(87);
  Reopen();
  auto user = db_->Users()->Item(Variant("Gone"));
  EXPECT_TRUE(user->IsActive());
  user->SetIsActive(false);
  db_->UpdateUsers();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Users WHERE IsActive IS NULL"), 1);
}

TEST_F(ReferenceListsTest, ListUpdatesReplaceTheTableOnlyWhenTheListWasRead) {
  db_->DbExecute("INSERT INTO Retailers (Name) VALUES ('Stored')");
  db_->UpdateDatabase();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Retailers"), 1);

  auto retailers = std::make_shared<ZelRetailers>();
  db_->SetRetailers(retailers);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Retailers"), 1);
  db_->UpdateRetailers();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Retailers"), 0);
}

TEST_F(ReferenceListsTest, AReferencedCurrencyStaysStoredWhenRemoved) {
  auto currencies = db_->Currencies();
  currencies->Add("EUR", "Euro", "€");
  db_->DbExecute("INSERT INTO SRPInfo (ProfileID, SRPValue, CurrencyID) VALUES ('P', 1, 'EUR')");
  currencies->Remove(Variant("EUR"));
  EXPECT_EQ(currencies->Count(), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Currencies"), 1);
}

TEST_F(ReferenceListsTest, TranslationsRoundTripInKeyOrder) {
  auto translations = db_->Translations();
  translations->Add("Title", "Titel");
  translations->Add("It's", "Het is");
  db_->UpdateTranslations();
  Reopen();
  auto read = db_->Translations();
  ASSERT_EQ(read->Count(), 2);
  EXPECT_EQ(read->entries()[0].first, "It's");
  EXPECT_EQ(read->Item("It's").ToText(), "Het is");
  EXPECT_FALSE(read->Exists("title"));  // keys compare exactly
  read->RemoveAll();
  db_->UpdateDatabase();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Translation"), 0);
}

}  // namespace
}  // namespace zel
