// The corpus of broken and hostile input: every title and award file in tests/hardening/corpus
// either imports or fails with the error it names, and a failure leaves the catalogue exactly as it
// was. Each title file says what it expects in a comment "expect N: description" (or "expect
// prefix N: ..." where the parser's own words follow, "expect ok"); each award file has a
// companion FILE.expect.
#include <filesystem>
#include <regex>

#include "frame/library_state.h"
#include "hardening/hardening_support.h"
#include "import/award_file.h"
#include "import/profiler_import.h"

namespace zel::testing {
namespace {

namespace fs = std::filesystem;

struct Expectation {
  bool ok = false;
  bool prefix = false;
  int32_t number = 0;
  std::string description;
};

Expectation Parse(const std::string& text) {
  static const std::regex pattern(R"(expect (ok|(prefix )?(\d+): (.*?))\s*(-->|$))");
  std::smatch match;
  Expectation expectation;
  if (!std::regex_search(text, match, pattern)) {
    ADD_FAILURE() << "no expectation in " << text.substr(0, 200);
    return expectation;
  }
  expectation.ok = match[1] == "ok";
  expectation.prefix = match[2].matched;
  if (!expectation.ok) {
    expectation.number = std::stoi(match[3]);
    expectation.description = match[4];
  }
  return expectation;
}

void Check(const std::string& file, const Expectation& expected, const std::function<void()>& run) {
  SCOPED_TRACE(file);
  try {
    run();
    EXPECT_TRUE(expected.ok) << "no error, expected " << expected.number << ": "
                             << expected.description;
  } catch (const Error& error) {
    EXPECT_FALSE(expected.ok) << "error " << error.number() << ": " << error.description();
    if (expected.ok) return;
    EXPECT_EQ(error.number(), expected.number) << error.description();
    if (expected.prefix) {
      EXPECT_EQ(error.description().substr(0, expected.description.size()), expected.description);
    } else {
      EXPECT_EQ(error.description(), expected.description);
    }
  }
}

std::vector<fs::path> Files(const fs::path& folder) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

class BrokenInputTest : public CatalogueTest {
 protected:
  void SetUp() override {
    CatalogueTest::SetUp();
    // The learned crew roles in memory belong to the catalogue of an earlier test.
    State().crew_mapping_table = nullptr;
    // A stored version of the corpus title, so that a failed import must keep its every row.
    ImportProfilerXml(
        BaseTitleWith("<Title>River Echo</Title>", "<Title>River Echo (2001)</Title>"));
    ImportAwards(*db_, CorpusPath("awards/control_characters.txt"));
  }
};

TEST_F(BrokenInputTest, EveryBrokenTitleFailsClearlyAndChangesNothing) {
  int checked = 0;
  for (const fs::path& file : Files(CorpusPath(""))) {
    if (file.filename() == "base_title.xml") continue;
    const std::string markup = ReadFile(file.string());
    const std::string before = Snapshot(*db_);
    const Expectation expected = Parse(markup);
    Check(file.filename().string(), expected, [&] { ImportProfilerXml(markup); });
    if (!expected.ok) {
      EXPECT_EQ(Snapshot(*db_), before) << file;
    }
    ++checked;
  }
  EXPECT_GE(checked, 15);
}

TEST_F(BrokenInputTest, EveryBrokenAwardFileFailsClearlyWithItsLineAndChangesNothing) {
  int checked = 0;
  for (const fs::path& file : Files(CorpusPath("awards"))) {
    if (file.extension() == ".expect") continue;
    const Expectation expected = Parse(ReadFile(file.string() + ".expect"));
    const std::string before = Snapshot(*db_);
    Check(file.filename().string(), expected, [&] {
      try {
        ImportAwards(*db_, file.string());
      } catch (const AwardFileError& error) {
        throw Error(error.number(),
                    "line " + std::to_string(error.line()) + ": " + error.description());
      }
    });
    if (!expected.ok) {
      EXPECT_EQ(Snapshot(*db_), before) << file;
    }
    ++checked;
  }
  EXPECT_GE(checked, 10);
}

// What the catalogue holds of the imported title's cast: "name/role" per row in order.
std::vector<std::string> CastOf(ZelDatabase& database) {
  std::vector<std::string> cast;
  auto records = database.DbOpenRecordSet(
      "SELECT Name, Role FROM CastCrew WHERE ProfileID = 'Key_7' AND IsCast = true "
      "ORDER BY Position");
  for (; !records->Eof(); records->MoveNext()) {
    cast.push_back(records->ValueAt(0).ToTextOrEmpty() + "/" + records->ValueAt(1).ToTextOrEmpty());
  }
  return cast;
}

std::string Actor(const std::string& first, const std::string& last, const std::string& role) {
  return "<Actor FirstName=\"" + first + "\" MiddleName=\"\" LastName=\"" + last +
         "\" BirthYear=\"0\" Role=\"" + role +
         "\" CreditedAs=\"\" Voice=\"false\" Uncredited=\"false\"/>";
}

std::string WithActors(const std::string& actors) {
  std::string markup = BaseTitleWith("<ID>800004711037</ID>", "<ID>7</ID>");
  const size_t start = markup.find("<Actors>") + 8;
  markup.replace(start, markup.find("</Actors>") - start, actors);
  return markup;
}

TEST_F(BrokenInputTest, NamesAndRolesWithHostileCharactersAreStoredExactly) {
  const std::string actors =
      Actor("O&apos;Brien", "d&quot;Arc", "The &quot;Boss&quot; | Chief = Head") +
      Actor("Tab&#9;bed", "Line&#10;Feed", "Role;--' OR 1=1") +
      Actor("\xF0\x9F\x8E\xAC", "\xF0\x9D\x84\x9E Clef", "\xF0\x9F\x98\x80 = | ' &quot;") +
      Actor("Anna", "Lee", "Herself|Narrator=Voice");
  const ImportResult result = ImportProfilerXml(WithActors(actors));
  EXPECT_EQ(result.outcome, ImportOutcome::kNew);
  EXPECT_EQ(CastOf(*db_),
            (std::vector<std::string>{
                "O'Brien d\"Arc/The \"Boss\" | Chief = Head", "Tab\tbed Line\nFeed/Role;--' OR 1=1",
                "\xF0\x9F\x8E\xAC \xF0\x9D\x84\x9E Clef/\xF0\x9F\x98\x80 = | ' \"",
                "Anna Lee/Herself|Narrator=Voice"}));
  // Importing the same markup again is recognised as unchanged: the fingerprint survives them too.
  EXPECT_EQ(ImportProfilerXml(WithActors(actors)).outcome, ImportOutcome::kUnchanged);
}

TEST_F(BrokenInputTest, TenThousandCastMembersAndATenMegabyteOverviewImport) {
  std::string actors;
  for (int i = 0; i < 10'000; ++i) {
    actors +=
        Actor("First" + std::to_string(i), "Last" + std::to_string(i), "Role " + std::to_string(i));
  }
  std::string markup = WithActors(actors);
  const std::string overview(10 * 1024 * 1024, 'o');
  const size_t start = markup.find("<Overview>") + 10;
  markup.replace(start, markup.find("</Overview>") - start, overview);
  EXPECT_EQ(ImportProfilerXml(markup).outcome, ImportOutcome::kNew);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM CastCrew WHERE ProfileID = 'Key_7' AND IsCast = true"),
            10'000);
  EXPECT_EQ(db_->DbOpenRecordSet("SELECT Overview FROM Profiles WHERE ProfileID = 'Key_7'")
                ->ValueAt(0)
                .ToText(),
            overview);
}

// A failed import rolled back the learned crew roles and left the table in memory empty; the next
// title then learned every role again and stored it a second time.
TEST_F(BrokenInputTest, CrewRolesAreNotStoredTwiceAfterAFailedImport) {
  const std::string mapping = db_->ReadDbInfo("CrewMapping", "");
  EXPECT_THROW(ImportProfilerXml(ReadFile(CorpusPath("flag_not_boolean.xml"))), Error);
  ImportProfilerXml(BaseTitleWith("<ID>800004711037</ID>", "<ID>8</ID>"));
  EXPECT_EQ(db_->ReadDbInfo("CrewMapping", ""), mapping);
}

TEST_F(BrokenInputTest, ZelReportsEveryFailureInOneLine) {
  control_.CloseDatabase();
  const std::string catalogue = dir_.File("catalogue.zel");
  const std::string random = dir_.File("random.zel");
  WriteFile(random, std::string(4096, '\x7f'));
  CommandResult result = RunZel({"info", random});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, "zel: Unrecognized database format '" + random + "'. (error 3343)\n");

  const std::string truncated = dir_.File("truncated.xml");
  WriteFile(truncated, "<?xml version=\"1.0\"?>\n<Collection>\n<DVD><ID>1</ID><Tit");
  result = RunZel({"import", catalogue, truncated});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
  EXPECT_EQ(result.err.substr(0, 5 + truncated.size()), "zel: " + truncated) << result.err;

  const std::string awards = dir_.File("awards.txt");
  WriteFile(awards, "Film|1|2|MMI|4|Golden Reel|Best|X|Someone\n");
  result = RunZel({"import-awards", catalogue, awards});
  EXPECT_EQ(result.exit_code, 1) << result.out << result.err;
  EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
}

}  // namespace
}  // namespace zel::testing
