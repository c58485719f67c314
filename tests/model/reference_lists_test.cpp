#include "model/reference_lists.h"

#include "catalogue/control.h"
#include "catalogue/database.h"
#include "frame/dictionary.h"
#include "store/engine_errors.h"
#include "support/test_support.h"

namespace zel {
namespace {

using ReferenceListsTest = testing::CatalogueTest;

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

TEST_F(ReferenceListsTest, RegressionKeysFoldAsciiLettersOnlyLikeTheFile) {
  auto currencies = db_->Currencies();
  currencies->Add("usd", "Dollar", "$");
  EXPECT_TRUE(currencies->Exists("USD"));
  EXPECT_ZEL_ERROR_NUMBER(currencies->Add("USD", "Dollar", "$"), errc::kDuplicateKey);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Currencies"), 1);

  // "émile" and "ÉMILE" are two keys to the file, and so to the list: both are stored and both
  // load again (they used to make every later read of the list fail with 457).
  db_->Users()->Add("émile", "", "");
  auto other = std::make_shared<ZelUser>();
  other->SetName("ÉMILE");
  other->UpdateUser();
  db_->DbExecute("INSERT INTO Retailers (Name) VALUES ('Éclair')");
  db_->DbExecute("INSERT INTO Retailers (Name) VALUES ('éclair')");
  db_->DbExecute("INSERT INTO SQLQueries (Name, SQLStatement) VALUES ('Été', 'a')");
  db_->DbExecute("INSERT INTO SQLQueries (Name, SQLStatement) VALUES ('été', 'b')");
  Reopen();
  EXPECT_EQ(db_->Users()->Count(), 2);
  EXPECT_EQ(db_->Retailers()->Count(), 2);
  EXPECT_EQ(db_->SQLQueries()->Item(Variant("été"))->SQLStatement(), "b");
}

TEST_F(ReferenceListsTest, ANewRecordNeverOverwritesAStoredRowOfItsKey) {
  db_->DbExecute("INSERT INTO SQLQueries (Name, SQLStatement) VALUES ('Q', 'old')");
  auto fresh = std::make_shared<ZelSQLQueries>();
  db_->SetSQLQueries(fresh);  // a list that never read the stored query
  EXPECT_ZEL_ERROR(fresh->Add("q", "new"), store::engine_errc::kDuplicateKey,
                   "Query 'q' could not be stored: another row of SQLQueries holds 'q' (the case "
                   "of letters aside)");
  EXPECT_EQ(fresh->Count(), 0);
  EXPECT_EQ(db_->DbOpenRecordSet("SELECT SQLStatement FROM SQLQueries")->ValueAt(0).ToText(),
            "old");
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
  db_->UpdateUsers();                                        // unchanged: the file keeps its Null
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Users WHERE IsActive = false"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Users WHERE IsActive IS NULL"), 1);
}

TEST_F(ReferenceListsTest, ASchema87FileNeitherReadsNorWritesIsActive) {
  UseOlderSchema(87);
  db_->DbExecute("INSERT INTO Users (UserID) VALUES ('Gone')");
  auto user = db_->Users()->Item(Variant("Gone"));
  EXPECT_TRUE(user->IsActive());
  user->SetIsActive(false);
  db_->UpdateUsers();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Users"), 1);
}

TEST_F(ReferenceListsTest, RegressionListSavesKeepRowsTheListNeverHeld) {
  db_->DbExecute("INSERT INTO Currencies (CurrencyID) VALUES ('NUL')");  // Null name and symbol
  db_->DbExecute("INSERT INTO SQLQueries (Name, SQLStatement) VALUES ('Q', '')");
  auto currencies = db_->Currencies();
  EXPECT_EQ(currencies->Item(Variant("NUL"))->CurrencyName(), "");
  auto retailers = db_->Retailers();
  db_->SQLQueries();
  db_->Users();
  // Rows written after the lists were read, by another object or program.
  db_->DbExecute("INSERT INTO Retailers (Name) VALUES ('Later')");
  db_->DbExecute("INSERT INTO Users (UserID) VALUES ('Later')");
  db_->DbExecute("INSERT INTO Currencies (CurrencyID) VALUES ('LTR')");
  db_->DbExecute("INSERT INTO SQLQueries (Name, SQLStatement) VALUES ('Later', 'x')");
  retailers->Add("Mine", "", "")->SetName("Renamed");
  db_->UpdateDatabase();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Retailers WHERE Name IN ('Later', 'Renamed')"), 2);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Retailers WHERE Name = 'Mine'"), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Users"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Currencies"), 2);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM SQLQueries"), 2);
  // A list given by the caller never held the stored rows, so it removes none of them.
  db_->SetRetailers(std::make_shared<ZelRetailers>());
  db_->UpdateRetailers();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Retailers"), 2);
}

TEST_F(ReferenceListsTest, RegressionRemovingAReferencedCurrencyFailsAndKeepsIt) {
  auto currencies = db_->Currencies();
  currencies->Add("EUR", "Euro", "€");
  db_->DbExecute("INSERT INTO SRPInfo (ProfileID, SRPValue, CurrencyID) VALUES ('P', 1, 'EUR')");
  EXPECT_ZEL_ERROR(currencies->Remove(Variant("EUR")), 3200,
                   "Currency 'EUR' cannot be removed: suggested prices or purchases still name it");
  EXPECT_EQ(currencies->Count(), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Currencies"), 1);
}

TEST_F(ReferenceListsTest, RegressionTranslationKeysFoldAsTheFileDoes) {
  db_->DbExecute("INSERT INTO Translation (OriginalString, UserString) VALUES ('Kept', 'x')");
  auto translations = db_->Translations();
  translations->Add("Title", "Titel");
  translations->Add("It's", "Het is");
  EXPECT_ZEL_ERROR_NUMBER(translations->Add("title", "titel"), errc::kDuplicateKey);
  EXPECT_EQ(translations->Item("TITLE").ToText(), "Titel");
  translations->Remove("Kept");
  db_->DbExecute("INSERT INTO Translation (OriginalString, UserString) VALUES ('Later', 'y')");
  db_->UpdateTranslations();
  Reopen();
  auto read = db_->Translations();
  ASSERT_EQ(read->Count(), 3);
  EXPECT_EQ(read->entries()[0].first, "It's");
  EXPECT_TRUE(read->Exists("later"));  // written by someone else: kept
  EXPECT_FALSE(read->Exists("Kept"));  // removed through the dictionary: deleted

  // A dictionary of the caller's that holds "Hello" and "hello" cannot be stored as two rows.
  auto exact = std::make_shared<Dictionary>();
  exact->Add("Hello", Variant("Hallo"));
  exact->Add("hello", Variant("hallo"));
  db_->SetTranslations(exact);
  EXPECT_ZEL_ERROR(db_->UpdateTranslations(), 3022,
                   "The translations of 'Hello' and 'hello' cannot both be stored: the "
                   "catalogue's keys ignore the case of letters");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Translation"), 3);
}

TEST_F(ReferenceListsTest, RegressionAnEarlierCatalogueWritesItsListsToItsOwnFile) {
  db_->Currencies()->Add("EUR", "Euro", "€");
  db_->Users()->Add("Ann", "", "");
  db_->Retailers()->Add("Shop", "", "");
  db_->SQLQueries()->Add("Q", "SELECT 1");
  auto earlier = db_;
  auto other = control_.CreateDatabase(dir_.File("other.zel"));
  earlier->UpdateDatabase();
  earlier->Currencies()->Add("GBP", "Pound", "£");
  for (const char* table : {"Currencies", "Users", "Retailers", "SQLQueries"}) {
    EXPECT_EQ(
        other->DbOpenRecordSet("SELECT COUNT(*) FROM " + std::string(table))->ValueAt(0).ToLong(),
        0)
        << table;
  }
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Currencies"), 2);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Users"), 1);
}

}  // namespace
}  // namespace zel
