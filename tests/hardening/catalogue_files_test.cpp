// Opening something that is not a usable catalogue fails with a clear error and creates or changes
// nothing: random bytes, an empty file, an SQLite file of another program, a path in a missing
// folder, a file another process keeps locked. A catalogue that cannot be written is read, and
// left as it was.
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
#include "model/profiles.h"
#include "store/engine_errors.h"

namespace zel::testing {
namespace {

namespace fs = std::filesystem;
namespace ec = store::engine_errc;

// "number description" of the error that `open` raises, or "no error".
std::string ErrorOf(const std::function<void()>& open) {
  try {
    open();
  } catch (const Error& error) {
    return std::to_string(error.number()) + " " + error.description();
  }
  return "no error";
}

// Runs `work` in a child process without the powers of root (which may write any file), so that
// permissions mean what they say; returns what it returns.
std::string AsOrdinaryUser(const std::function<std::string()>& work) {
  if (geteuid() != 0) return work();
  int channel[2];
  if (pipe(channel) != 0) return "pipe failed";
  const pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    std::string result = "cannot drop privileges";
    if (setgid(65534) == 0 && setuid(65534) == 0) result = work();
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

std::string ErrorAsOrdinaryUser(const std::function<void()>& open) {
  return AsOrdinaryUser([&] { return ErrorOf(open); });
}

// Runs the statements on the file in a process that then dies without closing it, as a crashed
// writer would: its commits stay in the log beside the file.
void CommitAndCrash(const std::string& path, const char* statements) {
  const pid_t child = fork();
  if (child == 0) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    const int rc = sqlite3_exec(db, statements, nullptr, nullptr, nullptr);
    _exit(rc == SQLITE_OK ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(status, 0) << statements;
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

TEST_F(CatalogueFilesTest, ReadOnlyCataloguesAreReadAndLeftAsTheyWere) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root, to read as another user";
  const std::string path = MakeCatalogue("catalogue.zel");
  // What an ordinary user reads of the catalogue, and what a write then says.
  const auto read = [&] {
    return AsOrdinaryUser([&] {
      Control control;
      std::string seen;
      try {
        auto db = control.OpenDatabase(path);
        seen = db->Profiles()->Item(Variant(1))->Title() + "; ";
        seen += ErrorOf([&] { db->DbExecute("DELETE FROM Tags"); }) + "; ";
        seen += ErrorOf(
            [] { ImportProfilerXml(BaseTitleWith("<ID>800004711037</ID>", "<ID>2</ID>")); });
        control.CloseDatabase();
      } catch (const Error& error) {
        seen += std::to_string(error.number()) + " " + error.description();
      }
      return seen;
    });
  };
  const std::string markup = BaseTitle();
  const size_t title_at = markup.find("<Title>") + 7;
  const std::string title = markup.substr(title_at, markup.find("</Title>") - title_at);
  const std::string refused =
      "3027 Cannot update. The catalogue '" + path + "' is read-only: this user may not write ";
  const fs::perms folder_shared = fs::perms::all;
  const fs::perms folder_own = fs::perms::owner_all | fs::perms::group_read |
                               fs::perms::group_exec | fs::perms::others_read |
                               fs::perms::others_exec;
  const fs::perms read_only =
      fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;

  // A file that is itself read-only, in a folder anyone may write: read without a trace.
  fs::permissions(dir_.path(), folder_shared);
  fs::permissions(path, read_only);
  std::string before = FolderState(dir_.path());
  EXPECT_EQ(read(), title + "; " + refused + "the file.; " + refused + "the file.");
  EXPECT_EQ(FolderState(dir_.path()), before);

  // Another user's file that this one may write, in a folder that takes no log beside it.
  fs::permissions(path, fs::perms::all);
  fs::permissions(dir_.path(), folder_own);
  before = FolderState(dir_.path());
  const std::string folder = refused + "its folder '" + dir_.path().string() + "'.";
  EXPECT_EQ(read(), title + "; " + folder + "; " + folder);
  // Creating in such a folder fails as clearly.
  const std::string made = dir_.File("new.zel");
  EXPECT_EQ(ErrorAsOrdinaryUser([&] { control_.CreateDatabase(made); }),
            "3051 Could not create '" + made + "': the folder '" + dir_.path().string() +
                "' cannot be written.");
  EXPECT_EQ(FolderState(dir_.path()), before);

  // A writer that died left commits in the log: they are read through its index.
  fs::permissions(dir_.path(), fs::perms::all);
  CommitAndCrash(path.c_str(),
                 "PRAGMA wal_autocheckpoint=0; UPDATE Profiles SET Title = 'Only in the log'");
  fs::permissions(path, read_only);
  fs::permissions(dir_.path(), folder_own);
  ASSERT_TRUE(fs::exists(path + "-wal") && fs::exists(path + "-shm"));
  before = FolderState(dir_.path());
  EXPECT_EQ(read(), "Only in the log; " + refused + "the file.; " + refused + "the file.");
  EXPECT_EQ(FolderState(dir_.path()), before);
  // Without the index, nobody who may not write can read those commits: refused, not misread.
  fs::permissions(dir_.path(), fs::perms::all);
  fs::remove(path + "-shm");
  fs::permissions(dir_.path(), folder_own);
  before = FolderState(dir_.path());
  EXPECT_EQ(read(), "3051 Could not open the file '" + path + "' for reading: its log '" + path +
                        "-wal' holds changes that are not in the file yet, which only a program "
                        "that may write the catalogue can bring in (open it once with write "
                        "access).");
  EXPECT_EQ(FolderState(dir_.path()), before);

  // One who may write brings the commits in; a file in rollback-journal mode stays in it, whether
  // read by one who may write it or by one who may not.
  fs::permissions(dir_.path(), fs::perms::all);
  fs::permissions(path, fs::perms::all);
  control_.OpenDatabase(path);
  control_.CloseDatabase();
  EXPECT_FALSE(fs::exists(path + "-wal"));
  // An empty log with its index (a writer between commits), and an index alone: read as well.
  CommitAndCrash(path.c_str(), "PRAGMA wal_checkpoint(TRUNCATE)");
  for (const bool with_log : {true, false}) {
    if (!with_log) fs::remove(path + "-wal");
    fs::permissions(dir_.path(), folder_own);
    before = FolderState(dir_.path());
    EXPECT_EQ(read(), "Only in the log; " + folder + "; " + folder) << with_log;
    EXPECT_EQ(FolderState(dir_.path()), before);
    fs::permissions(dir_.path(), fs::perms::all);
  }
  fs::remove(path + "-shm");
  CommitAndCrash(path.c_str(), "PRAGMA journal_mode=DELETE");
  before = FolderState(dir_.path());
  EXPECT_EQ(control_.OpenDatabase(path)->Profiles()->Item(Variant(1))->Title(), "Only in the log");
  control_.CloseDatabase();
  EXPECT_EQ(FolderState(dir_.path()), before);
  fs::permissions(path, read_only);
  EXPECT_EQ(read(), "Only in the log; " + refused + "the file.; " + refused + "the file.");
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
