// The catalogue under interruption and concurrent use, with real processes: `zel import` of a
// generated collection killed with SIGKILL at random moments, and `zel import` writing while
// another process queries in a loop. Both compare what they find with a clean import of the same
// collection.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <thread>

#include "hardening/hardening_support.h"

extern char** environ;

namespace zel::testing {
namespace {

using Clock = std::chrono::steady_clock;

// gcc and clang say differently that the sanitizers are on; they slow every process several times
// over, so the sanitized build imports fewer titles and kills the import fewer times.
#if defined(__SANITIZE_ADDRESS__)
#define ZEL_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZEL_SANITIZED 1
#endif
#endif
#if defined(ZEL_SANITIZED)
constexpr int kTitles = 300;
constexpr int kKills = 12;
#else
constexpr int kTitles = 2000;
constexpr int kKills = 20;
#endif

std::string Bin(const std::string& name) { return BinaryDir() + "/bin/" + name; }

// A child process running a program of the build with its output sent to /dev/null.
class Process {
 public:
  explicit Process(const std::vector<std::string>& args) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Process() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      Wait();
    }
  }
  // Whether the process has ended, without waiting.
  bool Exited() {
    if (!exited_ && waitpid(pid_, &status_, WNOHANG) == pid_) exited_ = true;
    return exited_;
  }
  int Wait() {
    if (!exited_ && waitpid(pid_, &status_, 0) == pid_) exited_ = true;
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
  }
  // Kills the process unless it has already ended; true when it was killed.
  bool Kill() {
    if (Exited()) return false;
    kill(pid_, SIGKILL);
    Wait();
    return true;
  }

 private:
  pid_t pid_ = -1;
  int status_ = 0;
  bool exited_ = false;
};

// Rows of one catalogue, read with plain SQLite: per profile (the ProfileID or BoxSetID column),
// the sorted rows of every table that has one; and all rows of every table. Event identifiers are
// drawn at random by each import, so they are left out.
struct Content {
  std::map<std::string, std::vector<std::string>> by_profile;
  std::vector<std::string> all;
};

std::string Raw(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    return std::string("error: ") + sqlite3_errmsg(db);
  }
  std::string out;
  while (sqlite3_step(statement) == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(statement, 0);
    out += text ? reinterpret_cast<const char*>(text) : "";
  }
  sqlite3_finalize(statement);
  return out;
}

// The titles of every collection type that zel stats --json counts.
int64_t StatsTitles(const std::string& out) {
  const nlohmann::json stats = nlohmann::json::parse(out);
  int64_t titles = 0;
  for (const auto& [type, count] : stats["Counts"].items()) {
    titles += count.get<int64_t>();
  }
  return titles;
}

Content ReadContent(const std::string& path, std::string* integrity = nullptr) {
  Content content;
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  sqlite3_busy_timeout(db, 5000);
  if (integrity) *integrity = Raw(db, "PRAGMA integrity_check");
  std::vector<std::string> tables;
  sqlite3_stmt* list = nullptr;
  sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name", -1,
                     &list, nullptr);
  while (sqlite3_step(list) == SQLITE_ROW) {
    tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(list, 0)));
  }
  sqlite3_finalize(list);
  for (const std::string& table : tables) {
    // The change log of zel search and zel serve is theirs, not the collection's.
    if (table == "zel_changes") continue;
    sqlite3_stmt* rows = nullptr;
    sqlite3_prepare_v2(db, ("SELECT * FROM \"" + table + "\"").c_str(), -1, &rows, nullptr);
    const int columns = sqlite3_column_count(rows);
    int owner = -1;
    for (int c = 0; c < columns; ++c) {
      const std::string name = sqlite3_column_name(rows, c);
      if (name == "ProfileID" || (table == "BoxSet" && name == "BoxSetID")) owner = c;
    }
    while (sqlite3_step(rows) == SQLITE_ROW) {
      std::string row = table + ":";
      for (int c = 0; c < columns; ++c) {
        if (std::string(sqlite3_column_name(rows, c)) == "EventID") continue;
        const unsigned char* text = sqlite3_column_text(rows, c);
        row += text ? reinterpret_cast<const char*>(text) : "<null>";
        row += '|';
      }
      if (owner >= 0) {
        const unsigned char* id = sqlite3_column_text(rows, owner);
        content.by_profile[id ? reinterpret_cast<const char*>(id) : ""].push_back(row);
      }
      content.all.push_back(std::move(row));
    }
    sqlite3_finalize(rows);
  }
  sqlite3_close(db);
  for (auto& [id, rows] : content.by_profile) std::sort(rows.begin(), rows.end());
  std::sort(content.all.begin(), content.all.end());
  return content;
}

// The profiles of a catalogue, read with plain SQLite.
std::vector<std::string> ProfileIds(const std::string& path) {
  std::vector<std::string> ids;
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_busy_timeout(db, 5000);
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(db, "SELECT ProfileID FROM Profiles", -1, &statement, nullptr);
  while (sqlite3_step(statement) == SQLITE_ROW) {
    ids.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return ids;
}

class InterruptionTest : public ::testing::Test {
 protected:
  // One generated collection and its clean import, shared by the tests of the suite.
  static void SetUpTestSuite() {
    folder_ = new TempDir();
    collection_ = folder_->File("collection.xml");
    clean_ = folder_->File("clean.zel");
    ASSERT_EQ(
        Process({Bin("generate_collection"), std::to_string(kTitles), collection_, "6"}).Wait(), 0);
    ASSERT_EQ(Process({Bin("zel"), "create", clean_}).Wait(), 0);
    const Clock::time_point start = Clock::now();
    ASSERT_EQ(Process({Bin("zel"), "import", clean_, collection_, "--quiet"}).Wait(), 0);
    clean_seconds_ = std::chrono::duration<double>(Clock::now() - start).count();
    reference_ = new Content(ReadContent(clean_));
    ASSERT_EQ(ProfileIds(clean_).size(), static_cast<size_t>(kTitles));
  }
  static void TearDownTestSuite() {
    delete reference_;
    delete folder_;
  }

  static TempDir* folder_;
  static std::string collection_;
  static std::string clean_;
  static double clean_seconds_;
  static Content* reference_;
};

TempDir* InterruptionTest::folder_ = nullptr;
std::string InterruptionTest::collection_;
std::string InterruptionTest::clean_;
double InterruptionTest::clean_seconds_ = 0;
Content* InterruptionTest::reference_ = nullptr;

TEST_F(InterruptionTest, ImportKilledAtRandomMomentsLosesAndCorruptsNothing) {
  TempDir dir;
  const std::string catalogue = dir.File("crash.zel");
  ASSERT_EQ(Process({Bin("zel"), "create", catalogue}).Wait(), 0);
  std::mt19937 random(std::random_device{}());
  // Each run goes on where the last one was killed, so moments of up to three seconds (a few
  // commits) reach every part of the import within the kills.
  std::uniform_real_distribution<double> moment(0.02, std::min(3.0, clean_seconds_ / 2));
  int kills = 0;
  size_t titles_checked = 0;
  int differences = 0;
  for (int round = 0; kills < kKills && round < 200; ++round) {
    Process import({Bin("zel"), "import", catalogue, collection_, "--quiet"});
    std::this_thread::sleep_for(std::chrono::duration<double>(moment(random)));
    if (!import.Kill()) {
      // The import finished before the moment came: start over on a fresh catalogue.
      std::filesystem::remove(catalogue);
      ASSERT_EQ(Process({Bin("zel"), "create", catalogue}).Wait(), 0);
      continue;
    }
    ++kills;
    std::string integrity;
    const Content content = ReadContent(catalogue, &integrity);
    EXPECT_EQ(integrity, "ok") << "after kill " << kills;
    for (const std::string& id : ProfileIds(catalogue)) {
      ++titles_checked;
      const auto found = content.by_profile.find(id);
      const auto expected = reference_->by_profile.find(id);
      if (found == content.by_profile.end() || expected == reference_->by_profile.end() ||
          found->second != expected->second) {
        ++differences;
        ADD_FAILURE() << "title " << id << " is incomplete after kill " << kills;
      }
    }
  }
  EXPECT_EQ(kills, kKills);
  // Running the import again finishes and leaves exactly the content of a clean import.
  EXPECT_EQ(Process({Bin("zel"), "import", catalogue, collection_, "--quiet"}).Wait(), 0);
  const Content final_content = ReadContent(catalogue);
  EXPECT_TRUE(final_content.all == reference_->all) << "the completed import differs";
  EXPECT_EQ(differences, 0);
  std::cout << "crash test: " << kills << " kills, " << titles_checked << " titles checked, "
            << differences << " differences, clean import " << clean_seconds_ << " s\n";
}

TEST_F(InterruptionTest, QueriesDuringAnImportSeeWholeTitlesAndNoLockError) {
  TempDir dir;
  const std::string catalogue = dir.File("busy.zel");
  ASSERT_EQ(Process({Bin("zel"), "create", catalogue}).Wait(), 0);
  std::map<std::string, int64_t> credits;  // per profile of the clean import
  std::map<std::string, int64_t> discs;
  for (const auto& [id, rows] : reference_->by_profile) {
    for (const std::string& row : rows) {
      if (row.starts_with("CastCrew:")) ++credits[id];
      if (row.starts_with("Discs:")) ++discs[id];
    }
  }
  const std::string query =
      "SELECT p.ProfileID, (SELECT COUNT(*) FROM CastCrew AS c WHERE c.ProfileID = p.ProfileID) AS "
      "Credits, (SELECT COUNT(*) FROM Discs AS d WHERE d.ProfileID = p.ProfileID) AS Discs FROM "
      "Profiles AS p";
  // The person credited in most titles, and where the clean catalogue lists them.
  std::map<std::string, int> titles_of_name;
  for (const auto& [id, rows] : reference_->by_profile) {
    std::set<std::string> names;
    for (const std::string& row : rows) {
      if (!row.starts_with("CastCrew:")) continue;
      const size_t name_end = row.find('|');
      // List headings (Role "[DivGroup]" and the like) are nobody's credits.
      if (row.compare(name_end + 1, 4, "[Div") == 0) continue;
      names.insert(row.substr(9, name_end - 9));
    }
    for (const std::string& name : names) {
      if (!name.empty()) ++titles_of_name[name];
    }
  }
  const std::string person =
      std::max_element(titles_of_name.begin(), titles_of_name.end(), [](auto& a, auto& b) {
        return a.second < b.second;
      })->first;
  const auto appearances_by_title = [](const std::string& out) {
    std::map<std::string, int> by_title;
    const nlohmann::json parsed = nlohmann::json::parse(out);
    for (const auto& hit : parsed["Appearances"]) {
      ++by_title[hit["ProfileID"].get<std::string>()];
    }
    return by_title;
  };
  const CommandResult clean_appearances = RunZel({"appearances", clean_, person, "--json"});
  ASSERT_EQ(clean_appearances.exit_code, 0) << clean_appearances.err;
  const std::map<std::string, int> expected_appearances =
      appearances_by_title(clean_appearances.out);
  ASSERT_GE(expected_appearances.size(), 2u) << person;

  Process import({Bin("zel"), "import", catalogue, collection_, "--quiet"});
  int queries = 0;
  int appearance_queries = 0;
  int stats_queries = 0;
  int failures = 0;
  int half_titles = 0;
  size_t most_titles_seen = 0;
  double longest = 0;
  double total = 0;
  int queries_during_import = 0;
  // A loaded machine may finish the import before many queries ran; the queries still run a
  // few rounds so that every kind was asked at least twice, and all of them must be whole.
  while (!import.Exited() || queries < 6) {
    if (!import.Exited()) ++queries_during_import;
    const Clock::time_point start = Clock::now();
    const CommandResult result = RunZel({"sql", catalogue, query, "--json"});
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    longest = std::max(longest, seconds);
    total += seconds;
    ++queries;
    if (result.exit_code != 0) {
      ++failures;
      ADD_FAILURE() << result.err;
      continue;
    }
    if (queries % 2 == 0) {
      const Clock::time_point appearances_start = Clock::now();
      const CommandResult found = RunZel({"appearances", catalogue, person, "--json"});
      const double appearances_seconds =
          std::chrono::duration<double>(Clock::now() - appearances_start).count();
      longest = std::max(longest, appearances_seconds);
      total += appearances_seconds;
      ++appearance_queries;
      if (found.exit_code != 0) {
        ++failures;
        ADD_FAILURE() << found.err;
      } else {
        for (const auto& [id, count] : appearances_by_title(found.out)) {
          if (expected_appearances.count(id) == 0 || expected_appearances.at(id) != count) {
            ++half_titles;
            ADD_FAILURE() << "appearances of " << person << " in half-imported title " << id;
          }
        }
      }
    }
    // The statistics add their change log to the file while the import writes it, or build
    // their index anew without one: either way they answer and the import goes on.
    if (queries % 3 == 1) {
      const Clock::time_point stats_start = Clock::now();
      const CommandResult stats = RunZel({"stats", catalogue, "--json"});
      const double stats_seconds =
          std::chrono::duration<double>(Clock::now() - stats_start).count();
      longest = std::max(longest, stats_seconds);
      total += stats_seconds;
      ++stats_queries;
      if (stats.exit_code != 0) {
        ++failures;
        ADD_FAILURE() << stats.err;
      } else {
        EXPECT_LE(StatsTitles(stats.out), kTitles);
      }
    }
    const nlohmann::json rows = nlohmann::json::parse(result.out);
    most_titles_seen = std::max(most_titles_seen, rows.size());
    for (const auto& row : rows) {
      const std::string id = row["ProfileID"];
      if (row["Credits"].get<int64_t>() != credits[id] ||
          row["Discs"].get<int64_t>() != discs[id]) {
        ++half_titles;
        ADD_FAILURE() << "half-imported title " << id;
      }
    }
  }
  EXPECT_EQ(import.Wait(), 0);
  EXPECT_GE(queries_during_import, 1);
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(half_titles, 0);
  EXPECT_EQ(ReadContent(catalogue).all, reference_->all);
  EXPECT_GE(appearance_queries, 2);
  EXPECT_GE(stats_queries, 2);
  const CommandResult stats = RunZel({"stats", catalogue, "--json"});
  ASSERT_EQ(stats.exit_code, 0) << stats.err;
  EXPECT_EQ(StatsTitles(stats.out), kTitles);
  std::cout << "concurrent test: " << queries << " sql (" << queries_during_import
            << " while the import ran), " << appearance_queries << " appearances and "
            << stats_queries << " stats queries while " << kTitles
            << " titles were imported (up to " << most_titles_seen << " seen), " << failures
            << " failed, longest " << longest << " s, mean "
            << total / (queries + appearance_queries + stats_queries) << " s\n";
}

TEST_F(InterruptionTest, BackupsDuringAnImportAreWholeCatalogues) {
  TempDir dir;
  const std::string catalogue = dir.File("busy.zel");
  ASSERT_EQ(Process({Bin("zel"), "create", catalogue}).Wait(), 0);
  Process import({Bin("zel"), "import", catalogue, collection_, "--quiet"});
  int backups = 0;
  size_t most_titles = 0;
  for (bool last = false; !last; ++backups) {
    last = import.Exited();  // one more copy after the import has ended
    const std::string copy = dir.File("copy" + std::to_string(backups) + ".zel");
    const CommandResult result = RunZel({"backup", catalogue, copy});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    std::string integrity;
    const Content content = ReadContent(copy, &integrity);
    EXPECT_EQ(integrity, "ok") << "copy " << backups;
    const std::vector<std::string> ids = ProfileIds(copy);
    most_titles = std::max(most_titles, ids.size());
    for (const std::string& id : ids) {
      const auto found = content.by_profile.find(id);
      const auto expected = reference_->by_profile.find(id);
      if (found == content.by_profile.end() || expected == reference_->by_profile.end() ||
          found->second != expected->second) {
        ADD_FAILURE() << "title " << id << " is incomplete in copy " << backups;
      }
    }
    if (last) {
      EXPECT_EQ(content.all, reference_->all) << "the copy after the import differs";
    }
    std::filesystem::remove(copy);
  }
  EXPECT_EQ(import.Wait(), 0);
  EXPECT_GE(backups, 3);
  std::cout << "backup test: " << backups << " copies while " << kTitles
            << " titles were imported (up to " << most_titles << " in one)\n";
}

}  // namespace
}  // namespace zel::testing
