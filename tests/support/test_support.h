// Helpers shared by the tests: a fresh temporary folder per test and paths of the build.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "catalogue/control.h"
#include "catalogue/database.h"
#include "frame/error.h"

namespace zel::testing {

// A folder of its own for one test, removed with everything in it when the object ends.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Path of a file inside the folder, as text.
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// The names in a folder with each file's bytes (as a hash): equal before and after means nothing
// was created, removed or changed there. The index of a log (-shm) counts by its name only: it is
// the shared memory through which the readers and writers of the log meet, which every reader
// writes.
std::string FolderState(const std::filesystem::path& folder);

// Folder of the shared real-world test data, or empty when this checkout has none.
std::filesystem::path SharedTestData();

std::string SourceDir();
std::string BinaryDir();

// Rebuilds, with real SQL, every table of a new (empty) catalogue whose form changed since
// `schema` in the form files of that schema have, and stores `schema` as the file's number. The
// catalogue must then be opened again for the library to take it as a file of that schema.
void MakeOlderSchema(ZelDatabase& database, int16_t schema);

// A fixture with a new catalogue in its own folder, active for the test and closed after it.
class CatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override { db_ = control_.CreateDatabase(path_); }
  void TearDown() override { control_.CloseDatabase(); }

  // Closes the catalogue and opens it again, so nothing cached survives.
  void Reopen() {
    control_.CloseDatabase();
    db_ = control_.OpenDatabase(path_);
  }
  // The catalogue as a file of an older schema (MakeOlderSchema), opened again.
  void UseOlderSchema(int16_t schema) {
    MakeOlderSchema(*db_, schema);
    Reopen();
  }

  // The first column of the first row of a query, as a number.
  int64_t Count(const std::string& sql) { return db_->DbOpenRecordSet(sql)->ValueAt(0).ToLong(); }

  TempDir dir_;
  std::string path_ = dir_.File("catalogue.zel");
  Control control_;
  std::shared_ptr<ZelDatabase> db_;
};

struct CommandResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};

// Runs the built `zel` with `args` (each passed as one argument, no shell), capturing its output.
CommandResult RunZel(const std::vector<std::string>& args);

// The exit code of RunZelWith when `prepare` failed.
inline constexpr int kNotPrepared = 126;
// RunZel, with `prepare` run in the child process just before zel starts (to give up the powers of
// root, or to see a folder through a read-only mount); false from it ends the child with
// kNotPrepared.
CommandResult RunZelWith(const std::function<bool()>& prepare,
                         const std::vector<std::string>& args);

}  // namespace zel::testing

// Asserts that `statement` throws zel::Error with exactly this number and description.
#define EXPECT_ZEL_ERROR(statement, expected_number, expected_text)          \
  do {                                                                       \
    try {                                                                    \
      statement;                                                             \
      ADD_FAILURE() << "no error from " #statement;                          \
    } catch (const ::zel::Error& error_) {                                   \
      EXPECT_EQ(error_.number(), (expected_number)) << error_.description(); \
      EXPECT_EQ(error_.description(), std::string(expected_text));           \
    }                                                                        \
  } while (0)

// Asserts that `statement` throws zel::Error with this number, whatever its text.
#define EXPECT_ZEL_ERROR_NUMBER(statement, expected_number)                  \
  do {                                                                       \
    try {                                                                    \
      statement;                                                             \
      ADD_FAILURE() << "no error from " #statement;                          \
    } catch (const ::zel::Error& error_) {                                   \
      EXPECT_EQ(error_.number(), (expected_number)) << error_.description(); \
    }                                                                        \
  } while (0)
