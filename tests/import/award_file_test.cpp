#include "import/award_file.h"

#include <fstream>

#include "awards/award_catalogues.h"
#include "awards/awards.h"
#include "awards/nominees.h"
#include "catalogue/control.h"
#include "catalogue/database.h"
#include "frame/message.h"
#include "support/test_support.h"

namespace zel {
namespace {

using testing::InsertAward;

struct Shown {
  MessageIcon icon = MessageIcon::kInformation;
  std::string title;
  std::string text;
};

class AwardFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ =
        SetMessageHandler([this](MessageIcon icon, std::string_view title, std::string_view text) {
          shown_.push_back({icon, std::string(title), std::string(text)});
        });
  }
  void TearDown() override {
    control_.CloseDatabase();
    SetMessageHandler(previous_);
  }
  void Open(int16_t schema = 89) {
    db_ = testing::AwardsCatalogue(control_, dir_.File("awards.zel"), schema);
  }
  std::string Write(const std::string& name, const std::string& content) {
    const std::string path = dir_.File(name);
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  int64_t Count(const std::string& sql) { return db_->DbOpenRecordSet(sql)->ValueAt(0).ToLong(); }
  std::string Text(const std::string& sql) {
    auto records = db_->DbOpenRecordSet(sql);
    return records->Eof() ? "<none>" : records->ValueAt(0).ToTextOrEmpty();
  }

  testing::TempDir dir_;
  Control control_;
  std::shared_ptr<ZelDatabase> db_;
  std::vector<Shown> shown_;
  MessageHandler previous_;
};

const char* const kOscars =
    "Title|x|x|Year|x|Award|Category|Won|Nominee|MovieYear\r\n"
    "\r\n"
    "Gladiator|||2001||Oscar|Best Picture|X|Douglas Wick, Branko Lustig|2000\r\n"
    "just a note without separators\r\n"
    "|||2001||Oscar|Honorary|x|Ann Lee\r\n"
    "Chocolat|||2001||Oscar|Best Picture||Producers: David Brown and Kit Golden (as Kitty)|n/a\r\n";

TEST_F(AwardFileTest, TextFormAddsOneRowPerLine) {
  Open();
  InsertAward(*db_, "Oscar", 1999, "Old", "Old Film", false, "");
  InsertAward(*db_, "BAFTA", 2001, "Best Film", "Gladiator", false, "");
  InsertAward(*db_, "Oscar", 2001, "Best Picture", "Replaced", false, "");
  const std::string path = Write("oscars.txt", kOscars);
  std::vector<ReplacedAwardRows> replaced;
  EXPECT_EQ(ImportAwards(*db_, path, &replaced), 3);
  EXPECT_TRUE(shown_.empty());

  // The file's award and year replaces the stored rows of that award and year; other years and
  // awards stay (every year of the award used to go).
  ASSERT_EQ(replaced.size(), 1u);
  EXPECT_EQ(replaced[0].award, "Oscar");
  EXPECT_EQ(replaced[0].year, 2001);
  EXPECT_EQ(replaced[0].replaced, 1);
  EXPECT_EQ(replaced[0].imported, 3);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Awards WHERE Award = 'Oscar'"), 4);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Awards WHERE Award = 'Oscar' AND Year = 1999"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Awards WHERE Award = 'BAFTA'"), 1);
  auto awards = db_->GetAwardByYear("Oscar", Variant("2001"));
  ASSERT_EQ(awards->Count(), 3);
  auto gladiator = db_->GetMovieAwards("Gladiator", 2000)->Item(Variant(2));
  EXPECT_EQ(gladiator->Award(), "Oscar");
  EXPECT_TRUE(gladiator->HasWon());
  EXPECT_EQ(gladiator->MovieYear(), 2000);
  EXPECT_EQ(gladiator->Nominee(), "Douglas Wick, Branko Lustig");
  auto honorary = db_->GetMovieAwards("[no specific film title]")->Item(Variant(1));
  EXPECT_TRUE(honorary->HasWon());  // a lower-case mark is a win
  EXPECT_EQ(honorary->MovieYear(), 0);
  auto chocolat = db_->GetMovieAwards("Chocolat")->Item(Variant(1));
  EXPECT_FALSE(chocolat->HasWon());
  EXPECT_EQ(chocolat->MovieYear(), 0);  // a film year that is no number is left out
}

TEST_F(AwardFileTest, NomineesAreReplacedByTheirCommonNames) {
  Open();
  db_->DbExecute(
      "INSERT INTO Alias (AliasName, CommonName, BirthYear) VALUES ('Kit Golden', "
      "'Katherine Golden', 0)");
  db_->DbExecute(
      "INSERT INTO Alias (AliasName, CommonName, BirthYear) VALUES ('Tom Hale Jr', "
      "'Tom Hale, Jr.', 1950)");
  db_->DbExecute(
      "INSERT INTO Alias (AliasName, CommonName, BirthYear) VALUES ('Producers', "
      "'Not A Person', 0)");
  db_->DbExecute(
      "INSERT INTO Alias (AliasName, CommonName, BirthYear) VALUES ('Tom Hale', 'Thomas Hale', 0)");
  db_->DbExecute(
      "INSERT INTO Alias (AliasName, CommonName, BirthYear) VALUES ('Ann', 'Annabel', 0)");
  const std::string path = Write(
      "names.txt",
      "Chocolat|||2001||Oscar|Best Picture||Producers: David Brown and Kit Golden (as Kitty)\n"
      "Brazil|||1986||Oscar|Writing||Tom Hale, Jr; Bo Wu\n"
      "Heat|||1996||Oscar|Sound||Tom Hale and Tom Haley & Annika\n");
  EXPECT_EQ(ImportAwards(*db_, path), 3);
  // Regression: names were replaced inside other names ("Thomas Haley", "Annabelika").
  EXPECT_EQ(Text("SELECT Nominee FROM Awards WHERE MovieTitle = 'Heat'"),
            "Thomas Hale and Tom Haley & Annika");
  // The role before ":" and the note in parentheses play no part in the lookup.
  EXPECT_EQ(Text("SELECT Nominee FROM Awards WHERE MovieTitle = 'Chocolat'"),
            "Producers: David Brown and Katherine Golden (as Kitty)");
  // ", Jr" stays with its name while splitting, so "Tom Hale Jr" is looked up; the nominee text
  // keeps its comma form, which holds no "Tom Hale Jr" to replace.
  EXPECT_EQ(Text("SELECT Nominee FROM Awards WHERE MovieTitle = 'Brazil'"), "Tom Hale, Jr; Bo Wu");
}

// Regression: only the rows of the first line's award were replaced, so importing a file twice
// doubled the rows of its other awards; and a loaded award list missed what the file added, and
// its save deleted it again.
TEST_F(AwardFileTest, AFileImportedTwiceLeavesItsRowsOnceAndLoadedListsFollow) {
  Open();
  const std::string path = Write("two awards.txt",
                                 "Gladiator|||2001||Oscar|Best Picture|X|Douglas Wick\n"
                                 "Gladiator|||2001||BAFTA|Best Film||Douglas Wick\n"
                                 "Chocolat|||2001||bafta|Best Film|X|David Brown\n");
  auto awards = db_->Awards();
  ImportAwards(*db_, path);
  ImportAwards(*db_, path);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Awards"), 3);
  EXPECT_EQ(awards->Count(), 3);
  db_->UpdateDatabase();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Awards"), 3);
}

// Regression: in schema-76 files the row identifier of a text-imported row changed when the award
// list was saved.
TEST_F(AwardFileTest, ASavedListKeepsTheRowIdentifiersOfImportedRows) {
  Open(76);
  ImportAwards(*db_, Write("oscars.txt", kOscars));
  const std::string before = Text("SELECT AwardID FROM Awards WHERE MovieTitle = 'Gladiator'");
  db_->Awards()->Item(Variant(2))->SetCategory("Changed");
  db_->UpdateAwards();
  EXPECT_EQ(Text("SELECT AwardID FROM Awards WHERE MovieTitle = 'Gladiator'"), before);
}

TEST_F(AwardFileTest, TextFormErrorShowsTheLineAndChangesNothing) {
  Open();
  InsertAward(*db_, "Oscar", 1999, "Old", "Old Film", false, "");
  const std::string path = Write("short.txt",
                                 "Gladiator|||2001||Oscar|Best Picture|X|Douglas Wick\n"
                                 "Chocolat|||2001||Oscar|Best Picture||Kit Golden\n"
                                 "Brazil|||1986\n");
  try {
    ImportAwards(*db_, path);
    ADD_FAILURE() << "no error";
  } catch (const AwardFileError& error) {
    EXPECT_EQ(error.number(), errc::kSubscriptOutOfRange);
    EXPECT_EQ(error.line(), 3);
    EXPECT_EQ(error.path(), path);
  }
  db_->ImportAwardFile(path);  // the caller sees no error, a person sees the message
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].icon, MessageIcon::kWarning);
  EXPECT_EQ(shown_[0].title, "Error occured");
  EXPECT_EQ(shown_[0].text, "Award file " + path + "\r\nhas an error at line 3!");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Awards"), 1);
  EXPECT_EQ(Text("SELECT MovieTitle FROM Awards"), "Old Film");
}

TEST_F(AwardFileTest, TextFormYearMustBeAWholeNumber) {
  Open();
  for (const std::string year : {"2001 OR 1=1", "20x1", "", "2001.5", "99999"}) {
    const std::string path =
        Write("year.txt", "Gladiator|||2001||Oscar|Best Picture|X|A\nBrazil|||" + year +
                              "||Oscar|Writing||B\n");
    shown_.clear();
    db_->ImportAwardFile(path);
    ASSERT_EQ(shown_.size(), 1u) << year;
    EXPECT_EQ(shown_[0].text, "Award file " + path + "\r\nhas an error at line 2!");
    EXPECT_EQ(Count("SELECT COUNT(*) FROM Awards"), 0) << year;
  }
  // A film year that is a number but no year fails the line as well.
  const std::string path = Write("movieyear.txt", "Brazil|||1986||Oscar|Writing||B|1985.5\n");
  shown_.clear();
  db_->ImportAwardFile(path);
  EXPECT_EQ(shown_.size(), 1u);
}

TEST_F(AwardFileTest, TextFormReadsWindows1252AndUtf8) {
  Open();
  const std::string path = Write("latin.txt",
                                 "Am\xE9lie|||2002||C\xE9sar|Film||Jean-Pierre Jeunet\n"
                                 "Caf\xC3\xA9|||2002||C\xC3\xA9sar|Film||Ann\n");
  EXPECT_EQ(ImportAwards(*db_, path), 2);
  EXPECT_EQ(db_->GetMovieAwards("Am\xC3\xA9lie")->Count(), 1);
  EXPECT_EQ(db_->GetMovieAwards("Caf\xC3\xA9")->Item(Variant(1))->Award(), "C\xC3\xA9sar");
}

TEST_F(AwardFileTest, MissingTextFileReachesTheCaller) {
  Open();
  EXPECT_ZEL_ERROR_NUMBER(db_->ImportAwardFile(dir_.File("missing.txt")), 53);
  EXPECT_TRUE(shown_.empty());
}

TEST_F(AwardFileTest, OldSchemasStoreTheWinMarkAndRowIdentifier) {
  Open(75);
  const std::string path = Write("old.txt", "b|||1||a|c|X|d\nLost|||2005||a|Drama|x|\n");
  EXPECT_EQ(ImportAwards(*db_, path), 2);
  // 89*cs("1") + 123*cs("a") + 678*cs("b") + 456*cs("c") + cs("X") + 123*cs("d"), worked by hand.
  EXPECT_EQ(AwardId("1", "a", "b", "c", "X", "d"), 141738);
  EXPECT_EQ(Count("SELECT AwardID FROM Awards WHERE MovieTitle = 'b'"), 141738);
  EXPECT_EQ(Text("SELECT Won FROM Awards WHERE MovieTitle = 'b'"), "X");
  EXPECT_EQ(Text("SELECT Won FROM Awards WHERE MovieTitle = 'Lost'"), "X");
  EXPECT_EQ(Count("SELECT AwardID FROM Awards WHERE MovieTitle = 'Lost'"),
            AwardId("2005", "a", "Lost", "Drama", "X", ""));

  // A checksum that overflows stops the import at its line.
  const std::string long_title =
      Write("long.txt", "ok|||1||a|c||d\n" + std::string(400, 'a') + "|||1||a|c||d\n");
  db_->ImportAwardFile(long_title);
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].text, "Award file " + long_title + "\r\nhas an error at line 2!");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Awards"), 2);
}

const char* const kXmlAwards = R"(<?xml version="1.0" encoding="UTF-8"?>
<Awards>
  <Award Name="Oscar" Year="2001">
    <Category Name="Best Picture">
      <Movie Name="Gladiator" Year="2000" Won="True">Douglas Wick, Kit Golden (as Kitty)</Movie>
      <Movie Name="Chocolat" Won="true">David Brown</Movie>
    </Category>
    <Category Name="Honorary">
      <Movie Name="">Ann Lee</Movie>
    </Category>
  </Award>
  <Award Name="Oscar" Year="2002">
    <!-- nothing yet -->
  </Award>
</Awards>
)";

TEST_F(AwardFileTest, XmlFormReplacesEachAwardYear) {
  Open();
  db_->DbExecute(
      "INSERT INTO Alias (AliasName, CommonName, BirthYear) VALUES ('Kit Golden', "
      "'Katherine Golden', 0)");
  InsertAward(*db_, "Oscar", 2001, "Old", "Old Film", false, "");
  InsertAward(*db_, "Oscar", 2002, "Old", "Other Film", false, "");
  InsertAward(*db_, "Oscar", 2003, "Old", "Kept Film", false, "");
  const std::string path = Write("oscars.XML", kXmlAwards);
  EXPECT_EQ(ImportAwards(*db_, path), 3);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Awards"), 4);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Awards WHERE Year = 2003"), 1);
  auto gladiator = db_->GetMovieAwards("Gladiator")->Item(Variant(1));
  EXPECT_TRUE(gladiator->HasWon());
  EXPECT_EQ(gladiator->MovieYear(), 2000);
  EXPECT_EQ(gladiator->Year(), 2001);
  EXPECT_EQ(gladiator->Category(), "Best Picture");
  EXPECT_EQ(gladiator->Nominee(), "Douglas Wick, Katherine Golden (as Kitty)");
  EXPECT_FALSE(db_->GetMovieAwards("Chocolat")->Item(Variant(1))->HasWon());  // only "True" wins
  EXPECT_EQ(db_->GetMovieAwards("[no specific film title]")->Item(Variant(1))->Category(),
            "Honorary");
  EXPECT_TRUE(shown_.empty());
}

TEST_F(AwardFileTest, XmlFileThatIsNotAnAwardFileShowsTheParserReason) {
  Open();
  const std::string broken = Write("broken.xml", "<Awards>\n<Award Name='x'>\n</Awards>\n");
  db_->ImportAwardFile(broken);
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].icon, MessageIcon::kWarning);
  EXPECT_EQ(shown_[0].title, broken);
  EXPECT_TRUE(shown_[0].text.starts_with("Invalid award file!\r\n")) << shown_[0].text;
  EXPECT_NE(shown_[0].text.find("Premature end of data"), std::string::npos) << shown_[0].text;
  EXPECT_NE(shown_[0].text.find("\r\nLine "), std::string::npos) << shown_[0].text;

  const std::string other = Write("other.xml", "<Collection/>");
  db_->ImportAwardFile(other);
  ASSERT_EQ(shown_.size(), 2u);
  EXPECT_TRUE(shown_[1].text.starts_with("Invalid award file!\r\n")) << shown_[1].text;
}

TEST_F(AwardFileTest, XmlFormFailuresReachTheCallerAndChangeNothing) {
  Open();
  InsertAward(*db_, "Oscar", 2001, "Old", "Old Film", false, "");
  const std::string no_year =
      Write("noyear.xml",
            "<Awards>\n<Award Name='Oscar' Year='2001'><Category Name='C'><Movie Name='A'>x</Movie>"
            "</Category></Award>\n<Award Name='Emmy'/>\n</Awards>");
  try {
    db_->ImportAwardFile(no_year);
    ADD_FAILURE() << "no error";
  } catch (const AwardFileError& error) {
    EXPECT_EQ(error.number(), errc::kMissingObject);
    EXPECT_EQ(error.description(), "The Award element has no Year attribute");
    EXPECT_EQ(error.line(), 3);
  }
  // Regression: a year attribute never reaches the delete statement unless it is a whole number.
  const std::string injected =
      Write("injected.xml", "<Awards><Award Name='Oscar' Year='2001 OR 1=1'/></Awards>");
  EXPECT_ZEL_ERROR(db_->ImportAwardFile(injected), 13,
                   "The award year '2001 OR 1=1' is not a year");
  EXPECT_TRUE(shown_.empty());
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Awards"), 1);
  EXPECT_EQ(Text("SELECT MovieTitle FROM Awards"), "Old Film");
}

TEST_F(AwardFileTest, XmlFormOnSchema75) {
  Open(75);
  const std::string path = Write("old.xml",
                                 "<Awards><Award Name='a' Year='1'><Category Name='c'>"
                                 "<Movie Name='b' Won='True' Year='1999'>d</Movie>"
                                 "</Category></Award></Awards>");
  EXPECT_EQ(ImportAwards(*db_, path), 1);
  EXPECT_EQ(Text("SELECT Won FROM Awards"), "X");
  EXPECT_EQ(Count("SELECT AwardID FROM Awards"), 141738);
}

}  // namespace
}  // namespace zel
