#include <filesystem>

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
  EXPECT_EQ(parsed["schema"], 89);
  EXPECT_EQ(parsed["tables"].size(), 32u);
  EXPECT_EQ(parsed["tables"]["DbInfo"], 1);
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

  EXPECT_NE(RunZel({}).exit_code, 0);
  EXPECT_NE(RunZel({"frobnicate"}).exit_code, 0);
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
  for (const char* command : {"create", "info", "sql", "compact"}) {
    auto help = RunZel({command, "--help"});
    EXPECT_EQ(help.exit_code, 0) << command;
    EXPECT_NE(help.out.find("FILE"), std::string::npos) << command;
  }
}

}  // namespace
}  // namespace zel
