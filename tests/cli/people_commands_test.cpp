#include <fstream>

#include <nlohmann/json.hpp>

#include "support/test_support.h"

namespace zel {
namespace {

using testing::RunZel;
using Json = nlohmann::json;

class PeopleCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RunZel({"create", path_}).exit_code, 0);
    Sql("INSERT INTO Alias (AliasName, CommonName, BirthYear) VALUES ('Kit Golden', "
        "'Katherine Golden', 0)");
    Sql("INSERT INTO Alias (AliasName, CommonName, BirthYear, Comment) VALUES ('Kitty Golden', "
        "'Katherine Golden', 1950, 'early films')");
  }
  void Sql(const std::string& statement) {
    auto result = RunZel({"sql", path_, statement});
    ASSERT_EQ(result.exit_code, 0) << result.err;
  }
  std::string Write(const std::string& name, const std::string& content) {
    const std::string file = dir_.File(name);
    std::ofstream(file, std::ios::binary) << content;
    return file;
  }
  void ImportOscars() {
    const std::string file =
        Write("oscars.txt",
              "Chocolat|||2001||Oscar|Best Picture||David Brown and Kit Golden|2000\n"
              "Gladiator|||2001||Oscar|Best Picture|X|Douglas Wick|2000\n");
    auto result = RunZel({"import-awards", path_, file});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.out, "Imported 2 award rows from " + file + "\n  Oscar 2001: 2 rows added\n");
  }

  testing::TempDir dir_;
  std::string path_ = dir_.File("people.zel");
};

TEST_F(PeopleCommands, AliasesShowsTheCommonNameAndEveryAlias) {
  auto result = RunZel({"aliases", path_, "kit golden"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out,
            "Common name: Katherine Golden\n\n"
            "Alias         Birth year  Comment\n"
            "------------  ----------  -----------\n"
            "Kit Golden    0\n"
            "Kitty Golden  1950        early films\n");

  auto json = RunZel({"aliases", path_, "Katherine Golden", "--json"});
  ASSERT_EQ(json.exit_code, 0) << json.err;
  Json parsed = Json::parse(json.out);
  EXPECT_EQ(parsed["CommonName"], "Katherine Golden");
  ASSERT_EQ(parsed["Aliases"].size(), 2u);
  EXPECT_EQ(parsed["Aliases"][1]["AliasName"], "Kitty Golden");
  EXPECT_EQ(parsed["Aliases"][1]["BirthYear"], 1950);

  // A credited name without aliases is somebody; a name nothing holds is nobody's.
  Sql("INSERT INTO CastCrew (ProfileID, Name, Position, IsCast) VALUES ('P1', 'Bo Ek', 1, true)");
  EXPECT_EQ(RunZel({"aliases", path_, "bo ek"}).out, "Common name: bo ek\n(no aliases)\n");
  auto unknown = RunZel({"aliases", path_, "Nobody"});
  EXPECT_EQ(unknown.exit_code, 1);
  EXPECT_EQ(unknown.out, "");
  EXPECT_EQ(unknown.err, "zel: No person named 'Nobody' in " + path_ +
                             ": no credit or alias has that name (error 5)\n");
}

TEST_F(PeopleCommands, ImportThenQueryAwardsEachWay) {
  ImportOscars();
  auto movie = RunZel({"awards", path_, "--movie", "Chocolat", "--year", "2000", "--json"});
  ASSERT_EQ(movie.exit_code, 0) << movie.err;
  Json rows = Json::parse(movie.out);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], Json::parse(R"({"Award": "Oscar", "Year": 2001, "Category": "Best Picture",
      "MovieTitle": "Chocolat", "MovieYear": 2000, "Nominee": "David Brown and Katherine Golden",
      "HasWon": false})"));

  auto person = RunZel({"awards", path_, "--person", "douglas"});
  ASSERT_EQ(person.exit_code, 0) << person.err;
  EXPECT_NE(person.out.find("Gladiator"), std::string::npos);
  EXPECT_EQ(person.out.find("Chocolat"), std::string::npos);
  EXPECT_NE(person.out.find("(1 award)"), std::string::npos);

  auto year = RunZel({"awards", path_, "--award", "Oscar", "--year", "2001", "--json"});
  ASSERT_EQ(year.exit_code, 0) << year.err;
  rows = Json::parse(year.out);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0]["MovieTitle"], "Gladiator");  // wins first

  auto bad_year = RunZel({"awards", path_, "--award", "Oscar", "--year", "2001 OR 1=1"});
  EXPECT_EQ(bad_year.exit_code, 1);
  EXPECT_EQ(bad_year.err, "zel: Type mismatch (error 13)\n");

  auto both = RunZel({"awards", path_, "--movie", "Chocolat", "--person", "Kit"});
  EXPECT_NE(both.exit_code, 0);
  auto no_year = RunZel({"awards", path_, "--award", "Oscar"});
  EXPECT_NE(no_year.exit_code, 0);
}

// Namesakes are apart in every answer; names that are probably one person are listed, and joined
// and split only on the collector's word.
TEST_F(PeopleCommands, NamesakesSuspectsJoinsAndSplits) {
  Sql("INSERT INTO Profiles (ProfileID, Title, ProdYear) VALUES ('P1', 'Sheriff', 1990)");
  Sql("INSERT INTO Profiles (ProfileID, Title, ProdYear) VALUES ('P2', 'Directed', 1985)");
  for (const char* values :
       {"'P1', 'Tom Hale', 'Sheriff', 1, true, 1949",
        "'P2', 'Tom Hale', 'Director', 1, false, 1946", "'P2', 'Dan Akroyd', 'Ray', 2, true, 1952",
        "'P1', 'Dan Aykroyd', 'Ray', 2, true, 1952"}) {
    Sql("INSERT INTO CastCrew (ProfileID, Name, Role, Position, IsCast, BirthYear) VALUES (" +
        std::string(values) + ")");
  }
  auto aliases = RunZel({"aliases", path_, "Tom Hale"});
  ASSERT_EQ(aliases.exit_code, 0) << aliases.err;
  EXPECT_EQ(aliases.out,
            "Common name: Tom Hale\n"
            "Namesakes, different people by their birth years:\n"
            "  Tom Hale (born 1946): 1 title, 0 episodes\n"
            "  Tom Hale (born 1949): 1 title, 0 episodes\n"
            "(no aliases)\n");
  const std::string awards =
      Write("awards.txt", "Sheriff|||1991||Oscar|Best Actor|X|Tom Hale|1990\n");
  ASSERT_EQ(RunZel({"import-awards", path_, awards}).exit_code, 0);
  auto award = RunZel({"awards", path_, "--person", "Tom Hale", "--json"});
  ASSERT_EQ(award.exit_code, 0) << award.err;
  EXPECT_EQ(Json::parse(award.out)[0]["Person"], "Tom Hale (born 1949)");

  auto suspects = RunZel({"people", "suspects", path_, "--json"});
  ASSERT_EQ(suspects.exit_code, 0) << suspects.err;
  EXPECT_EQ(Json::parse(suspects.out), Json::parse(R"x([{
      "Name": {"CommonName": "Dan Akroyd", "BirthYears": [1952], "Credits": 1},
      "Other": {"CommonName": "Dan Aykroyd", "BirthYears": [1952], "Credits": 1},
      "Evidence": ["close spelling (1 letter apart)", "both born 1952"]
}])x"));
  auto join = RunZel({"people", "join", path_, "Dan Akroyd", "Dan Aykroyd"});
  ASSERT_EQ(join.exit_code, 0) << join.err;
  EXPECT_EQ(join.out,
            "Joined Dan Akroyd to Dan Aykroyd, now one person under Dan Aykroyd (undo "
            "with: zel people split " +
                path_ + " \"Dan Akroyd\")\n  added alias Dan Akroyd -> Dan Aykroyd\n");
  EXPECT_EQ(RunZel({"people", "suspects", path_}).out, "(no names look like one person)\n");
  auto split = RunZel({"people", "split", path_, "Dan Akroyd", "--json"});
  ASSERT_EQ(split.exit_code, 0) << split.err;
  EXPECT_EQ(Json::parse(split.out)["Changes"], Json::parse(R"([{"AliasName": "Dan Akroyd",
      "Before": "Dan Aykroyd", "CommonName": null}])"));
  auto again = RunZel({"people", "split", path_, "Dan Akroyd"});
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_NE(again.err.find("nothing to split"), std::string::npos);
}

// Regression: a text award file deleted every year of its award, and said only how many rows it
// imported.
TEST_F(PeopleCommands, AwardFilesOfDifferentYearsReplaceOnlyTheirOwn) {
  ImportOscars();
  const std::string later =
      Write("2002.txt", "Chicago|||2003||Oscar|Best Picture|X|Martin Richards\n");
  auto result = RunZel({"import-awards", path_, later});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "Imported 1 award row from " + later + "\n  Oscar 2003: 1 row added\n");
  const std::string again = Write("2001.txt",
                                  "Chocolat|||2001||Oscar|Best Picture||David Brown|2000\n"
                                  "Gladiator|||2001||Oscar|Best Picture|X|Douglas Wick|2000\n"
                                  "Traffic|||2001||OSCAR|Best Picture||Edward Zwick|2000\n");
  result = RunZel({"import-awards", path_, again, "--json"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(Json::parse(result.out)["Years"],
            Json::parse(R"([{"Award": "Oscar", "Year": 2001, "Replaced": 2, "Imported": 3}])"));
  EXPECT_EQ(
      Json::parse(RunZel({"awards", path_, "--award", "Oscar", "--year", "2003", "--json"}).out)
          .size(),
      1u);
  EXPECT_EQ(
      Json::parse(RunZel({"awards", path_, "--award", "Oscar", "--year", "2001", "--json"}).out)
          .size(),
      3u);
}

TEST_F(PeopleCommands, ImportErrorNamesTheFileAndLine) {
  ImportOscars();
  const std::string text = Write("bad.txt",
                                 "Brazil|||1986||Oscar|Writing||Tom Stoppard\n"
                                 "Alien|||19x0||Oscar|Effects|X|H. R. Giger\n");
  auto result = RunZel({"import-awards", path_, text});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, "zel: award file " + text +
                            ", line 2: The award year '19x0' is not a year; nothing imported "
                            "(error 13)\n");
  const std::string xml = Write("bad.xml", "<Awards>\n<Award Name='Oscar'/>\n</Awards>\n");
  result = RunZel({"import-awards", path_, xml});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, "zel: award file " + xml +
                            ", line 2: The Award element has no Year attribute; nothing imported "
                            "(error 91)\n");
  // Nothing of either file was kept.
  auto awards = RunZel({"awards", path_, "--award", "Oscar", "--year", "2001", "--json"});
  EXPECT_EQ(Json::parse(awards.out).size(), 2u);
  auto brazil = RunZel({"awards", path_, "--movie", "Brazil", "--json"});
  EXPECT_EQ(Json::parse(brazil.out).size(), 0u);
}

}  // namespace
}  // namespace zel
