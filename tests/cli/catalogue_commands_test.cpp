#include <arpa/inet.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "support/test_support.h"

namespace zel {
namespace {

using testing::RunZel;
using testing::RunZelWith;
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
  EXPECT_NE(unknown.err.find("\n  appearances "), std::string::npos) << unknown.err;
  EXPECT_NE(unknown.err.find(" List the profiles"), std::string::npos) << unknown.err;
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
  // Still in write-ahead-log mode, which opening no longer switches on.
  std::ifstream header(path, std::ios::binary);
  char bytes[20] = {};
  header.read(bytes, sizeof bytes);
  EXPECT_EQ(bytes[18], 2);
  EXPECT_EQ(bytes[19], 2);
}

// The answer of the server at `port` on this machine to a GET of `page`.
std::string HttpGet(int port, const std::string& page) {
  const int sock = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
  std::string answer;
  if (connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    const std::string request =
        "GET " + page + " HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n\r\n";
    if (send(sock, request.data(), request.size(), MSG_NOSIGNAL) ==
        static_cast<ssize_t>(request.size())) {
      char buffer[4096];
      for (ssize_t n; (n = recv(sock, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, n);
    }
  }
  close(sock);
  return answer;
}

// Starts `zel serve` on the catalogue after `prepare`, asks it for `page` and stops it; returns
// the status line of the answer.
std::string ServedStatus(const std::function<bool()>& prepare, const std::string& catalogue,
                         const std::string& page) {
  int out[2];
  if (pipe(out) != 0) return "pipe failed";
  const std::string zel = testing::BinaryDir() + "/bin/zel";
  const pid_t child = fork();
  if (child == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    if (!prepare()) _exit(testing::kNotPrepared);
    execl(zel.c_str(), zel.c_str(), "serve", catalogue.c_str(), "--port", "0", "--threads", "1",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string line;
  for (char c = 0; read(out[0], &c, 1) == 1 && c != '\n';) line += c;
  close(out[0]);
  std::string status = "not served: " + line;
  if (const size_t at = line.find("http://127.0.0.1:"); at != std::string::npos) {
    const std::string port = line.substr(at + 17, line.find('/', at + 17) - at - 17);
    const std::string answer = HttpGet(std::stoi(port), page);
    status = answer.substr(0, answer.find("\r\n"));
  }
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  return status;
}

TEST(ZelCli, ReadOnlyCataloguesAnswerEveryReadingCommandAndRefuseWrites) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root, to mount and to read as another user";
  testing::TempDir dir;
  const std::filesystem::path folder = dir.path() / "catalogues";
  std::filesystem::create_directory(folder);
  const std::string path = (folder / "c.zel").string();
  ASSERT_EQ(RunZel({"create", path}).exit_code, 0);
  ASSERT_EQ(RunZel({"import", path, testing::SourceDir() + "/examples/collection.xml", "--quiet"})
                .exit_code,
            0);
  const std::string id = Json::parse(
      RunZel({"sql", path, "SELECT ProfileID FROM Profiles", "--json"}).out)[0]["ProfileID"];
  // Copies go where anyone may write.
  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);

  // The folder through a read-only mount, seen only by this process; and another user's file in a
  // folder that user may not write.
  const std::string mounted = folder.string();
  const std::function<bool()> read_only_mount = [mounted] {
    return unshare(CLONE_NEWNS) == 0 &&
           mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           mount(mounted.c_str(), mounted.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
           mount(nullptr, mounted.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
  };
  const std::function<bool()> other_user = [] { return setgid(65534) == 0 && setuid(65534) == 0; };
  const std::vector<std::pair<std::function<bool()>, std::string>> cases = {
      {read_only_mount, "it is on a read-only file system"},
      {other_user, "this user may not write the file"}};
  for (const auto& [prepare, reason] : cases) {
    SCOPED_TRACE(reason);
    if (RunZelWith(prepare, {"--version"}).exit_code == testing::kNotPrepared) {
      std::cout << "skipped (cannot be set up here): " << reason << "\n";
      continue;
    }
    const std::string before = testing::FolderState(folder);
    const std::string copy = dir.File("copy of " + reason + ".zel");
    for (const std::vector<std::string>& reading :
         std::vector<std::vector<std::string>>{{"info", path},
                                               {"profiles", path},
                                               {"show", path, id},
                                               {"search", path, "Berg"},
                                               {"stats", path},
                                               {"appearances", path, "Anna Berg"},
                                               {"awards", path, "--person", "Berg"},
                                               {"sql", path, "SELECT COUNT(*) FROM CastCrew"},
                                               {"export", path, "--format", "json"},
                                               {"backup", path, copy}}) {
      const testing::CommandResult result = RunZelWith(prepare, reading);
      EXPECT_EQ(result.exit_code, 0) << reading[0] << ": " << result.err;
    }
    // The copy of a read-only catalogue is one to work on.
    EXPECT_EQ(RunZel({"sql", copy, "DELETE FROM Tags"}).exit_code, 0);
    EXPECT_EQ(ServedStatus(prepare, path, "/"), "HTTP/1.1 200 OK");

    const std::string refused = "zel: Cannot update. The catalogue '" + path +
                                "' is read-only: " + reason + ". (error 3027)\n";
    for (const std::vector<std::string>& writing : std::vector<std::vector<std::string>>{
             {"import", path, testing::SourceDir() + "/examples/collection.xml"},
             {"sql", path, "DELETE FROM Tags"},
             {"remove", path, id},
             {"compact", path}}) {
      const testing::CommandResult result = RunZelWith(prepare, writing);
      EXPECT_EQ(result.exit_code, 1) << writing[0];
      EXPECT_EQ(result.err, refused) << writing[0];
    }
    EXPECT_EQ(testing::FolderState(folder), before);
  }
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
