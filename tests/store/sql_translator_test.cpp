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

// What statements do once translated is tested through the engine (engine_test.cpp); here only
// what never reaches it.
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
