// Opening something that is not a usable catalogue fails with a clear error and creates or changes
// nothing: random bytes, an empty file, an SQLite file of another program, a file or folder that
// cannot be written, a path in a missing folder, a file another process keeps locked.
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <random>

#include "frame/library_state.h"
#include "hardening/hardening_support.h"
#include "import/profiler_import.h"
#include "store/engine_errors.h"

namespace zel::testing {
namespace {

namespace fs = std::filesystem;
namespace ec = store::engine_errc;

// The names in a folder with each file's bytes: equal before and after means nothing was
// created, removed or changed.
std::string FolderState(const fs::path& folder) {
  std::vector<std::string> entries;
  for (const auto& entry : fs::directory_iterator(folder)) {
    entries.push_back(entry.path().filename().string() + "=" +
                      (entry.is_regular_file() ? std::to_string(std::hash<std::string>()(
                                                     ReadFile(entry.path().string())))
                                               : "<dir>"));
  }
  std::sort(entries.begin(), entries.end());
  std::string out;
  for (const std::string& entry : entries) out += entry + "\n";
  return out;
}

// "number description" of the error that `open` raises, or "no error".
std::string ErrorOf(const std::function<void()>& open) {
  try {
    open();
  } catch (const Error& error) {
    return std::to_string(error.number()) + " " + error.description();
  }
  return "no error";
}

// Runs `open` in a child process without the powers of root (which may write any file), so that
// permissions mean what they say; returns what ErrorOf gives.
std::string ErrorAsOrdinaryUser(const std::function<void()>& open) {
  if (geteuid() != 0) return ErrorOf(open);
  int channel[2];
  if (pipe(channel) != 0) return "pipe failed";
  const pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    std::string result = "cannot drop privileges";
    if (setgid(65534) == 0 && setuid(65534) == 0) result = ErrorOf(open);
    const ssize_t written = write(channel[1], result.data(), result.size());
    _exit(written == static_cast<ssize_t>(result.size()) ? 0 : 1);
  }
  close(channel[1]);
  std::string result;
  char buffer[512];
  ssize_t got;
  while ((got = read(channel[0], buffer, sizeof buffer)) > 0) result.append(buffer, got);
  close(channel[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return result;
}

class CatalogueFilesTest : public ::testing::Test {
 protected:
  void TearDown() override { control_.CloseDatabase(); }

  // A closed catalogue holding one title.
  std::string MakeCatalogue(const std::string& name) {
    const std::string path = dir_.File(name);
    control_.CreateDatabase(path);
    ImportProfilerXml(BaseTitle());
    control_.CloseDatabase();
    return path;
  }

  std::string OpenError(const std::string& path) {
    return ErrorOf([&] { control_.OpenDatabase(path); });
  }

  TempDir dir_;
  Control control_;
};

TEST_F(CatalogueFilesTest, FilesThatAreNoCatalogueAreRefusedUntouched) {
  const std::string random = dir_.File("random.zel");
  std::mt19937 generator(7);
  std::string bytes(64 * 1024, '\0');
  for (char& c : bytes) c = static_cast<char>(generator());
  WriteFile(random, bytes);
  const std::string empty = dir_.File("empty.zel");
  WriteFile(empty, "");
  const std::string header_only = dir_.File("header.zel");
  WriteFile(header_only, std::string("SQLite format 3\0", 16) + std::string(84, '\x01'));
  const std::string other = dir_.File("other.sqlite");
  {
    sqlite3* db = nullptr;
    sqlite3_open(other.c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE Notes (Text TEXT); INSERT INTO Notes VALUES ('kept')", nullptr,
                 nullptr, nullptr);
    sqlite3_close(db);
  }
  const std::string before = FolderState(dir_.path());

  EXPECT_EQ(OpenError(random), "3343 Unrecognized database format '" + random + "'.");
  EXPECT_EQ(OpenError(empty), "3343 Unrecognized database format '" + empty + "'.");
  EXPECT_EQ(OpenError(header_only), "3343 Unrecognized database format '" + header_only + "'.");
  EXPECT_EQ(OpenError(other),
            "3343 The file '" + other + "' is not a catalogue: it has no DbInfo table.");
  EXPECT_EQ(FolderState(dir_.path()), before);
  EXPECT_FALSE(State().active_database);
}

TEST_F(CatalogueFilesTest, PathsInMissingFoldersCreateNothing) {
  const std::string missing = dir_.File("no such folder") + "/catalogue.zel";
  EXPECT_EQ(OpenError(missing), "1 Database " + missing + " does not exist");
  EXPECT_EQ(ErrorOf([&] { control_.CreateDatabase(missing); }),
            "3051 Could not create '" + missing + "': the folder '" + dir_.File("no such folder") +
                "' does not exist.");
  EXPECT_FALSE(fs::exists(dir_.File("no such folder")));
  EXPECT_FALSE(State().active_database);
}

TEST_F(CatalogueFilesTest, ReadOnlyFileOrFolderIsRefusedUntouched) {
  const std::string path = MakeCatalogue("catalogue.zel");
  // Only the file is read-only: the folder lets anyone create files.
  fs::permissions(dir_.path(), fs::perms::all);
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  std::string before = FolderState(dir_.path());
  EXPECT_EQ(ErrorAsOrdinaryUser([&] { control_.OpenDatabase(path); }),
            "3051 Could not open the file '" + path + "' for writing.");
  EXPECT_EQ(FolderState(dir_.path()), before);

  // Now the file may be written but the folder not, so the engine's log cannot be made.
  fs::permissions(path, fs::perms::all);
  fs::permissions(dir_.path(), fs::perms::owner_all | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read |
                                   fs::perms::others_exec);
  before = FolderState(dir_.path());
  EXPECT_EQ(ErrorAsOrdinaryUser([&] { control_.OpenDatabase(path); }),
            "3051 Could not open the file '" + path + "': its folder '" + dir_.path().string() +
                "' cannot be written.");
  EXPECT_EQ(FolderState(dir_.path()), before);
  // Creating in such a folder fails as clearly.
  const std::string made = dir_.File("new.zel");
  EXPECT_EQ(ErrorAsOrdinaryUser([&] { control_.CreateDatabase(made); }),
            "3051 Could not create '" + made + "': the folder '" + dir_.path().string() +
                "' cannot be written.");
  EXPECT_EQ(FolderState(dir_.path()), before);
}

// A process that holds the catalogue with a lock of the given kind until the object ends.
class LockHolder {
 public:
  LockHolder(const std::string& path, const char* statements) {
    int ready[2];
    if (pipe(ready) != 0 || pipe(release_) != 0) ADD_FAILURE() << "pipe failed";
    child_ = fork();
    if (child_ == 0) {
      close(ready[0]);
      close(release_[1]);
      sqlite3* db = nullptr;
      sqlite3_open(path.c_str(), &db);
      const char ok = sqlite3_exec(db, statements, nullptr, nullptr, nullptr) == SQLITE_OK ? 1 : 0;
      if (write(ready[1], &ok, 1) != 1) _exit(1);
      char ignored;
      while (read(release_[0], &ignored, 1) > 0) {
      }
      _exit(0);
    }
    close(ready[1]);
    close(release_[0]);
    char ok = 0;
    if (read(ready[0], &ok, 1) != 1 || ok != 1) ADD_FAILURE() << "the lock was not taken";
    close(ready[0]);
  }
  ~LockHolder() {
    close(release_[1]);
    int status = 0;
    waitpid(child_, &status, 0);
  }

 private:
  pid_t child_ = -1;
  int release_[2] = {-1, -1};
};

TEST_F(CatalogueFilesTest, ExclusivelyLockedFileIsRefusedAfterABoundedWait) {
  const std::string path = MakeCatalogue("catalogue.zel");
  const std::string before = ReadFile(path);
  {
    LockHolder holder(
        path,
        "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; INSERT INTO Tags (ProfileID) "
        "SELECT ProfileID FROM Profiles WHERE 0");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(OpenError(path), "3260 The file '" + path + "' is locked by another process.");
    const double waited =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(waited, 4.0);
    EXPECT_LT(waited, 30.0);
    EXPECT_FALSE(State().active_database);
  }
  EXPECT_EQ(ReadFile(path), before);
}

TEST_F(CatalogueFilesTest, WriterLockLetsReadersInAndFailsWritesClearly) {
  const std::string path = MakeCatalogue("catalogue.zel");
  LockHolder holder(path, "BEGIN IMMEDIATE");
  auto db = control_.OpenDatabase(path);
  EXPECT_EQ(db->DbOpenRecordSet("SELECT COUNT(*) FROM Profiles")->ValueAt(0).ToLong(), 1);
  const std::string before = Snapshot(*db);
  const std::string error =
      ErrorOf([] { ImportProfilerXml(BaseTitleWith("<ID>800004711037</ID>", "<ID>2</ID>")); });
  EXPECT_EQ(error.substr(0, 5), "3260 ") << error;
  EXPECT_NE(error.find("is locked by another process"), std::string::npos) << error;
  EXPECT_EQ(Snapshot(*db), before);
}

}  // namespace
}  // namespace zel::testing
