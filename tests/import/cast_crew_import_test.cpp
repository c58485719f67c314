// Cast and crew of imported titles, read back with SQL.
#include "import_fixture.h"

namespace zel::testing {
namespace {

class CastCrewImportTest : public ImportTest {
 protected:
  Table Cast() {
    return Rows(
        "SELECT Position, Name, Role, IsVoice, IsUncredited, IsCreditOnly, BirthYear "
        "FROM CastCrew WHERE IsCast = true ORDER BY Position");
  }
  Table Crew() {
    return Rows(
        "SELECT Position, Name, Role, IsUncredited, BirthYear FROM CastCrew WHERE "
        "IsCast = false ORDER BY Position");
  }
};

TEST_F(CastCrewImportTest, GroupDividersGiveTheirCaptionToActorsWithoutRole) {
  Import(Dvd(R"x(<Actors>
    <Actor FirstName="Anna" LastName="Berg" Role="Eva" BirthYear="1950"/>
    <Divider Caption="Band" Type="Group"/>
    <Actor FirstName="Tom" LastName="Hale"/>
    <Divider Caption="" Type="EndDiv"/>
    <Actor FirstName="Ida" MiddleName="Maria" LastName="Quist"/>
    <Divider Caption="1.01 Pilot" Type="Episode"/>
    <Divider Caption="Old style"/>
    <Divider Caption="Odd" Type="Chapter"/>
  </Actors>)x"));
  EXPECT_EQ(Cast(), (Table{{"1", "Anna Berg", "Eva", "False", "False", "False", "1950"},
                           {"2", "Band", "[DivGroup]", "False", "False", "False", "0"},
                           {"3", "Tom Hale", "Band", "False", "False", "False", "0"},
                           {"4", "", "[DivEnd]", "False", "False", "False", "0"},
                           {"5", "Ida Maria Quist", "", "False", "False", "False", "0"},
                           {"6", "1.01 Pilot", "[DivEpisode]", "False", "False", "False", "0"},
                           {"7", "Old style", "[Divider]", "False", "False", "False", "0"},
                           {"8", "Odd", "Chapter", "False", "False", "False", "0"}}));
}

// A changed title keeps the rows of a list that did not change; a list that changed, or a row
// edited in the catalogue since, is written anew from the export.
TEST_F(CastCrewImportTest, AChangedTitleWritesItsListsAgainOnlyWhereTheyDiffer) {
  const std::string actors =
      R"x(<Actors><Actor FirstName="Anna" LastName="Berg" Role="Eva" BirthYear="1950"/>
      <Actor FirstName="Tom" LastName="Hale" Role="Max (voice)"/></Actors>)x";
  const std::string crew = R"x(<Credits><Credit FirstName="Ida" LastName="Quist"
      CreditType="Direction" CreditSubtype="Director"/></Credits>)x";
  Import(Dvd(actors + crew, "1", "First"));
  const auto rowids = [&] { return Rows("SELECT rowid FROM CastCrew ORDER BY IsCast, Position"); };
  const Table before = rowids();
  ASSERT_EQ(Import(Dvd(actors + crew, "1", "Second")).outcome, ImportOutcome::kChanged);
  EXPECT_EQ(rowids(), before);

  db_->ExecuteSQL("UPDATE CastCrew SET Role = 'edited' WHERE Name = 'Anna Berg'");
  Import(Dvd(actors + crew, "1", "Third"));
  EXPECT_EQ(Cast(), (Table{{"1", "Anna Berg", "Eva", "False", "False", "False", "1950"},
                           {"2", "Tom Hale", "Max", "True", "False", "False", "0"}}));
  EXPECT_EQ(Rows("SELECT rowid FROM CastCrew WHERE IsCast = false"), (Table{before[0]}));

  Import(Dvd(actors + "<Credits/>", "1", "Fourth"));
  EXPECT_EQ(Crew(), Table{});
  EXPECT_EQ(Cast().size(), 2u);
}

TEST_F(CastCrewImportTest, RoleMarkersSetTheFlags) {
  Import(Dvd(R"x(<Actors>
    <Actor FirstName="A" LastName="One" Role="Bob (voice) (uncredited)"/>
    <Actor FirstName="B" LastName="Two" Role="Bob (VOICE)"/>
    <Actor FirstName="C" LastName="Three" Role="Narrator (credit only)"/>
    <Actor FirstName="D" LastName="Four" Role="Guard (uncr.)" Voice="True" Uncredited="false"/>
  </Actors>)x"));
  EXPECT_EQ(Cast(), (Table{{"1", "A One", "Bob", "True", "True", "False", "0"},
                           {"2", "B Two", "Bob (VOICE)", "True", "False", "False", "0"},
                           {"3", "C Three", "Narrator", "False", "False", "True", "0"},
                           {"4", "D Four", "Guard", "True", "True", "False", "0"}}));
}

TEST_F(CastCrewImportTest, CreditedNamesAreStoredAndRecordedAsAliases) {
  Import(Dvd(R"x(<Actors>
    <Actor FirstName="John" LastName="Smith" CreditedAs="J. Smith" BirthYear="1950"/>
    <Actor FirstName="Tom" LastName="Hale Jr." BirthYear="1960"/>
  </Actors>)x"));
  EXPECT_EQ(Rows("SELECT Name FROM CastCrew ORDER BY Position"),
            (Table{{"J. Smith"}, {"Tom Hale Jr."}}));
  EXPECT_EQ(Rows("SELECT AliasName, CommonName, BirthYear FROM Alias ORDER BY AliasName"),
            (Table{{"J. Smith", "John Smith", "1950"}, {"Tom Hale Jr.", "Tom Hale, Jr.", "1960"}}));
}

// Regression: real exports hold birth years such as 47256, which failed the whole title.
TEST_F(CastCrewImportTest, BirthYearsOutsideTheRangeOrNotNumbersCountAsNotGiven) {
  Import(Dvd(R"x(<Actors>
    <Actor FirstName="A" LastName="One" BirthYear="47256"/>
    <Actor FirstName="B" LastName="Two" BirthYear="unknown"/>
    <Actor FirstName="C" LastName="Three" BirthYear="-40000"/>
    <Actor FirstName="D" LastName="Four" BirthYear="1931"/>
  </Actors>
  <Credits><Credit FirstName="E" LastName="Five" BirthYear="63725" CreditType="Direction"
    CreditSubtype="Director"/></Credits>)x"));
  EXPECT_EQ(Rows("SELECT BirthYear FROM CastCrew ORDER BY IsCast, Position"),
            (Table{{"0"}, {"0"}, {"0"}, {"0"}, {"1931"}}));
}

TEST_F(CastCrewImportTest, AFlagThatIsNoBooleanFailsTheTitle) {
  EXPECT_ZEL_ERROR(Import(Dvd("<Actors><Actor FirstName=\"A\" Voice=\"maybe\"/></Actors>")), 13,
                   "Type mismatch: the flag 'maybe' is neither true nor false");
  EXPECT_EQ(Value("SELECT COUNT(*) FROM Profiles"), "0");
}

// Regression: a comment inside a list ended it, storing the entries before it only, and the
// fingerprint, which counted the comment, then called the title unchanged on every import.
TEST_F(CastCrewImportTest, CommentsInstructionsAndStrayTextInAListAreNoEntries) {
  const std::string with_notes = Dvd(R"x(<Actors>
    <Actor FirstName="A" LastName="One"/>
    <!-- a comment -->
    <Actor FirstName="B" LastName="Two"/><?note an instruction?>stray
    <Actor FirstName="C" LastName="Three"/>
  </Actors><Credits><!-- c --><Credit FirstName="D" LastName="Four" CreditType="Direction"
    CreditSubtype="Director"/></Credits>)x");
  EXPECT_EQ(Import(with_notes).outcome, ImportOutcome::kNew);
  EXPECT_EQ(Rows("SELECT Name, Position FROM CastCrew ORDER BY IsCast, Position"),
            (Table{{"D Four", "1"}, {"A One", "1"}, {"B Two", "2"}, {"C Three", "3"}}));
  // The same title without its comments and instructions is the same title.
  std::string plain = with_notes;
  for (const std::string_view note :
       {"<!-- a comment -->", "<?note an instruction?>", "<!-- c -->"}) {
    plain.erase(plain.find(note), note.size());
  }
  EXPECT_EQ(Import(plain).outcome, ImportOutcome::kUnchanged);
}

TEST_F(CastCrewImportTest, AnEmptyOrMissingListRemovesTheOldOne) {
  Import(
      Dvd("<Actors><Actor FirstName=\"A\" LastName=\"One\"/></Actors>"
          "<Credits><Credit FirstName=\"B\" LastName=\"Two\" CreditType=\"Direction\" "
          "CreditSubtype=\"Director\"/></Credits>"));
  Import(
      Dvd("<Actors/><Credits><Credit FirstName=\"C\" LastName=\"Three\" "
          "CreditType=\"Direction\" CreditSubtype=\"Director\"/></Credits>",
          "012345678901", "v2"));
  EXPECT_EQ(Rows("SELECT Name, IsCast FROM CastCrew"), (Table{{"C Three", "False"}}));
  Import(Dvd("", "012345678901", "v3"));
  EXPECT_EQ(Value("SELECT COUNT(*) FROM CastCrew"), "0");
}

TEST_F(CastCrewImportTest, CrewRolesCustomRolesAndTheOtherSplit) {
  Import(Dvd(R"x(<Credits>
    <Credit FirstName="A" LastName="One" CreditType="Direction" CreditSubtype="Director"/>
    <Credit FirstName="B" LastName="Two" CreditType="Writing" CreditSubtype="Custom"
            CustomRole="Story"/>
    <Credit FirstName="C" LastName="Three" CreditType="Other" CreditSubtype="Custom"
            CustomRole="Stunts: Driver"/>
    <Credit FirstName="D" LastName="Four" CreditType="Other" CreditSubtype="Custom"
            CustomRole="Caterer"/>
    <Credit FirstName="E" LastName="Five" CreditType="Sound" CreditSubtype="Foley (uncredited)"/>
    <Divider Caption="Second Unit" Type="Group"/>
    <Credit FirstName="F" LastName="Six" CreditType="Art" CreditSubtype="Painter"
            CreditedAs="Eff Six"/>
  </Credits>)x"));
  EXPECT_EQ(Crew(), (Table{{"1", "A One", "Director", "False", "0"},
                           {"2", "B Two", "Story", "False", "0"},
                           {"3", "C Three", "Driver", "False", "0"},
                           {"4", "D Four", "Caterer", "False", "0"},
                           {"5", "E Five", "Foley", "True", "0"},
                           {"6", "Second Unit", "[DivGroup]", "False", "0"},
                           {"7", "Eff Six", "Painter", "False", "0"}}));
  EXPECT_EQ(db_->ReadDbInfo("CrewMapping"),
            "Director=Direction|Story=Writing|Driver=Stunts|Foley=Sound|Painter=Art");
}

// Regression: a role holding "|" or "=" was stored in the mapping and broke it for every later
// import.
TEST_F(CastCrewImportTest, RolesThatWouldBreakTheStoredMappingAreNotLearned) {
  Import(Dvd(R"x(<Credits>
    <Credit FirstName="A" LastName="One" CreditType="Writing" CustomRole="Book | Lyrics"/>
    <Credit FirstName="B" LastName="Two" CreditType="Wri=ting" CreditSubtype="Writer"/>
    <Credit FirstName="C" LastName="Three" CreditType="Music" CreditSubtype="Composer"/>
  </Credits>)x"));
  EXPECT_EQ(Rows("SELECT Role FROM CastCrew ORDER BY Position"),
            (Table{{"Book | Lyrics"}, {"Writer"}, {"Composer"}}));
  EXPECT_EQ(db_->ReadDbInfo("CrewMapping"), "Composer=Music");
}

TEST_F(CastCrewImportTest, LearnedCrewTypesCarryOverToTheNextProcess) {
  Import(
      Dvd("<Credits><Credit FirstName=\"A\" LastName=\"One\" CreditType=\"Direction\" "
          "CreditSubtype=\"Director\"/><Credit FirstName=\"B\" LastName=\"Two\" "
          "CreditType=\"Lighting\" CreditSubtype=\"Gaffer\"/></Credits>",
          "1"));
  EXPECT_EQ(db_->ReadDbInfo("CrewMapping"), "Director=Direction|Gaffer=Lighting");
  // A new process starts with an empty mapping: the stored mapping is read before a role is
  // appended, so no role is stored twice.
  State().crew_mapping_table = nullptr;
  Import(
      Dvd("<Credits><Credit FirstName=\"A\" LastName=\"One\" CreditType=\"Direction\" "
          "CreditSubtype=\"Director\"/><Credit FirstName=\"B\" LastName=\"Two\" "
          "CreditType=\"Lighting\" CreditSubtype=\"Gaffer\"/></Credits>",
          "2"));
  EXPECT_EQ(db_->ReadDbInfo("CrewMapping"), "Director=Direction|Gaffer=Lighting");
  EXPECT_EQ(CrewMappingTable().Count(), 2);
  EXPECT_EQ(CrewMappingTable().TextOr("Gaffer", ""), "Lighting");
}

TEST_F(CastCrewImportTest, TheElementFormOfCredits) {
  Import(Dvd(R"x(<Actors>
    <Actor><FirstName>Anna</FirstName><LastName>Berg</LastName><Role>Eva (voice)</Role>
      <BirthYear>1950</BirthYear><IsUncredited>true</IsUncredited><IsRegular>true</IsRegular></Actor>
    <Actor><Name>The Band</Name><Role>[DivGroup]</Role></Actor>
    <Actor><Name>Tom Hale</Name><Role/><IsVoice>False</IsVoice></Actor>
  </Actors>
  <Credits><Credit><Name>Ida Quist</Name><Role>Writer</Role><CreditSubtype>Screenwriter</CreditSubtype>
    <IsUncredited>True</IsUncredited></Credit></Credits>)x"));
  EXPECT_EQ(Cast(), (Table{{"1", "Anna Berg", "Eva", "True", "True", "False", "1950"},
                           {"2", "The Band", "[DivGroup]", "False", "False", "False", "0"},
                           {"3", "Tom Hale", "The Band", "False", "False", "False", "0"}}));
  EXPECT_EQ(Crew(), (Table{{"1", "Ida Quist", "Screenwriter", "True", "0"}}));
}

}  // namespace
}  // namespace zel::testing
