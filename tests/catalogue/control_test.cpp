#include "catalogue/control.h"

#include <filesystem>
#include <fstream>

#include "catalogue/database.h"
#include "frame/library_state.h"
#include "frame/reflection.h"
#include "model/profiles.h"
#include "store/connection.h"
#include "store/engine_errors.h"
#include "support/test_support.h"

namespace zel {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Texts(const Array& array) {
  std::vector<std::string> texts;
  for (size_t i = 0; i < array.Length(); ++i) texts.push_back(array.At(i).ToText());
  return texts;
}

class ControlTest : public ::testing::Test {
 protected:
  void TearDown() override { control_.CloseDatabase(); }
  testing::TempDir dir_;
  Control control_;
};

TEST_F(ControlTest, PropertyListNamesTheThreeReadableProperties) {
  EXPECT_EQ(Texts(*GetPropertyList(control_)),
            (std::vector<std::string>{"CurrentDbSchema", "ActiveDb", "Version"}));
  EXPECT_EQ(control_.CurrentDbSchema(), 89);
  EXPECT_EQ(Control::Version(), "0.3.0");
  EXPECT_EQ(ReadProperty(control_, "version").ToText(), "0.3.0");
}

TEST_F(ControlTest, ActiveDbFailsWithoutADatabaseButReadPropertyAnswersEmpty) {
  EXPECT_ZEL_ERROR(control_.ActiveDb(), 2, "No active Zel database");
  EXPECT_TRUE(ReadProperty(control_, "ActiveDb").IsEmpty());
  EXPECT_TRUE(ReadProperty(control_, "NoSuchProperty").IsEmpty());
  auto database = control_.CreateDatabase(dir_.File("a.zel"));
  EXPECT_EQ(ReadProperty(control_, "ActiveDb").ToObject(), database);
}

TEST_F(ControlTest, CreateBuildsSchema89AndReopens) {
  const std::string path = dir_.File("new.zel");
  auto created = control_.CreateDatabase(path);
  EXPECT_EQ(created->Schema(), 89);
  EXPECT_EQ(State().active_db_schema, 89);
  EXPECT_EQ(created->FilePath(), path);
  State().active_db_schema = 0;
  auto opened = control_.OpenDatabase(path);
  EXPECT_NE(opened, created);
  EXPECT_EQ(control_.ActiveDb(), opened);
  EXPECT_EQ(State().active_db_schema, 89);
}

TEST_F(ControlTest, OpeningAMissingFileFailsAndLeavesNoDatabaseActive) {
  control_.CreateDatabase(dir_.File("a.zel"));
  const std::string missing = dir_.File("missing.zel");
  EXPECT_ZEL_ERROR(control_.OpenDatabase(missing), 1, "Database " + missing + " does not exist");
  EXPECT_ZEL_ERROR(control_.ActiveDb(), 2, "No active Zel database");
  EXPECT_FALSE(fs::exists(missing));
}

TEST_F(ControlTest, CreatingOverAnExistingFileFailsAndLeavesItUntouched) {
  const std::string path = dir_.File("taken.zel");
  std::ofstream(path) << "precious";
  EXPECT_ZEL_ERROR(control_.CreateDatabase(path), 10, "Database already exists!");
  std::ifstream in(path);
  std::string content;
  std::getline(in, content);
  EXPECT_EQ(content, "precious");
}

TEST_F(ControlTest, OlderSchemaNumbersAreReadAsTheyAre) {
  const std::string path = dir_.File("old.zel");
  control_.CreateDatabase(path)->SetSchema(75);
  control_.CloseDatabase();
  control_.OpenDatabase(path);
  EXPECT_EQ(State().active_db_schema, 75);
}

TEST_F(ControlTest, AFileWithoutSchemaEntryStaysActiveAfterTheError) {
  const std::string path = dir_.File("bare.zel");
  control_.CreateDatabase(path)->DbExecute("DELETE FROM DbInfo");
  control_.CloseDatabase();
  State().active_db_schema = 42;
  EXPECT_ZEL_ERROR(control_.OpenDatabase(path), 13, "Type mismatch");
  EXPECT_EQ(control_.ActiveDb()->FilePath(), path);
  EXPECT_EQ(State().active_db_schema, 42);
}

TEST_F(ControlTest, CompactRefusesTheActiveFileAndLeavesNoBackupBehind) {
  const std::string path = dir_.File("c.zel");
  auto database = control_.CreateDatabase(path);
  database->WriteDbInfo("Owner", "Ann");
  EXPECT_ZEL_ERROR(control_.CompactDatabase(path), 6, "Close Active Database first");
  database.reset();
  control_.CloseDatabase();
  control_.CompactDatabase(path);
  EXPECT_FALSE(fs::exists(path + "_bak"));
  EXPECT_EQ(control_.OpenDatabase(path)->Owner(), "Ann");
  control_.CloseDatabase();
  EXPECT_ZEL_ERROR(control_.CompactDatabase(dir_.File("none.zel")), 7, "Database does not exist");
}

// Regression: the compacted copy replaced a file that was still open, whose later writes then
// went to the replaced file and were lost without an error.
// Regression: CloseDatabase only let go of the catalogue, so a script still holding it kept the
// file open and compacting it was refused.
TEST_F(ControlTest, CloseDatabaseClosesTheFileEvenWhileItsObjectsAreHeld) {
  const std::string path = dir_.File("held.zel");
  auto held = control_.CreateDatabase(path);
  auto profiles = held->Profiles();
  auto records = held->DbOpenRecordSet("SELECT * FROM DbInfo");
  EXPECT_ZEL_ERROR(control_.CompactDatabase(dir_.File("./held.zel")), 6,
                   "Close Active Database first");  // the same file under another spelling
  control_.CloseDatabase();
  control_.CompactDatabase(path);
  EXPECT_ZEL_ERROR(held->SetOwner("written after closing"), store::engine_errc::kObjectInvalid,
                   "The catalogue '" + path +
                       "' was closed; open it again (Control.OpenDatabase) and read what you "
                       "need anew.");
  EXPECT_ZEL_ERROR_NUMBER(profiles->Add("Late", ""), store::engine_errc::kObjectInvalid);
  EXPECT_ZEL_ERROR_NUMBER(records->Eof(), store::engine_errc::kObjectInvalid);
  // A file another connection keeps open is still refused.
  auto elsewhere = store::Connection::Open(path);
  EXPECT_ZEL_ERROR(control_.CompactDatabase(path), store::engine_errc::kLocked,
                   "The file '" + path +
                       "' is open elsewhere (another catalogue object or another program); close "
                       "it before compacting.");
}

// Regression: an empty file became a catalogue by compaction, though opening refuses it; and a
// catalogue "created" in memory was gone when closed.
TEST_F(ControlTest, WhatOpenRefusesCannotBeCompactedOrCreated) {
  const std::string junk = dir_.File("junk.zel");
  std::ofstream(junk) << std::string(4096, 'x');
  EXPECT_ANY_THROW(control_.CompactDatabase(junk));
  EXPECT_EQ(fs::file_size(junk), 4096u);
  EXPECT_FALSE(fs::exists(junk + "_bak"));
  const std::string empty = dir_.File("empty.zel");
  std::ofstream{empty};
  EXPECT_ZEL_ERROR(control_.CompactDatabase(empty), 3343,
                   "Unrecognized database format '" + empty + "'.");
  EXPECT_EQ(fs::file_size(empty), 0u);
  EXPECT_ZEL_ERROR(control_.CreateDatabase(":memory:"), 3051,
                   "Could not create ':memory:': a catalogue must be a file of its own.");
  EXPECT_ZEL_ERROR_NUMBER(control_.CreateDatabase(""), 3051);
}

TEST_F(ControlTest, ReleasingAnEarlierDatabaseKeepsTheActiveOne) {
  auto first = control_.CreateDatabase(dir_.File("1.zel"));
  auto second = control_.CreateDatabase(dir_.File("2.zel"));
  first.reset();
  EXPECT_EQ(control_.ActiveDb(), second);
}

TEST_F(ControlTest, EarlierDatabaseObjectsStayUsable) {
  auto first = control_.CreateDatabase(dir_.File("1.zel"));
  control_.CreateDatabase(dir_.File("2.zel"));
  first->SetOwner("still here");
  EXPECT_EQ(first->Owner(), "still here");
}

TEST(Control, RemoveInvalidFileNameCharactersReplacesInOrder) {
  EXPECT_EQ(Control::RemoveInvalidFileNameCharacters("Alien: Director's Cut?"),
            "Alien - Director's Cut");
  EXPECT_EQ(Control::RemoveInvalidFileNameCharacters("a\\b/c*d<e>f\"g|h"), "abcdef'g|h");
}

TEST(Control, HelpersForNamesNomineesAndCrewTypes) {
  Control control;
  EXPECT_EQ(Control::SplitUpName("Anna Maria Berg"), "Anna|Maria|Berg");
  auto names = Control::SplitUpNominees("Ann Lee, Bo Berg and Cy Dahl");
  ASSERT_EQ(names->Count(), 3);
  EXPECT_EQ(names->Item(Variant(3)).ToText(), "Cy Dahl");
  EXPECT_EQ(control.GetProfilerCrewType("Director"), "Direction");
  EXPECT_EQ(control.GetProfilerCrewType("director"), "");
  EXPECT_EQ(Control::CreateVBACollection()->Count(), 0);
}

TEST(Control, LateBoundCallsReachEveryMember) {
  testing::TempDir dir;
  auto control = std::make_shared<Control>();
  Variant database =
      Invoke(*control, "CreateDatabase", CallKind::kCall, {Variant(dir.File("late.zel"))});
  ASSERT_TRUE(database.IsObject());
  EXPECT_EQ(Invoke(*control, "currentdbschema", CallKind::kGet).ToInteger(), 89);
  EXPECT_EQ(Invoke(*control, "SplitUpName", CallKind::kCall, {}, {{"name", Variant("Tom Hale")}})
                .ToText(),
            "Tom||Hale");
  control->CloseDatabase();
}

// Regression: the roles learned in one catalogue stood in for the next one's, which never learned
// them.
TEST_F(ControlTest, EveryCatalogueLearnsItsOwnCrewRoles) {
  const std::string title =
      "<DVD><ID>1</ID><UPC>1</UPC><Title>T</Title><Credits><Credit FirstName=\"Al\" "
      "LastName=\"Bo\" CreditType=\"Lighting\" CreditSubtype=\"Gaffer\"/></Credits></DVD>";
  control_.CreateDatabase(dir_.File("first.zel"))->ImportSingleProfilerXMLNode(title);
  auto second = control_.CreateDatabase(dir_.File("second.zel"));
  second->ImportSingleProfilerXMLNode(title);
  EXPECT_EQ(second->ReadDbInfo("CrewMapping"), "Gaffer=Lighting");
}

}  // namespace
}  // namespace zel
