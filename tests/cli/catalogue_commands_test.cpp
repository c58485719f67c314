#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "support/test_support.h"

namespace zel {
namespace {

using testing::RunZel;
using Json = nlohmann::json;

TEST(ZelCli, CreateInfoAndJson) {
  testing::TempDir dir;
  const std::string path = dir.File("cli.zel");
  auto created = RunZel({"create", path});
  ASSERT_EQ(created.exit_code, 0) << created.err;
  EXPECT_EQ(created.out, "Created " + path + " (schema 89)\n");

  auto info = RunZel({"info", path});
  ASSERT_EQ(info.exit_code, 0) << info.err;
  EXPECT_NE(info.out.find("Schema:  89"), std::string::npos);
  EXPECT_NE(info.out.find("CastCrew"), std::string::npos);

  auto json = RunZel({"info", path, "--json"});
  ASSERT_EQ(json.exit_code, 0) << json.err;
  Json parsed = Json::parse(json.out);
  EXPECT_EQ(parsed["Schema"], 89);
  EXPECT_EQ(parsed["Tables"].size(), 32u);
  EXPECT_EQ(parsed["Tables"]["DbInfo"], 1);
}

TEST(ZelCli, SqlRunsStatementsAndPrintsQueries) {
  testing::TempDir dir;
  const std::string path = dir.File("sql.zel");
  ASSERT_EQ(RunZel({"create", path}).exit_code, 0);
  auto insert =
      RunZel({"sql", path,
              "INSERT INTO Users (UserID, PhoneNumber, IsActive) VALUES ('Ann', '555', true)"});
  ASSERT_EQ(insert.exit_code, 0) << insert.err;
  EXPECT_EQ(insert.out, "1 row changed\n");

  auto table = RunZel({"sql", path, "SELECT UserID, IsActive FROM Users"});
  ASSERT_EQ(table.exit_code, 0) << table.err;
  EXPECT_EQ(table.out, "UserID  IsActive\n------  --------\nAnn     True\n(1 row)\n");

  auto json = RunZel({"sql", path, "SELECT * FROM Users", "--json"});
  ASSERT_EQ(json.exit_code, 0) << json.err;
  Json rows = Json::parse(json.out);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0]["UserID"], "Ann");
  EXPECT_EQ(rows[0]["IsActive"], true);
  EXPECT_TRUE(rows[0]["EmailAddress"].is_null());

  // Whatever returns rows prints them, not a count of changes.
  auto pragma = RunZel({"sql", path, "PRAGMA table_info(Users)"});
  ASSERT_EQ(pragma.exit_code, 0) << pragma.err;
  EXPECT_NE(pragma.out.find("EmailAddress"), std::string::npos) << pragma.out;
  EXPECT_NE(pragma.out.find("(4 rows)"), std::string::npos) << pragma.out;
  auto values = RunZel({"sql", path, "VALUES (7)", "--json"});
  EXPECT_EQ(Json::parse(values.out).size(), 1u) << values.out;
  auto deleted = RunZel({"sql", path, "DELETE FROM Users", "--json"});
  EXPECT_EQ(Json::parse(deleted.out), Json::parse(R"({"RowsChanged": 1})"));
}

TEST(ZelCli, ErrorsAreOneLineWithNonZeroExit) {
  testing::TempDir dir;
  const std::string missing = dir.File("missing.zel");
  auto result = RunZel({"info", missing});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, "zel: Database " + missing + " does not exist (error 1)\n");
  EXPECT_FALSE(std::filesystem::exists(missing));

  const std::string path = dir.File("e.zel");
  ASSERT_EQ(RunZel({"create", path}).exit_code, 0);
  auto again = RunZel({"create", path});
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_EQ(again.err, "zel: Database already exists! (error 10)\n");

  auto bad = RunZel({"sql", path, "SELECT * FROM Nowhere"});
  EXPECT_EQ(bad.exit_code, 1);
  EXPECT_NE(bad.err.find("(error 3078)"), std::string::npos) << bad.err;

  auto two = RunZel({"sql", path, "DELETE FROM Users; DELETE FROM DbInfo"});
  EXPECT_EQ(two.exit_code, 1);
  EXPECT_NE(two.err.find("(error 3142)"), std::string::npos) << two.err;

  auto unknown = RunZel({"frobnicate", path});
  EXPECT_EQ(unknown.exit_code, 1);
  EXPECT_EQ(unknown.err.rfind("zel: unknown command 'frobnicate'\nThe commands are:\n", 0), 0u)
      << unknown.err;
  EXPECT_NE(unknown.err.find("  appearances    List the profiles"), std::string::npos);
  auto none = RunZel({});
  EXPECT_EQ(none.exit_code, 1);
  EXPECT_NE(none.err.find("The commands are:"), std::string::npos);
}

TEST(ZelCli, ImportOfWhatIsNoCollectionFileSaysWhy) {
  testing::TempDir dir;
  const std::string path = dir.File("i.zel");
  ASSERT_EQ(RunZel({"create", path}).exit_code, 0);
  std::ofstream(dir.File("notes.txt")) << "Shopping list\n";
  std::ofstream(dir.File("empty.xml")).flush();
  std::filesystem::create_directory(dir.File("folder.xml"));
  for (const auto& [name, why] :
       {std::pair{"notes.txt",
                  "it holds no XML markup (it begins with "
                  "\"Shopping list\")"},
        std::pair{"empty.xml", "it is empty"}, std::pair{"folder.xml", "it is a folder"}}) {
    auto result = RunZel({"import", path, dir.File(name)});
    EXPECT_EQ(result.exit_code, 1) << name;
    EXPECT_EQ(result.err,
              "zel: " + dir.File(name) + " is not a collection file: " + why + " (error 5)\n");
  }
}

TEST(ZelCli, BackupMakesAWholeCopyAndNeverOverwrites) {
  testing::TempDir dir;
  const std::string path = dir.File("b.zel");
  const std::string copy = dir.File("copy.zel");
  ASSERT_EQ(RunZel({"create", path}).exit_code, 0);
  ASSERT_EQ(RunZel({"sql", path, "INSERT INTO Users (UserID) VALUES ('Bo')"}).exit_code, 0);
  auto backup = RunZel({"backup", path, copy, "--json"});
  ASSERT_EQ(backup.exit_code, 0) << backup.err;
  const Json summary = Json::parse(backup.out);
  EXPECT_EQ(summary["Backup"], copy);
  EXPECT_EQ(summary["Bytes"], std::filesystem::file_size(copy));
  EXPECT_EQ(
      Json::parse(RunZel({"sql", copy, "SELECT UserID FROM Users", "--json"}).out)[0]["UserID"],
      "Bo");

  auto again = RunZel({"backup", path, copy});
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_EQ(again.err,
            "zel: Could not create '" + copy + "': the file already exists. (error 3204)\n");
  std::ofstream(dir.File("plain.txt")) << "not a catalogue";
  auto plain = RunZel({"backup", dir.File("plain.txt"), dir.File("plain.zel")});
  EXPECT_EQ(plain.exit_code, 1);
  EXPECT_NE(plain.err.find("(error 3343)"), std::string::npos) << plain.err;
  // Nothing is left behind by the failures, not even the temporary copy.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
}

TEST(ZelCli, CompactKeepsTheContent) {
  testing::TempDir dir;
  const std::string path = dir.File("c.zel");
  ASSERT_EQ(RunZel({"create", path}).exit_code, 0);
  ASSERT_EQ(RunZel({"sql", path, "INSERT INTO Users (UserID) VALUES ('Bo')"}).exit_code, 0);
  auto compact = RunZel({"compact", path});
  ASSERT_EQ(compact.exit_code, 0) << compact.err;
  EXPECT_EQ(compact.out.rfind("Compacted " + path, 0), 0u);
  auto users = RunZel({"sql", path, "SELECT UserID FROM Users", "--json"});
  EXPECT_EQ(Json::parse(users.out)[0]["UserID"], "Bo");
}

TEST(ZelCli, HelpIsAvailableForEveryCommand) {
  // The commands as zel itself lists them.
  std::istringstream listing(RunZel({}).err);
  int commands = 0;
  for (std::string line; std::getline(listing, line);) {
    if (!line.starts_with("  ")) continue;
    const std::string command = line.substr(2, line.find(' ', 2) - 2);
    auto help = RunZel({command, "--help"});
    EXPECT_EQ(help.exit_code, 0) << command;
    EXPECT_NE(help.out.find("Usage: zel " + command), std::string::npos) << command;
    ++commands;
  }
  EXPECT_GE(commands, 15);
}

}  // namespace
}  // namespace zel
