#include "catalogue/database.h"

#include <sqlite3.h>

#include <memory>

#include "catalogue/control.h"
#include "frame/library_state.h"
#include "frame/reflection.h"
#include "store/connection.h"
#include "store/info.h"
#include "support/test_support.h"

namespace zel {
namespace {

using DatabaseTest = testing::CatalogueTest;

TEST_F(DatabaseTest, DbInfoReadsDefaultsAndKeepsOneRowPerName) {
  EXPECT_EQ(db_->ReadDbInfo("Missing"), "");
  EXPECT_EQ(db_->ReadDbInfo("Missing", "fallback"), "fallback");
  db_->WriteDbInfo("Owner", "first");
  db_->WriteDbInfo("Owner", "O'Brien's");
  EXPECT_EQ(db_->Owner(), "O'Brien's");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM DbInfo WHERE InfoName = 'Owner'"), 1);
  db_->WriteDbInfo("It's", "quoted name");
  EXPECT_EQ(db_->ReadDbInfo("It's"), "quoted name");
}

TEST_F(DatabaseTest, RegressionDbInfoHoldingNullReadsAsEmptyText) {
  db_->DbExecute("INSERT INTO DbInfo (InfoName) VALUES ('Owner')");
  EXPECT_EQ(db_->ReadDbInfo("Owner", "x"), "");
  EXPECT_EQ(db_->Owner(), "");
}

TEST_F(DatabaseTest, SchemaReadsAndWritesTheNumber) {
  EXPECT_EQ(db_->Schema(), 89);
  db_->SetSchema(77);
  EXPECT_EQ(db_->ReadDbInfo("Schema"), "77");
  db_->WriteDbInfo("Schema", "abc");
  EXPECT_ZEL_ERROR(db_->Schema(), 13, "Type mismatch");
}

TEST_F(DatabaseTest, PerProfileInformationRoundTrips) {
  db_->WriteAdditionalInfoByProfileID("P1", "Color", "Blue", "Text");
  db_->WriteAdditionalInfoByProfileID("P1", "Color", "Red", "Text");
  db_->WriteMetaInfoByProfileID("P1", "Source", "DVDProfiler");
  EXPECT_EQ(db_->ReadAdditionalInfoByProfileID("P1", "Color"), "Red");
  EXPECT_EQ(db_->ReadAdditionalInfoByProfileID("P2", "Color", "none"), "none");
  EXPECT_EQ(db_->ReadMetaInfoByProfileID("P1", "Source"), "DVDProfiler");
  auto infos = db_->ReadAdditionalInfosByProfileID("P1");
  ASSERT_EQ(infos->Count(), 1);
  EXPECT_EQ(infos->Item(Variant(1))->InfoType(), "Text");
}

TEST_F(DatabaseTest, ProfileIdentifierHoldingAQuoteIsQuotedInReads) {
  db_->WriteAdditionalInfoByProfileID("Key_O'Neil", "Note", "ok");
  db_->WriteMetaInfoByProfileID("Key_O'Neil", "Note", "meta");
  EXPECT_EQ(db_->ReadAdditionalInfoByProfileID("Key_O'Neil", "Note"), "ok");
  EXPECT_EQ(db_->ReadMetaInfoByProfileID("Key_O'Neil", "Note"), "meta");
  EXPECT_EQ(db_->ReadAdditionalInfosByProfileID("Key_O'Neil")->Count(), 1);
}

TEST_F(DatabaseTest, WriteAdditionalInfosReplacesAllInOrder) {
  db_->WriteAdditionalInfoByProfileID("P", "Old", "x");
  auto infos = std::make_shared<ZelInfos>();
  infos->Add("b", "2");
  infos->Add("a", "1")->SetInfoType("T");
  db_->WriteAdditionalInfosByProfileID("P", infos);
  auto read = db_->ReadAdditionalInfosByProfileID("P");
  ASSERT_EQ(read->Count(), 2);
  EXPECT_EQ(read->Item(Variant(1))->Name(), "a");
  EXPECT_EQ(read->Item(Variant(1))->InfoType(), "T");
  EXPECT_EQ(read->GetInfo("b"), "2");
}

TEST_F(DatabaseTest, FailedReplaceOfInformationLeavesTheOldRows) {
  db_->WriteAdditionalInfoByProfileID("P", "Keep", "me");
  auto infos = std::make_shared<ZelInfos>();
  infos->Add("fine", "1");
  infos->Add(std::string(300, 'n'), "name longer than its column");
  EXPECT_ANY_THROW(db_->WriteAdditionalInfosByProfileID("P", infos));
  EXPECT_EQ(db_->ReadAdditionalInfoByProfileID("P", "Keep"), "me");
  EXPECT_EQ(db_->ReadAdditionalInfosByProfileID("P")->Count(), 1);
}

TEST_F(DatabaseTest, ASchema83FileKeepsNoInformationType) {
  UseOlderSchema(83);
  db_->WriteAdditionalInfoByProfileID("P", "Name", "Value", "Type");
  auto infos = db_->ReadAdditionalInfosByProfileID("P");
  EXPECT_EQ(infos->Item(Variant(1))->InfoType(), "");
  EXPECT_EQ(infos->Item(Variant(1))->Value(), "Value");
}

TEST_F(DatabaseTest, ClearTableDeletesEveryRow) {
  db_->WriteMetaInfoByProfileID("P", "a", "1");
  db_->WriteMetaInfoByProfileID("Q", "b", "2");
  db_->ClearTable("MetaInfo");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM MetaInfo"), 0);
}

TEST_F(DatabaseTest, ReflectionIsTolerant) {
  EXPECT_EQ(ReadProperty(*db_, "Schema").ToInteger(), 89);
  EXPECT_TRUE(ReadProperty(*db_, "Nothing").IsEmpty());
  EXPECT_TRUE(ReadProperty(*db_, "TableDefs").IsObject());
  WriteProperty(*db_, "Owner", Variant("Reflected"));
  EXPECT_EQ(db_->Owner(), "Reflected");
}

// A catalogue gets its change log with its first write, a bound insert as any other; opening it
// adds nothing.
TEST_F(DatabaseTest, ABoundInsertAsTheFirstWriteAddsTheChangeLog) {
  control_.CloseDatabase();
  const auto log_parts = [&] {
    sqlite3* raw = nullptr;
    EXPECT_EQ(sqlite3_open_v2(path_.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
    sqlite3_stmt* statement = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(raw,
                                 "SELECT COUNT(*) FROM sqlite_master WHERE name LIKE "
                                 "'zel\\_changes%' ESCAPE '\\'",
                                 -1, &statement, nullptr),
              SQLITE_OK);
    sqlite3_step(statement);
    const int count = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    return count;
  };
  ASSERT_EQ(log_parts(), 0);
  auto connection = store::Connection::Open(path_);
  EXPECT_EQ(log_parts(), 0);
  static const store::Connection::RowShape kUser{"Users", {"UserID"}};
  EXPECT_EQ(connection->Insert(kUser, {Variant("ann")}, store::Connection::Refused::kRaise), 1);
  EXPECT_GT(log_parts(), 0);
}

TEST(ZelInfos, ExistsAndGetInfoFoldAsciiLettersAsTheKeyDoes) {
  ZelInfos infos;
  infos.Add("Color", "Blue");
  EXPECT_TRUE(infos.Exists("color"));
  EXPECT_EQ(infos.Item(Variant("COLOR"))->Value(), "Blue");
  EXPECT_EQ(infos.GetInfo("cOlOr"), "Blue");
  EXPECT_ZEL_ERROR_NUMBER(infos.Add("color", "Red"), 457);
  // Other letters keep their case, in the file and in the keys alike.
  infos.Add("Émile", "1");
  EXPECT_FALSE(infos.Exists("émile"));
  infos.Add("émile", "2");
  EXPECT_EQ(infos.Count(), 3);
}

}  // namespace
}  // namespace zel
