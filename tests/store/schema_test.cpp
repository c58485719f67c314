#include "store/schema.h"

#include "catalogue/control.h"
#include "catalogue/database.h"
#include "support/test_support.h"

namespace zel {
namespace {

using SchemaTest = testing::CatalogueTest;

TEST_F(SchemaTest, NewFileHas32TablesAnd37IndexesAndSchema89) {
  const auto tables = db_->connection().TableDefs();
  ASSERT_EQ(tables.size(), 32u);
  EXPECT_EQ(tables.front().name, "Alias");
  EXPECT_EQ(tables.back().name, "Tags");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND name LIKE 'idx*'"),
            37);
  EXPECT_EQ(db_->ReadDbInfo("Schema"), "89");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM DbInfo"), 1);
}

TEST_F(SchemaTest, ColumnsKeepTheirTypes) {
  const store::TableDef* video = db_->connection().FindTable("videoformat");
  ASSERT_NE(video, nullptr);
  ASSERT_EQ(video->columns.size(), 7u);
  EXPECT_EQ(video->columns[1].name, "AspectRatio");
  EXPECT_EQ(video->columns[1].type, store::ColumnType::kText);
  EXPECT_EQ(video->columns[1].max_length, 4);
  EXPECT_EQ(video->columns[3].type, store::ColumnType::kBoolean);
  const store::TableDef* profiles = db_->connection().FindTable("Profiles");
  ASSERT_NE(profiles, nullptr);
  EXPECT_EQ(profiles->columns[18].name, "Overview");
  EXPECT_EQ(profiles->columns[18].type, store::ColumnType::kMemo);
  EXPECT_EQ(profiles->columns[14].type, store::ColumnType::kLong);
  EXPECT_EQ(profiles->columns[15].type, store::ColumnType::kDate);
}

TEST_F(SchemaTest, CastCrewKeyIncludesIsCastButNotRole) {
  const std::string insert =
      "INSERT INTO CastCrew (Name, Role, ProfileID, Position, IsCast) VALUES ('Ann Lee', ";
  db_->DbExecute(insert + "'Herself', 'P', 1, true)");
  db_->DbExecute(insert + "'Director', 'P', 1, false)");
  db_->DbExecute(insert + "'Narrator', 'P', 1, true)");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM CastCrew"), 2);
}

TEST_F(SchemaTest, AliasNameAloneIsTheKey) {
  db_->DbExecute(
      "INSERT INTO Alias (AliasName, CommonName, BirthYear) VALUES ('Bo', 'Bo A', 1950)");
  db_->DbExecute(
      "INSERT INTO Alias (AliasName, CommonName, BirthYear) VALUES ('Bo', 'Bo B', 1960)");
  db_->DbExecute(
      "INSERT INTO Alias (AliasName, CommonName, BirthYear) VALUES ('BO', 'Bo C', 1970)");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Alias"), 1);
}

TEST_F(SchemaTest, LoansAndEventsNeedAKnownUser) {
  db_->DbExecute("INSERT INTO LoanInfo (ProfileID, UserID) VALUES ('P', 'nobody')");
  db_->DbExecute(
      "INSERT INTO Events (EventID, ProfileID, UserID, EventType) VALUES (1, 'P', 'nobody', 'x')");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM LoanInfo"), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Events"), 0);
  db_->DbExecute("INSERT INTO Users (UserID) VALUES ('Ann')");
  db_->DbExecute("INSERT INTO LoanInfo (ProfileID, UserID) VALUES ('P', 'ann')");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM LoanInfo"), 1);
}

TEST_F(SchemaTest, ProfileKeysIgnoreCase) {
  db_->DbExecute("INSERT INTO Profiles (ProfileID, Title) VALUES ('Key_A', 'One')");
  db_->DbExecute("INSERT INTO Profiles (ProfileID, Title) VALUES ('KEY_a', 'Two')");
  db_->DbExecute("INSERT INTO Profiles (ProfileID) VALUES ('Key_B')");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Profiles"), 1);
  EXPECT_EQ(db_->DbOpenRecordSet("SELECT Title FROM Profiles WHERE ProfileID = 'key_a'")
                ->Value("Title")
                .ToText(),
            "One");
}

TEST_F(SchemaTest, EventIdentifiersAreOrdinaryUniqueKeys) {
  db_->DbExecute("INSERT INTO Users (UserID) VALUES ('u')");
  db_->DbExecute("INSERT INTO Events (EventID, ProfileID, UserID) VALUES (-5, 'P', 'u')");
  db_->DbExecute("INSERT INTO Events (EventID, ProfileID, UserID) VALUES (-5, 'Q', 'u')");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Events"), 1);
  EXPECT_EQ(Count("SELECT EventID FROM Events"), -5);
}

}  // namespace
}  // namespace zel
