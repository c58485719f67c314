#include "store/sql_translator.h"

#include "frame/text.h"
#include "store/engine_errors.h"
#include "support/test_support.h"

namespace zel::store {
namespace {

const std::vector<TableDef>& Tables() {
  static const std::vector<TableDef> tables = {
      {"Profiles",
       {{"ProfileID", ColumnType::kText, 255, true},
        {"Title", ColumnType::kText, 255, true},
        {"ProdYear", ColumnType::kLong, 0, false},
        {"Released", ColumnType::kDate, 0, false}}},
      {"CastCrew",
       {{"Name", ColumnType::kText, 255, true},
        {"ProfileID", ColumnType::kText, 255, true},
        {"Position", ColumnType::kLong, 0, true},
        {"IsCast", ColumnType::kBoolean, 0, false}}},
  };
  return tables;
}

Translation Tr(std::string_view sql) {
  return Translate(sql, [](std::string_view name) -> const TableDef* {
    for (const TableDef& table : Tables()) {
      if (EqualsIgnoreCase(table.name, name)) return &table;
    }
    return nullptr;
  });
}

std::string ColumnOf(const Literal& literal) {
  return literal.column ? literal.table->name + "." + literal.column->name : "-";
}

TEST(SqlTranslator, LiteralsBecomePlaceholdersWithTheirColumns) {
  const Translation t =
      Tr("SELECT * FROM Profiles p INNER JOIN CastCrew c ON c.ProfileID = p.ProfileID WHERE "
         "p.ProdYear BETWEEN '1990' AND 2000 AND Position IN (1, '2') AND 'x' = [Name] AND "
         "c.IsCast = true ORDER BY 2 DESC");
  EXPECT_EQ(t.kind, StatementKind::kSelect);
  EXPECT_EQ(t.sql,
            "SELECT * FROM Profiles p INNER JOIN CastCrew c ON c.ProfileID = p.ProfileID WHERE "
            "p.ProdYear BETWEEN ? AND ? AND Position IN (?, ?) AND ? = \"Name\" AND c.IsCast = 1 "
            "ORDER BY 2 DESC");
  ASSERT_EQ(t.params.size(), 5u);
  EXPECT_EQ(ColumnOf(t.params[0]), "Profiles.ProdYear");
  EXPECT_EQ(ColumnOf(t.params[1]), "Profiles.ProdYear");
  EXPECT_EQ(ColumnOf(t.params[2]), "CastCrew.Position");
  EXPECT_EQ(ColumnOf(t.params[3]), "CastCrew.Position");
  EXPECT_EQ(ColumnOf(t.params[4]), "CastCrew.Name");
  EXPECT_FALSE(t.single_table);
}

TEST(SqlTranslator, InsertAndUpdateValuesAreStoredIntoTheirColumns) {
  const Translation insert =
      Tr("INSERT INTO Profiles (ProfileID, ProdYear, Title) VALUES ('p', '1999', 'It''s')");
  EXPECT_EQ(insert.kind, StatementKind::kInsertValues);
  ASSERT_EQ(insert.params.size(), 3u);
  EXPECT_EQ(ColumnOf(insert.params[1]), "Profiles.ProdYear");
  EXPECT_EQ(ColumnOf(insert.params[2]), "Profiles.Title");
  EXPECT_EQ(insert.params[2].text, "It's");
  EXPECT_TRUE(insert.params[2].stored);

  const Translation all = Tr("INSERT INTO CastCrew VALUES ('n', 'p', -3, 'True')");
  ASSERT_EQ(all.params.size(), 4u);
  EXPECT_EQ(ColumnOf(all.params[2]), "CastCrew.Position");
  EXPECT_EQ(all.params[2].text, "-3");

  const Translation update =
      Tr("UPDATE Profiles SET Title = 'T', ProdYear = 2 WHERE Released < #5/1/2024#");
  EXPECT_EQ(update.kind, StatementKind::kUpdate);
  EXPECT_EQ(update.sql.substr(update.where_pos), " WHERE Released < ?");
  EXPECT_EQ(update.params_before_where, 2u);
  EXPECT_TRUE(update.params[1].stored);
  EXPECT_FALSE(update.params[2].stored);
  EXPECT_EQ(update.params[2].text, "2024-05-01 00:00:00");

  const Translation copy =
      Tr("INSERT INTO CastCrew (Name, ProfileID, Position) SELECT Title, "
         "ProfileID, 1 FROM Profiles WHERE ProdYear = 5");
  EXPECT_EQ(copy.kind, StatementKind::kInsertSelect);
  EXPECT_EQ(copy.sql.substr(copy.select_pos),
            " SELECT Title, ProfileID, ? FROM Profiles WHERE ProdYear = ?");
  EXPECT_EQ(copy.params_before_select, 0u);
}

TEST(SqlTranslator, DeleteStarAndSingleTableQueries) {
  EXPECT_EQ(Tr("DELETE * FROM Profiles WHERE ProfileID = 'x'").sql,
            "DELETE FROM Profiles WHERE ProfileID = ?");
  EXPECT_EQ(Tr("DELETE Profiles.* FROM Profiles").sql, "DELETE FROM Profiles");
  const Translation one = Tr("SELECT * FROM Profiles p WHERE p.ProfileID = 'x' ORDER BY Title");
  EXPECT_TRUE(one.single_table);
  EXPECT_EQ(one.table_ref, "p");
  EXPECT_EQ(one.sql.substr(one.from_pos, 14), " FROM Profiles");
  EXPECT_FALSE(Tr("SELECT DISTINCT Title FROM Profiles").single_table);
  EXPECT_FALSE(Tr("SELECT ProdYear, COUNT(*) FROM Profiles GROUP BY ProdYear").single_table);
  EXPECT_FALSE(Tr("SELECT * FROM Profiles, CastCrew").single_table);
}

TEST(SqlTranslator, LikePatterns) {
  std::string out;
  ASSERT_TRUE(LikePattern("*100%_a?\\", out));
  EXPECT_EQ(out, "%100\\%\\_a_\\\\");
  EXPECT_FALSE(LikePattern("#*", out));
  EXPECT_FALSE(LikePattern("[a-c]*", out));
  EXPECT_EQ(GlobPattern("a#[!x-z]*?"), "[aA][0-9][^x-zX-Z]*?");
  EXPECT_EQ(GlobPattern("[*]%_"), "[*]%_");
  const Translation t =
      Tr("SELECT * FROM CastCrew WHERE Name LIKE '*a_b*' OR Name NOT LIKE "
         "'[ab]#'");
  EXPECT_EQ(t.sql, "SELECT * FROM CastCrew WHERE Name LIKE ? ESCAPE '\\' OR Name NOT GLOB ?");
  EXPECT_EQ(t.params[0].text, "%a\\_b%");
  EXPECT_EQ(t.params[1].text, "[aAbB][0-9]");
}

TEST(SqlTranslator, CreateTableWritesSqliteTypesWithTheCaseRule) {
  const Translation t =
      Tr("CREATE TABLE Events (EventID long PRIMARY KEY NOT NULL, Ratio varchar(4) NOT NULL, Notes "
         "memo, Price NUMERIC, Stamp date, Flag yesno, UserID varchar REFERENCES Users(UserID))");
  EXPECT_EQ(t.kind, StatementKind::kCreateTable);
  EXPECT_EQ(t.sql,
            "CREATE TABLE Events (\"EventID\" INT PRIMARY KEY NOT NULL, \"Ratio\" VARCHAR(4) "
            "COLLATE NOCASE NOT NULL CONSTRAINT \"Events.Ratio at most 4\" CHECK "
            "(length(\"Ratio\") <= 4), \"Notes\" TEXT COLLATE NOCASE, \"Price\" DOUBLE, "
            "\"Stamp\" DATETIME, \"Flag\" BOOLEAN, \"UserID\" VARCHAR(255) COLLATE NOCASE "
            "REFERENCES Users (UserID) CONSTRAINT \"Events.UserID at most 255\" CHECK "
            "(length(\"UserID\") <= 255))");
  const Translation key =
      Tr("CREATE TABLE Discs (ProfileID memo, DiscNo integer NOT NULL, "
         "PRIMARY KEY (ProfileID, DiscNo))");
  EXPECT_EQ(key.sql,
            "CREATE TABLE Discs (\"ProfileID\" TEXT COLLATE NOCASE NOT NULL, \"DiscNo\" "
            "INTEGER NOT NULL, PRIMARY KEY (ProfileID, DiscNo))");
  int32_t length = 0;
  EXPECT_EQ(TypeOfDeclared("VARCHAR(4)", length), ColumnType::kText);
  EXPECT_EQ(length, 4);
  EXPECT_EQ(TypeOfDeclared("INT", length), ColumnType::kLong);
  EXPECT_EQ(TypeOfDeclared("TEXT", length), ColumnType::kMemo);
}

TEST(SqlTranslator, MalformedStatements) {
  EXPECT_ZEL_ERROR(Tr("SELECT 1; SELECT 2"), engine_errc::kTextAfterStatement,
                   "Characters found after end of SQL statement.");
  EXPECT_ZEL_ERROR(Tr("SELECT 'open"), engine_errc::kSyntax,
                   "Unterminated text literal in statement 'SELECT 'open'.");
  EXPECT_ZEL_ERROR_NUMBER(Tr("SELECT [open"), engine_errc::kSyntax);
  EXPECT_ZEL_ERROR_NUMBER(Tr("SELECT * FROM Profiles WHERE Released = #not a date#"),
                          engine_errc::kSyntax);
  EXPECT_ZEL_ERROR_NUMBER(Tr("  -- only a comment"), engine_errc::kSyntax);
  EXPECT_EQ(Tr("SELECT 1; /* trailing */ ").sql, "SELECT ?");
}

// Each statement is translated twice through the cache, with other literals the second time: both
// must come out as Translate gives them, whether the cache serves them or not.
TEST(TranslationCache, StatementsOfOneShapeTranslateAsTranslateDoes) {
  const TableFinder find = [](std::string_view name) -> const TableDef* {
    for (const TableDef& table : Tables()) {
      if (EqualsIgnoreCase(table.name, name)) return &table;
    }
    return nullptr;
  };
  const std::vector<std::pair<std::string, std::string>> pairs = {
      {"INSERT INTO CastCrew (Name, ProfileID, Position) VALUES ('a', 'It''s', '1')",
       "INSERT INTO CastCrew (Name, ProfileID, Position) VALUES ('b', 'x', '22')"},
      {"SELECT * FROM Profiles WHERE ProfileID = 'K1' AND ProdYear = 1999",
       "SELECT * FROM Profiles WHERE ProfileID = 'K2' AND ProdYear = 2.5e3"},
      {"UPDATE Profiles SET Title = 'T' WHERE ProdYear BETWEEN 1 AND .5",
       "UPDATE Profiles SET Title = 'U' WHERE ProdYear BETWEEN 7 AND 8"},
      {"SELECT [Title]2 FROM Profiles WHERE x1 IN (1, 'a')",
       "SELECT [Title]3 FROM Profiles WHERE x1 IN (4, 'b')"},
      // Shapes the cache leaves alone: signs, dates, LIKE, numbers kept in the text.
      {"SELECT * FROM CastCrew WHERE Position = -3", "SELECT * FROM CastCrew WHERE Position = -4"},
      {"SELECT * FROM Profiles WHERE Released < #5/1/2024#",
       "SELECT * FROM Profiles WHERE Released < #6/1/2024#"},
      {"SELECT * FROM CastCrew WHERE Name LIKE 'a*'", "SELECT * FROM CastCrew WHERE Name LIKE 'b'"},
      {"SELECT Title FROM Profiles ORDER BY 1 LIMIT 5",
       "SELECT Title FROM Profiles ORDER BY 1 LIMIT 6"},
      {"SELECT 1; ", "SELECT 2; "},
  };
  TranslationCache cache;
  std::vector<std::string> texts;
  Translation scratch;
  for (const auto& [first, second] : pairs) {
    for (const std::string& sql : {first, second, first}) {
      SCOPED_TRACE(sql);
      const Translation expected = Translate(sql, find);
      const Translation& got = cache.Get(sql, find, texts, scratch);
      EXPECT_EQ(got.sql, expected.sql);
      EXPECT_EQ(got.kind, expected.kind);
      EXPECT_EQ(got.where_pos, expected.where_pos);
      ASSERT_EQ(got.params.size(), expected.params.size());
      ASSERT_EQ(texts.size(), expected.params.size());
      for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(texts[i], expected.params[i].text);
        EXPECT_EQ(got.params[i].kind, expected.params[i].kind);
        EXPECT_EQ(ColumnOf(got.params[i]), ColumnOf(expected.params[i]));
        EXPECT_EQ(got.params[i].stored, expected.params[i].stored);
      }
    }
  }
  EXPECT_ZEL_ERROR_NUMBER(cache.Get("SELECT 1; SELECT 2", find, texts, scratch),
                          engine_errc::kTextAfterStatement);
}

}  // namespace
}  // namespace zel::store
