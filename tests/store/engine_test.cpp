// The engine adapter: the dialect, the skipping rule of Execute, conversions, write scopes, files
// and the statement cache.
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "engine_fixture.h"
#include "frame/library_state.h"
#include "frame/object.h"
#include "frame/text.h"
#include "store/connection.h"
#include "store/engine_errors.h"
#include "store/table_defs.h"
#include "support/test_support.h"

namespace zel::store {
namespace {

namespace ec = engine_errc;

// ---- dialect ----

TEST(Dialect, ColumnTypesReadBackAsTheDialectsTypes) {
  Catalogue c;
  const TableDef* users = c.db().FindTable("users");
  ASSERT_NE(users, nullptr);
  EXPECT_EQ(users->name, "Users");
  EXPECT_EQ(users->columns[0].type, ColumnType::kText);
  EXPECT_EQ(users->columns[0].max_length, 255);
  EXPECT_EQ(users->columns[3].type, ColumnType::kBoolean);
  const TableDef* video = c.db().FindTable("VideoFormat");
  EXPECT_EQ(video->columns[1].max_length, 4);
  const TableDef* profiles = c.db().FindTable("Profiles");
  EXPECT_EQ(profiles->columns[3].type, ColumnType::kLong);
  EXPECT_EQ(profiles->columns[4].type, ColumnType::kDate);
  EXPECT_EQ(profiles->columns[5].type, ColumnType::kMemo);
  EXPECT_EQ(c.db().FindTable("SRPInfo")->columns[1].type, ColumnType::kDouble);
  EXPECT_EQ(c.db().FindTable("Nowhere"), nullptr);
  // Primary-key columns are required even where the statement does not say so.
  EXPECT_TRUE(c.db().FindTable("Retailers")->columns[0].not_null);
  const auto tables = c.db().TableDefs();
  ASSERT_EQ(tables.size(), 10u);
  EXPECT_EQ(tables.front().name, "Users");
  EXPECT_EQ(tables.back().name, "Awards");
}

TEST(Dialect, SoleIntegerKeyIsAnOrdinaryColumnNotTheRowid) {
  Catalogue c;
  c.db().Execute("INSERT INTO Users (UserID) VALUES ('ann')");
  c.db().Execute("INSERT INTO Events (EventID, ProfileID, UserID) VALUES ('1000', 'p', 'ann')");
  EXPECT_EQ(c.Raw("SELECT rowid FROM Events"), "1");
  EXPECT_EQ(c.Raw("SELECT EventID FROM Events"), "1000");
  // A key must not take a null, which the rowid alias would have replaced by a number.
  EXPECT_EQ(c.db().Execute("INSERT INTO Events (EventID, ProfileID, UserID) VALUES "
                           "(NULL, 'p', 'ann')"),
            0);
  EXPECT_EQ(c.Count("Events"), 1);
}

TEST(Dialect, BracketsBooleansAndConcatenation) {
  Catalogue c;
  c.db().Execute(
      "INSERT INTO [CastCrew] ([Name], [ProfileID], [Position], [IsCast]) VALUES ('Ann Lee', "
      "'p1', 1, true)");
  c.db().Execute(
      "INSERT INTO CastCrew (Name, ProfileID, Position, IsCast) VALUES ('Bo', 'p1', 2, false)");
  EXPECT_EQ(c.First("SELECT [Name] & ' #' & Position FROM CastCrew WHERE IsCast = true").ToText(),
            "Ann Lee #1");
  EXPECT_EQ(c.First("SELECT Name FROM CastCrew WHERE IsCast = False").ToText(), "Bo");
  EXPECT_EQ(c.Raw("SELECT typeof(IsCast) || IsCast FROM CastCrew WHERE Name = 'Ann Lee'"),
            "integer1");
}

TEST(Dialect, LikeWildcardsOfTheDialect) {
  Catalogue c;
  for (const char* nominee : {"Ann Lee", "ann-marie", "100% Bo", "a_b", "ABC", "Zed 7"}) {
    c.db().Execute(std::string("INSERT INTO Awards (Award, Year, MovieTitle, Nominee) VALUES "
                               "('Oscar', 2000, 'M', '") +
                   nominee + "')");
  }
  auto count = [&](std::string_view where) {
    return c.First("SELECT COUNT(*) FROM Awards WHERE " + std::string(where)).ToLong();
  };
  EXPECT_EQ(count("Nominee LIKE '*ann*'"), 2);  // letter case ignored
  EXPECT_EQ(count("Nominee LIKE 'a?b'"), 1);
  EXPECT_EQ(count("Nominee LIKE 'A_B'"), 1);  // `_` is an ordinary character
  EXPECT_EQ(count("Nominee LIKE '*%*'"), 1);  // so is `%`
  EXPECT_EQ(count("Nominee LIKE '*#'"), 1);
  EXPECT_EQ(count("Nominee LIKE '[a-b]*'"), 4);
  EXPECT_EQ(count("Nominee LIKE '[!a]*'"), 2);
  EXPECT_EQ(count("Nominee NOT LIKE '*ann*'"), 4);
  EXPECT_EQ(count("Nominee NOT LIKE '[z]*'"), 5);
}

TEST(Dialect, OnlyOneStatementPerCall) {
  Catalogue c;
  c.db().Execute("INSERT INTO Users (UserID) VALUES ('ann');");
  c.db().Execute("INSERT INTO Users (UserID) VALUES ('bo') ; -- done\n");
  EXPECT_ZEL_ERROR(c.db().Execute("DELETE FROM Users; DELETE FROM Profiles"),
                   ec::kTextAfterStatement, "Characters found after end of SQL statement.");
  EXPECT_ZEL_ERROR(c.db().OpenRecordSet("SELECT * FROM Users; x"), ec::kTextAfterStatement,
                   "Characters found after end of SQL statement.");
  EXPECT_EQ(c.Count("Users"), 2);
}

TEST(Dialect, TextComparesOrdersAndKeysIgnoringCase) {
  Catalogue c;
  c.db().Execute("INSERT INTO Users (UserID) VALUES ('bob')");
  c.db().Execute("INSERT INTO Users (UserID) VALUES ('Carl')");
  c.db().Execute("INSERT INTO Users (UserID) VALUES ('alice')");
  EXPECT_EQ(c.db().Execute("INSERT INTO Users (UserID) VALUES ('BOB')"), 0);
  EXPECT_EQ(c.First("SELECT UserID FROM Users WHERE UserID = 'CARL'").ToText(), "Carl");
  auto records = c.db().OpenRecordSet("SELECT UserID FROM Users ORDER BY UserID DESC");
  std::string order;
  for (; !records->Eof(); records->MoveNext()) order += records->Value("userid").ToText() + " ";
  EXPECT_EQ(order, "Carl bob alice ");
  // The unique index of two columns ignores case as well.
  c.db().Execute("INSERT INTO Alias (AliasName, CommonName, BirthYear) VALUES ('x', 'X', 1)");
  EXPECT_EQ(c.db().Execute("INSERT INTO Alias (AliasName, CommonName) VALUES ('X', 'y')"), 0);
}

TEST(Dialect, JoinsAliasesAndTheQueriesOfTheLibrary) {
  Catalogue c;
  c.db().Execute(
      "INSERT INTO Profiles (ProfileID, Title, SortTitle, ProdYear) VALUES ('p1', "
      "'Alpha', 'alpha', '1999')");
  c.db().Execute(
      "INSERT INTO Profiles (ProfileID, Title, SortTitle, ProdYear) VALUES ('p2', "
      "'Beta', 'beta', '2005')");
  c.db().Execute(
      "INSERT INTO CastCrew (Name, Role, ProfileID, Position, BirthYear, IsCast) "
      "VALUES ('Ann', 'Hero', 'p1', '1', '1970', 'True')");
  c.db().Execute("INSERT INTO Alias (AliasName, CommonName) VALUES ('Ann', 'Ann Lee')");
  c.db().Execute("INSERT INTO VideoFormat (ProfileID, AspectRatio) VALUES ('p1', '1.85')");

  auto cast = c.db().OpenRecordSet(
      "SELECT Name, Role, Position, CommonName, IsUncredited, IsVoice, c.BirthYear , "
      "IsCreditOnly FROM CastCrew c LEFT JOIN Alias a ON a.AliasName = c.Name WHERE "
      "c.ProfileID = 'p1' AND c.IsCast = true ORDER BY Position");
  ASSERT_FALSE(cast->Eof());
  EXPECT_EQ(cast->Value("CommonName").ToText(), "Ann Lee");
  EXPECT_EQ(cast->Value("BirthYear"), Variant(int32_t{1970}));

  auto found = c.db().OpenRecordSet(
      "SELECT c.ProfileID as [ProfileID], * FROM Profiles m, CastCrew c WHERE c.Name = 'ann' AND "
      "c.ProfileID = m.ProfileID");
  ASSERT_FALSE(found->Eof());
  EXPECT_EQ(found->Value("ProfileID").ToText(), "p1");
  EXPECT_EQ(found->Value("Title").ToText(), "Alpha");

  EXPECT_EQ(c.First("SELECT m.Title FROM (Profiles m INNER JOIN CastCrew c ON c.ProfileID = "
                    "m.ProfileID) INNER JOIN VideoFormat v ON v.ProfileID = m.ProfileID")
                .ToText(),
            "Alpha");
  EXPECT_EQ(c.First("SELECT COUNT(*) FROM Profiles WHERE ProdYear BETWEEN '1990' AND 2000"),
            Variant(int32_t{1}));
  EXPECT_EQ(c.First("SELECT Title FROM Profiles WHERE Released IS NULL ORDER BY SortTitle DESC"),
            Variant("Beta"));
  EXPECT_EQ(c.First("SELECT COUNT(*) FROM Profiles WHERE ProfileID IN ('P1', 'p2')"),
            Variant(int32_t{2}));
  EXPECT_EQ(c.First("SELECT DISTINCT t.* FROM Profiles t WHERE t.ProdYear > -1 AND '2000' < "
                    "t.ProdYear"),
            Variant("p2"));
  EXPECT_EQ(c.db().Execute("DELETE * FROM VideoFormat"), 1);
  EXPECT_EQ(c.Count("VideoFormat"), 0);
}

// ---- execute semantics ----

TEST(Execute, RefusedSingleRowIsSkippedWithoutError) {
  Catalogue c;
  EXPECT_EQ(c.db().Execute("INSERT INTO Users (UserID) VALUES ('ann')"), 1);
  EXPECT_EQ(c.db().Execute("INSERT INTO Users (UserID) VALUES ('ann')"), 0);      // key
  EXPECT_EQ(c.db().Execute("INSERT INTO Profiles (ProfileID) VALUES ('p')"), 0);  // NOT NULL
  EXPECT_EQ(
      c.db().Execute("INSERT INTO Events (EventID, ProfileID, UserID) VALUES (1, 'p', 'nobody')"),
      0);  // reference
  // Two credits that differ only in IsCast are both kept; differing only in Role is refused.
  c.db().Execute(
      "INSERT INTO CastCrew (Name, Role, ProfileID, Position, IsCast) VALUES ('A', "
      "'x', 'p', 1, true)");
  EXPECT_EQ(c.db().Execute("INSERT INTO CastCrew (Name, Role, ProfileID, Position, IsCast) "
                           "VALUES ('A', 'x', 'p', 1, false)"),
            1);
  EXPECT_EQ(c.db().Execute("INSERT INTO CastCrew (Name, Role, ProfileID, Position, IsCast) "
                           "VALUES ('A', 'y', 'p', 1, true)"),
            0);
  EXPECT_EQ(c.Count("Users"), 1);
  EXPECT_EQ(c.Count("Events"), 0);
  EXPECT_EQ(c.Count("CastCrew"), 2);

  // The library's bound inserts skip the same rows, or raise what a record set's Update raises.
  static const Connection::RowShape kUser{"Users", {"UserID"}};
  static const Connection::RowShape kEvent{"Events", {"EventID", "ProfileID", "UserID"}};
  using enum Connection::Refused;
  EXPECT_EQ(c.db().Insert(kUser, {Variant("ANN")}, kSkip), 0);
  EXPECT_EQ(c.db().Insert(kUser, {Variant::Null()}, kSkip), 0);
  EXPECT_EQ(c.db().Insert(kEvent, {Variant("1"), Variant("p"), Variant("nobody")}, kSkip), 0);
  EXPECT_ZEL_ERROR_NUMBER(c.db().Insert(kUser, {Variant("ann")}, kRaise), ec::kDuplicateKey);
  EXPECT_ZEL_ERROR(c.db().Insert(kEvent, {Variant("1"), Variant("p"), Variant("nobody")}, kRaise),
                   ec::kRelatedRecordRequired,
                   "You cannot add or change a record because a related record is required in "
                   "table 'Users'.");
  EXPECT_EQ(c.db().Insert(kUser, {Variant("bo")}, kRaise), 1);
  EXPECT_EQ(c.Count("Users"), 2);
  EXPECT_EQ(c.Count("Events"), 0);
}

TEST(Execute, MultiRowStatementsSkipOnlyTheRefusedRows) {
  Catalogue c;
  for (const char* user : {"ann", "bo", "cy", "di"}) {
    c.db().Execute(std::string("INSERT INTO Users (UserID) VALUES ('") + user + "')");
  }
  c.db().Execute("INSERT INTO Events (EventID, ProfileID, UserID) VALUES (1, 'p', 'bo')");
  EXPECT_EQ(c.db().Execute("DELETE FROM Users"), 3);
  EXPECT_EQ(c.Raw("SELECT group_concat(UserID) FROM Users"), "bo");

  for (const char* user : {"ann", "cy"}) {
    c.db().Execute(std::string("INSERT INTO Users (UserID, PhoneNumber) VALUES ('") + user +
                   "', '1')");
  }
  // Renaming every user to the same key: one row can take it, the others are refused.
  EXPECT_EQ(c.db().Execute("UPDATE Users SET UserID = 'zed', PhoneNumber = '2' WHERE "
                           "PhoneNumber = '1'"),
            1);
  EXPECT_EQ(c.Raw("SELECT count(*) FROM Users WHERE UserID = 'zed' AND PhoneNumber = '2'"), "1");
  EXPECT_EQ(c.Count("Users"), 3);

  c.db().Execute("INSERT INTO Alias (AliasName, CommonName) VALUES ('bo', 'old')");
  EXPECT_EQ(c.db().Execute("INSERT INTO Alias (AliasName, CommonName) SELECT UserID, UserID FROM "
                           "Users"),
            2);
  EXPECT_EQ(c.Raw("SELECT CommonName FROM Alias WHERE AliasName = 'bo'"), "old");
  EXPECT_EQ(c.Count("Alias"), 3);
}

TEST(Execute, StatementErrorsAreRaisedAndChangeNothing) {
  Catalogue c;
  c.db().Execute("INSERT INTO Users (UserID) VALUES ('ann')");
  EXPECT_ZEL_ERROR(c.db().Execute("DELETE FROM Nowhere"), ec::kUnknownTable,
                   "The table 'Nowhere' does not exist.");
  EXPECT_ZEL_ERROR(c.db().Execute("DELETE FROM Users WHERE Colour = 'red'"), ec::kUnknownColumn,
                   "Unknown column 'Colour' in statement 'DELETE FROM Users WHERE Colour = "
                   "'red''.");
  EXPECT_ZEL_ERROR_NUMBER(c.db().Execute("DELETE FROM Users WHERE"), ec::kSyntax);
  EXPECT_ZEL_ERROR_NUMBER(c.db().Execute("INSERT INTO Users (UserID) VALUES ('unterminated)"),
                          ec::kSyntax);
  EXPECT_ZEL_ERROR(c.db().Execute("CREATE TABLE Users (X varchar)"), ec::kTableExists,
                   "Table 'Users' already exists.");
  EXPECT_ZEL_ERROR(c.db().Execute("CREATE INDEX idx_CastCrew_Name ON CastCrew (Role)"),
                   ec::kIndexExists, "Index 'idx_CastCrew_Name' already exists.");
  EXPECT_ZEL_ERROR_NUMBER(
      c.db().Execute("UPDATE Users SET PhoneNumber = '" + std::string(256, 'x') + "'"),
      ec::kValueTooLong);
  EXPECT_EQ(c.Raw("SELECT PhoneNumber FROM Users"), "<null>");
  EXPECT_EQ(c.Count("Users"), 1);
}

// ---- conversions ----

TEST(Conversion, TextLiteralsBecomeTheColumnsType) {
  Catalogue c;
  ScopedDecimalSeparator comma(",");
  c.db().Execute(
      "INSERT INTO Profiles (ProfileID, Title, ProdYear, Released, CountAs) VALUES "
      "('p1', 'T', ' 1999 ', '5/1/2024 1:45:10 PM', '2,5')");
  EXPECT_EQ(c.Raw("SELECT typeof(ProdYear) || ':' || ProdYear FROM Profiles"), "integer:1999");
  EXPECT_EQ(c.Raw("SELECT Released FROM Profiles"), "2024-05-01 13:45:10");
  EXPECT_EQ(c.Raw("SELECT CountAs FROM Profiles"), "2");  // half to even
  // The library's bound inserts store what the literals of a statement store.
  static const Connection::RowShape kProfile{
      "Profiles", {"ProfileID", "Title", "ProdYear", "Released", "CountAs"}};
  c.db().Insert(kProfile,
                {Variant("p0"), Variant("T"), Variant(" 1999 "), Variant("5/1/2024 1:45:10 PM"),
                 Variant("2,5")},
                Connection::Refused::kRaise);
  EXPECT_EQ(c.Raw("SELECT group_concat(typeof(ProdYear) || ProdYear || Released || CountAs, '|') "
                  "FROM Profiles"),
            "integer19992024-05-01 13:45:102|integer19992024-05-01 13:45:102");
  c.db().Execute("DELETE FROM Profiles WHERE ProfileID = 'p0'");
  c.db().Execute("INSERT INTO Currencies (CurrencyID) VALUES ('EUR')");
  c.db().Execute(
      "INSERT INTO SRPInfo (ProfileID, SRPValue, CurrencyID) VALUES ('p1', '19,99', "
      "'EUR')");
  EXPECT_EQ(c.Raw("SELECT typeof(SRPValue) || ':' || SRPValue FROM SRPInfo"), "real:19.99");
  c.db().Execute(
      "INSERT INTO Profiles (ProfileID, Title, ProdYear, Released) VALUES ('p2', 'U', "
      "'', '2024-05-01T08:00:00')");
  EXPECT_EQ(c.Raw("SELECT typeof(ProdYear) FROM Profiles WHERE ProfileID = 'p2'"), "null");
  EXPECT_EQ(c.Raw("SELECT Released FROM Profiles WHERE ProfileID = 'p2'"), "2024-05-01 08:00:00");
  c.db().Execute("UPDATE Profiles SET Released = 45413 WHERE ProfileID = 'p2'");
  EXPECT_EQ(c.Raw("SELECT Released FROM Profiles WHERE ProfileID = 'p2'"), "2024-05-01 00:00:00");
  // Comparisons convert the literal to the column's type too.
  EXPECT_EQ(c.First("SELECT ProfileID FROM Profiles WHERE Released = '2024-05-01'"), Variant("p2"));
  EXPECT_EQ(c.First("SELECT ProfileID FROM Profiles WHERE Released > #4/30/2024#"), Variant("p1"));

  for (const char* word : {"True", "yes", "ON", "-1", "False", "no", "off", "0"}) {
    c.db().Execute("DELETE FROM Users");
    c.db().Execute(std::string("INSERT INTO Users (UserID, IsActive) VALUES ('u', '") + word +
                   "')");
    const std::string expected = std::string(word) == "-1" || ToLower(word) == "true" ||
                                         ToLower(word) == "yes" || ToLower(word) == "on"
                                     ? "1"
                                     : "0";
    EXPECT_EQ(c.Raw("SELECT IsActive FROM Users"), expected) << word;
  }
}

TEST(Conversion, ValuesThatDoNotFitAreErrors) {
  Catalogue c;
  EXPECT_ZEL_ERROR(c.db().Execute("INSERT INTO Profiles (ProfileID, Title, ProdYear) VALUES "
                                  "('p', 'T', 'abc')"),
                   ec::kDataTypeMismatch,
                   "Data type mismatch: 'abc' is not a valid value for column Profiles.ProdYear.");
  EXPECT_ZEL_ERROR_NUMBER(c.db().Execute("INSERT INTO Profiles (ProfileID, Title, Released) "
                                         "VALUES ('p', 'T', '2024-13-45')"),
                          ec::kDataTypeMismatch);
  EXPECT_ZEL_ERROR_NUMBER(c.db().Execute("INSERT INTO Profiles (ProfileID, Title, ProdYear) "
                                         "VALUES ('p', 'T', '99999999999999999999')"),
                          ec::kNumericOverflow);
  EXPECT_ZEL_ERROR(c.db().Execute("INSERT INTO VideoFormat (ProfileID, AspectRatio) VALUES "
                                  "('p', '1.855')"),
                   ec::kValueTooLong,
                   "The field VideoFormat.AspectRatio is too small to accept the amount of data "
                   "you attempted to add: 5 characters, at most 4.");
  static const Connection::RowShape kFormat{"VideoFormat", {"ProfileID", "AspectRatio"}};
  EXPECT_ZEL_ERROR(
      c.db().Insert(kFormat, {Variant("p"), Variant("1.855")}, Connection::Refused::kSkip),
      ec::kValueTooLong,
      "The field VideoFormat.AspectRatio is too small to accept the amount of data you attempted "
      "to add: 5 characters, at most 4.");
  // Every value is converted before any length is checked, as a record set's assignments come
  // before its Update: a row with both faults reports the type.
  static const Connection::RowShape kBoth{"VideoFormat", {"ProfileID", "AspectRatio", "LetterBox"}};
  EXPECT_ZEL_ERROR(
      c.db().Insert(kBoth, {Variant("p"), Variant("1.855"), Variant("maybe")},
                    Connection::Refused::kRaise),
      ec::kDataTypeMismatch,
      "Data type mismatch: 'maybe' is not a valid value for column VideoFormat.LetterBox.");
  auto format = c.db().OpenRecordSet("SELECT * FROM VideoFormat");
  format->AddNew();
  format->SetValue("AspectRatio", Variant("1.855"));
  EXPECT_ZEL_ERROR_NUMBER(format->SetValue("LetterBox", Variant("maybe")), ec::kDataTypeMismatch);
  static const Connection::RowShape kYear{"Profiles", {"ProfileID", "Title", "ProdYear"}};
  EXPECT_ZEL_ERROR(c.db().Insert(kYear, {Variant("p"), Variant("T"), Variant("abc")},
                                 Connection::Refused::kSkip),
                   ec::kDataTypeMismatch,
                   "Data type mismatch: 'abc' is not a valid value for column Profiles.ProdYear.");
  // The limit counts characters, not bytes.
  EXPECT_EQ(c.db().Execute("INSERT INTO VideoFormat (ProfileID, AspectRatio) VALUES ('p', "
                           "'\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9')"),
            1);
  EXPECT_EQ(c.db().Insert(kFormat, {Variant("q"), Variant("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9")},
                          Connection::Refused::kRaise),
            1);
  EXPECT_EQ(c.Count("Profiles"), 0);

  // Values that come from the file rather than the statement meet the same limit.
  EXPECT_ZEL_ERROR(c.db().Execute("UPDATE VideoFormat SET AspectRatio = AspectRatio & 'x'"),
                   ec::kValueTooLong,
                   "The field VideoFormat.AspectRatio is too small to accept the amount of data "
                   "you attempted to add: at most 4 characters.");
  c.db().Execute("INSERT INTO Users (UserID, PhoneNumber) VALUES ('u', '12345')");
  EXPECT_ZEL_ERROR_NUMBER(c.db().Execute("INSERT INTO VideoFormat (ProfileID, AspectRatio) "
                                         "SELECT UserID, PhoneNumber FROM Users"),
                          ec::kValueTooLong);
  EXPECT_EQ(c.Raw("SELECT group_concat(ProfileID || ':' || AspectRatio) FROM VideoFormat"),
            "p:\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9,q:\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9");
}

// ---- write scopes ----

TEST(WriteScope, NestedScopesCommitAndRollBack) {
  Catalogue c;
  {
    WriteScope outer(c.db());
    c.db().Execute("INSERT INTO Users (UserID) VALUES ('a')");
    {
      WriteScope inner(c.db());
      c.db().Execute("INSERT INTO Users (UserID) VALUES ('b')");
      EXPECT_EQ(c.db().ScopeDepth(), 2);
    }  // rolled back
    {
      WriteScope inner(c.db());
      c.db().Execute("INSERT INTO Users (UserID) VALUES ('c')");
      inner.Commit();
    }
    outer.Commit();
  }
  EXPECT_EQ(c.db().ScopeDepth(), 0);
  EXPECT_EQ(c.Raw("SELECT group_concat(UserID) FROM Users"), "a,c");

  try {
    WriteScope scope(c.db());
    c.db().Execute("DELETE FROM Users");
    throw std::runtime_error("stop");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(c.Count("Users"), 2);
}

// ---- files ----

TEST(Files, OpenErrorsCreateNothing) {
  testing::TempDir dir;
  const std::string missing = dir.File("missing.zel");
  EXPECT_ZEL_ERROR(Connection::Open(missing), ec::kFileNotFound,
                   "Could not find file '" + missing + "'.");
  EXPECT_FALSE(std::filesystem::exists(missing));

  const std::string text = dir.File("notes.txt");
  std::ofstream(text) << "This is not a database, just some text that is long enough.";
  EXPECT_ZEL_ERROR(Connection::Open(text), ec::kNotADatabase,
                   "Unrecognized database format '" + text + "'.");
  const std::string empty = dir.File("empty.zel");
  std::ofstream(empty).close();
  EXPECT_ZEL_ERROR_NUMBER(Connection::Open(empty), ec::kNotADatabase);
  EXPECT_EQ(std::filesystem::file_size(empty), 0u);
  EXPECT_FALSE(std::filesystem::exists(empty + "-wal"));

  const std::string made = dir.File("made.zel");
  Connection::Create(made);
  EXPECT_ZEL_ERROR(Connection::Create(made), ec::kFileExists,
                   "Could not create '" + made + "': the file already exists.");
  EXPECT_EQ(Connection::Open(made)->Name(), made);
}

TEST(Files, StoredFormatIsPlainSqlite) {
  Catalogue c;
  c.db().Execute("INSERT INTO Users (UserID, IsActive) VALUES ('ann', 'True')");
  c.db().Execute(
      "INSERT INTO Events (EventID, ProfileID, UserID, EventTimeStamp) VALUES (1, 'p', 'ann', "
      "'2024-05-01')");
  EXPECT_EQ(c.Raw("SELECT typeof(IsActive) || IsActive FROM Users"), "integer1");
  EXPECT_EQ(c.Raw("SELECT typeof(EventTimeStamp) || ' ' || EventTimeStamp FROM Events"),
            "text 2024-05-01 00:00:00");
  EXPECT_EQ(c.Raw("PRAGMA journal_mode"), "wal");
  // The case rule lives in the schema, so plain tools see it too.
  EXPECT_EQ(c.Raw("SELECT UserID FROM Users WHERE UserID = 'ANN'"), "ann");
}

TEST(Files, CompactWritesAReadableCopyOfAFileNobodyHasOpen) {
  Catalogue c;
  c.db().Execute("INSERT INTO Users (UserID) VALUES ('o''brien')");
  testing::TempDir dir;
  const std::string copy = dir.File("it's a copy.zel");
  // An open connection would go on writing to the file the copy replaces.
  EXPECT_ZEL_ERROR(Connection::Compact(c.path(), copy), ec::kLocked,
                   "The file '" + c.path() +
                       "' is open elsewhere (another catalogue object or another program); close "
                       "it before compacting.");
  c.shared().reset();
  Connection::Compact(c.path(), copy);
  EXPECT_EQ(RawQuery(copy, "SELECT UserID FROM Users"), "o'brien");
  EXPECT_ZEL_ERROR_NUMBER(Connection::Compact(c.path(), copy), ec::kFileExists);
  EXPECT_ZEL_ERROR_NUMBER(Connection::Compact(dir.File("none.zel"), dir.File("x.zel")),
                          ec::kFileNotFound);
  auto reopened = Connection::Open(copy);
  EXPECT_EQ(reopened->OpenRecordSet("SELECT * FROM Users")->Value("UserID"), Variant("o'brien"));
}

// ---- cache and definitions ----

TEST(Connection, StatementsOfOneShapeShareAPreparedStatement) {
  Catalogue c;
  c.db().Execute("INSERT INTO Users (UserID) VALUES ('a')");
  const auto before = c.db().stats();
  c.db().Execute("INSERT INTO Users (UserID) VALUES ('b')");
  c.db().Execute("INSERT INTO Users (UserID) VALUES ('it''s')");
  const auto after = c.db().stats();
  EXPECT_EQ(after.cache_misses, before.cache_misses);
  EXPECT_EQ(after.cache_hits, before.cache_hits + 2);
  EXPECT_EQ(after.statements, before.statements + 2);
  c.db().SetStatementCache(false);
  c.db().Execute("INSERT INTO Users (UserID) VALUES ('c')");
  EXPECT_EQ(c.db().stats().cache_misses, after.cache_misses + 1);
  EXPECT_EQ(c.Count("Users"), 4);

  // A bound insert keeps its cached statement, and prepares it anew once the cache dropped it:
  // here pushed out by more statements than the cache holds, then cleared.
  c.db().SetStatementCache(true);
  static const Connection::RowShape kUser{"Users", {"UserID"}};
  const auto insert = [&](const std::string& user) {
    return c.db().Insert(kUser, {Variant(user)}, Connection::Refused::kRaise);
  };
  EXPECT_EQ(insert("d"), 1);
  const auto kept = c.db().stats();
  EXPECT_EQ(insert("e"), 1);
  EXPECT_EQ(c.db().stats().cache_hits, kept.cache_hits + 1);
  for (int i = 0; i < 400; ++i) {
    c.db().Read("SELECT " + std::to_string(i) + " FROM Users WHERE UserID = ?",
                {StoredValue::Text("a")});
  }
  const auto pushed_out = c.db().stats();
  EXPECT_EQ(insert("f"), 1);
  EXPECT_EQ(c.db().stats().cache_misses, pushed_out.cache_misses + 1);
  c.db().SetStatementCache(false);
  c.db().SetStatementCache(true);
  EXPECT_EQ(insert("g"), 1);
  EXPECT_EQ(c.Count("Users"), 8);
}

TEST(Connection, TableDefsForScripts) {
  Catalogue c;
  TableDefs defs(c.db().TableDefs());
  EXPECT_EQ(Invoke(defs, "Count", CallKind::kGet), Variant(int32_t{10}));
  ObjectPtr video = Invoke(defs, "Item", CallKind::kCall, {Variant("videoformat")}).ToObject();
  EXPECT_EQ(Invoke(*video, "Name", CallKind::kGet), Variant("VideoFormat"));
  ObjectPtr fields = Invoke(*video, "Fields", CallKind::kGet).ToObject();
  ObjectPtr ratio = Invoke(*fields, "Item", CallKind::kCall, {Variant(int32_t{1})}).ToObject();
  EXPECT_EQ(Invoke(*ratio, "Type", CallKind::kGet), Variant(int16_t{10}));
  EXPECT_EQ(Invoke(*ratio, "Size", CallKind::kGet), Variant(int32_t{4}));
  ObjectPtr flag = Invoke(*fields, "Item", CallKind::kCall, {Variant("LetterBox")}).ToObject();
  EXPECT_EQ(Invoke(*flag, "Type", CallKind::kGet), Variant(int16_t{1}));
  EXPECT_ZEL_ERROR_NUMBER(Invoke(defs, "Item", CallKind::kCall, {Variant(int32_t{10})}),
                          ec::kUnknownField);
}

}  // namespace
}  // namespace zel::store
