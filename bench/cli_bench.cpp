// zel search and zel stats as people run them: a whole process each time, its start included, on
// a catalogue whose index exists (serve_bench prepares catalogues of any size; the first command
// on a new one builds the index and is left out). Reports the median, the 95th percentile and the
// maximum of each command over RUNS runs (default 15), then the same for the first command after
// another program changed a title, which the index follows first. Target: 300 ms.
//
//   cli_bench CATALOGUE [RUNS]
#include <fcntl.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Runs `zel ARGS` with its output thrown away; milliseconds it took, or -1 when it failed.
double RunZel(const std::string& zel, const std::vector<std::string>& args) {
  std::vector<std::string> all = {zel};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : all) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto start = Clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, zel.c_str(), &actions, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
}

// A change of one title, as the sqlite3 shell or another program would make it.
void TouchTitle(const std::string& catalogue, int round) {
  sqlite3* db = nullptr;
  sqlite3_open(catalogue.c_str(), &db);
  sqlite3_busy_timeout(db, 5000);
  const std::string sql =
      "UPDATE Profiles SET LastEdited = '2020-02-0" + std::to_string(1 + round % 9) +
      " 00:00:00' WHERE rowid = (SELECT max(rowid) / 2 FROM Profiles) + " + std::to_string(round);
  sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

void Report(const std::string& name, std::vector<double> times) {
  std::sort(times.begin(), times.end());
  const bool failed = !times.empty() && times.front() < 0;
  const double median = times[times.size() / 2];
  const double p95 = times[std::min(times.size() - 1, times.size() * 95 / 100)];
  std::printf("  %-36s %8.1f  %8.1f  %8.1f   %s\n", name.c_str(), median, p95, times.back(),
              failed                      ? "FAILED"
              : median < 300 && p95 < 300 ? "ok"
                                          : "SLOW (target 300 ms)");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: cli_bench CATALOGUE [RUNS]\n");
    return 2;
  }
  const std::string catalogue = argv[1];
  const int runs = argc > 2 ? std::atoi(argv[2]) : 15;
  const std::string zel = (std::filesystem::path(argv[0]).parent_path() / "zel").string();
  const std::vector<std::vector<std::string>> commands = {
      {"search", catalogue, "cafe"},
      {"search", catalogue, "renee berg"},
      {"search", catalogue, "a"},
      {"search", catalogue, "garden", "--kind", "role", "--page", "3"},
      {"search", catalogue, "petrov1", "--kind", "person"},
      {"stats", catalogue},
      {"stats", catalogue, "--collection", "all"}};
  // The index is brought up to date (built, the first time) before the figures are taken.
  RunZel(zel, {"stats", catalogue});
  std::printf("%s; ms, process start included   median       p95       max\n", catalogue.c_str());
  for (const auto& command : commands) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) times.push_back(RunZel(zel, command));
    std::string name;
    for (size_t i = 0; i < command.size(); ++i) name += i == 1 ? "" : command[i] + " ";
    Report(name, times);
  }
  std::printf("the first command after a title changed\n");
  for (const auto& command : {commands[0], commands[5]}) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
      TouchTitle(catalogue, i);
      times.push_back(RunZel(zel, command));
    }
    Report(command[0] + " (after a change)", times);
  }
  return 0;
}
