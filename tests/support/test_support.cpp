#include "support/test_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "frame/text.h"
#include "store/schema.h"

namespace zel::testing {

TempDir::TempDir() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "zel";
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  std::random_device random;
  path_ =
      std::filesystem::temp_directory_path() / ("zeltest-" + name + "-" + std::to_string(random()));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string FolderState(const std::filesystem::path& folder) {
  std::vector<std::string> entries;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    std::string state = "<folder>";
    if (entry.is_regular_file()) {
      std::ifstream in(entry.path(), std::ios::binary);
      std::ostringstream bytes;
      if (!name.ends_with("-shm")) bytes << in.rdbuf();
      state = std::to_string(std::hash<std::string>()(bytes.str()));
    }
    entries.push_back(name + "=" + state);
  }
  std::sort(entries.begin(), entries.end());
  std::string out;
  for (const std::string& entry : entries) out += entry + "\n";
  return out;
}

std::filesystem::path SharedTestData() {
  // A checkout in another place than beside the shared folder names it in ZEL_SHARED_TESTDATA.
  if (const char* named = std::getenv("ZEL_SHARED_TESTDATA"); named && *named) {
    return std::filesystem::exists(named) ? std::filesystem::path(named) : std::filesystem::path();
  }
  auto path = std::filesystem::path(ZEL_SOURCE_DIR) / ".." / "shared" / "testdata";
  return std::filesystem::exists(path) ? path : std::filesystem::path();
}

std::string SourceDir() { return ZEL_SOURCE_DIR; }

namespace {
std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}
}  // namespace

CommandResult RunZel(const std::vector<std::string>& args) { return RunZelWith({}, args); }

CommandResult RunZelWith(const std::function<bool()>& prepare,
                         const std::vector<std::string>& args) {
  TempDir scratch;
  const std::string out_path = scratch.File("out");
  const std::string err_path = scratch.File("err");
  const std::string zel = std::string(ZEL_BINARY_DIR) + "/bin/zel";
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(zel.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  CommandResult result;
  const pid_t child = fork();
  if (child == 0) {
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int in = open("/dev/null", O_RDONLY);
    dup2(out, 1);
    dup2(err, 2);
    dup2(in, 0);
    if (prepare && !prepare()) _exit(kNotPrepared);
    execv(zel.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = ReadWhole(out_path);
  result.err = ReadWhole(err_path);
  return result;
}
std::string BinaryDir() { return ZEL_BINARY_DIR; }

namespace {

// The Profiles table of a file of `schema`: the current one without the columns added since.
std::string ProfilesOf(int16_t schema) {
  for (std::string statement : TableStatements()) {
    if (!statement.starts_with("CREATE TABLE Profiles ")) continue;
    if (schema < 88) statement = ReplaceAll(statement, ", CountAs integer", "");
    if (schema < 78) statement = ReplaceAll(statement, ", MD5 varchar", "");
    return statement;
  }
  return {};
}

}  // namespace

void MakeOlderSchema(ZelDatabase& database, int16_t schema) {
  // The flags of the credit and award tables were texts before 76.
  const std::string flag = schema < 76 ? "varchar" : "yesno";
  const auto credit_columns = [&](bool tv) {
    return "Name varchar NOT NULL, Role varchar, " +
           std::string(tv ? "Position integer NOT NULL, EpisodeID varchar NOT NULL, "
                          : "ProfileID varchar NOT NULL, Position integer NOT NULL, ") +
           "BirthYear integer, IsUncredited " + flag + ", IsVoice " + flag + ", IsCast " + flag +
           (tv && schema >= 79 ? ", IsRegular yesno" : "") +
           (schema >= 88 ? ", IsCreditOnly yesno" : "");
  };
  const std::vector<std::string> statements = {
      "CREATE TABLE CastCrew (" + credit_columns(false) +
          ", PRIMARY KEY (ProfileID, Name, Position, IsCast))",
      "CREATE TABLE TVCastCrew (" + credit_columns(true) +
          ", PRIMARY KEY (EpisodeID, Name, Position, IsCast))",
      "CREATE TABLE Awards (Award varchar NOT NULL, Year integer NOT NULL, Category varchar, "
      "MovieTitle varchar NOT NULL, Won " +
          flag + ", Nominee varchar" + (schema >= 80 ? ", MovieYear integer" : "") +
          (schema < 77 ? ", AwardID long" : "") + ")",
      "CREATE TABLE Users (UserID varchar NOT NULL UNIQUE PRIMARY KEY, PhoneNumber varchar, "
      "EmailAddress varchar" +
          std::string(schema >= 88 ? ", IsActive yesno" : "") + ")",
      "CREATE TABLE AdditionalInfo (ProfileID varchar NOT NULL, InfoName varchar, InfoValue memo" +
          std::string(schema >= 84 ? ", InfoType varchar" : "") +
          ", PRIMARY KEY (ProfileID, "
          "InfoName))",
      ProfilesOf(schema),
  };
  for (const std::string& statement : statements) {
    const std::string table = statement.substr(13, statement.find(' ', 13) - 13);
    database.DbExecute("DROP TABLE " + table);
    database.DbExecute(statement);
  }
  database.SetSchema(schema);
}

}  // namespace zel::testing
