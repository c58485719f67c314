// zel serve benchmark: a generated catalogue of N titles (default 10,000) served on a loopback
// port; reports the median and 95th percentile of the title page and the person page, one client
// at a time, then has C concurrent clients (default 50) each send R requests (default 40) and
// counts the answers that were not 200.
//
//   serve_bench [TITLES] [FOLDER] [CLIENTS] [REQUESTS]
//
// The catalogue is kept in FOLDER and reused when it already holds TITLES titles.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "collection_generator.h"
#include "frame/control.h"
#include "import/collection_import.h"
#include "serve.h"
#include "serve_html.h"
#include "store/connection.h"
#include "store/database.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

struct Figures {
  double median = 0, p95 = 0, max = 0;
};

Figures Summarise(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  if (times.empty()) return {};
  return {times[times.size() / 2], times[std::min(times.size() - 1, times.size() * 95 / 100)],
          times.back()};
}

int64_t TitleCount(const std::string& catalogue) {
  if (!std::filesystem::exists(catalogue)) return -1;
  zel::Control control;
  auto database = control.OpenDatabase(catalogue);
  const int64_t count =
      database->DbOpenRecordSet("SELECT COUNT(*) FROM Profiles")->ValueAt(0).ToLong();
  control.CloseDatabase();
  return count;
}

void Prepare(const std::filesystem::path& folder, const std::string& catalogue, int titles) {
  if (TitleCount(catalogue) == titles) {
    std::printf("catalogue: reusing %s\n", catalogue.c_str());
    return;
  }
  const std::string collection = (folder / "collection.xml").string();
  {
    std::ofstream out(collection, std::ios::binary);
    zel::bench::WriteCollection(out, titles);
  }
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(catalogue + suffix);
  zel::Control control;
  control.CreateDatabase(catalogue);
  const auto summary = zel::ImportCollectionFile(collection);
  control.CloseDatabase();
  std::printf("catalogue: imported %llu titles in %.1f s\n",
              static_cast<unsigned long long>(summary.titles_read), summary.seconds);
}

// Profile identifiers and credited names to ask for, drawn evenly from the catalogue.
void PickTargets(const std::string& catalogue, std::vector<std::string>& titles,
                 std::vector<std::string>& people) {
  zel::Control control;
  auto database = control.OpenDatabase(catalogue);
  auto ids = database->DbOpenRecordSet("SELECT ProfileID FROM Profiles ORDER BY ProfileID");
  for (int i = 0; !ids->Eof(); ids->MoveNext(), ++i) {
    if (i % 50 == 0) titles.push_back(ids->Value("ProfileID").ToText());
  }
  ids.reset();
  // The people credited most often are the slowest person pages; take them and a spread of others.
  auto names = database->DbOpenRecordSet(
      "SELECT Name, COUNT(*) AS Credits FROM CastCrew WHERE Role NOT LIKE '[[]Div*' "
      "GROUP BY Name ORDER BY COUNT(*) DESC");
  for (int i = 0; !names->Eof(); names->MoveNext(), ++i) {
    if (i < 20 || i % 500 == 0) people.push_back(names->Value("Name").ToText());
  }
  names.reset();
  control.CloseDatabase();
}

Figures TimeSequential(int port, const std::vector<std::string>& paths, int rounds, int& errors) {
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(60, 0);
  std::vector<double> times;
  for (int round = 0; round < rounds; ++round) {
    for (const std::string& path : paths) {
      const auto start = Clock::now();
      auto result = client.Get(path);
      times.push_back(Milliseconds(Clock::now() - start));
      if (!result || result->status != 200) ++errors;
    }
  }
  return Summarise(std::move(times));
}

}  // namespace

int main(int argc, char** argv) {
  const int titles = argc > 1 ? std::atoi(argv[1]) : 10000;
  const std::filesystem::path folder =
      argc > 2 ? std::filesystem::path(argv[2])
               : std::filesystem::temp_directory_path() / "zel-serve-bench";
  const int clients = argc > 3 ? std::atoi(argv[3]) : 50;
  const int requests = argc > 4 ? std::atoi(argv[4]) : 40;
  std::filesystem::create_directories(folder);
  const std::string catalogue = (folder / "bench.zel").string();
  Prepare(folder, catalogue, titles);

  std::vector<std::string> title_ids, people;
  PickTargets(catalogue, title_ids, people);

  zel::serve::ServerOptions options;
  options.catalogue = catalogue;
  options.port = 0;
  zel::serve::Server server(options);
  const int port = server.Bind();
  std::thread runner([&server] { server.Run(); });
  while (!server.IsRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(5));

  std::vector<std::string> title_paths, person_paths;
  for (const auto& id : title_ids) title_paths.push_back(zel::serve::Link("/title/", id));
  for (const auto& name : people) person_paths.push_back(zel::serve::Link("/person/", name));

  int errors = 0;
  TimeSequential(port, {"/", "/titles"}, 2, errors);  // every worker's first open is not timed
  const Figures title = TimeSequential(port, title_paths, 2, errors);
  const Figures person = TimeSequential(port, person_paths, 2, errors);
  const Figures home = TimeSequential(port, {"/"}, 5, errors);
  const Figures list =
      TimeSequential(port, {"/titles?page=100", "/titles?q=the&genre=Drama"}, 5, errors);
  std::printf("%d titles; one client at a time (ms: median / p95 / max)\n", titles);
  std::printf("  title page   %3zu pages  %7.2f / %7.2f / %7.2f\n", title_paths.size(),
              title.median, title.p95, title.max);
  std::printf("  person page  %3zu people %7.2f / %7.2f / %7.2f\n", person_paths.size(),
              person.median, person.p95, person.max);
  std::printf("  home page              %7.2f / %7.2f / %7.2f\n", home.median, home.p95, home.max);
  std::printf("  titles list            %7.2f / %7.2f / %7.2f\n", list.median, list.p95, list.max);

  // Concurrent clients, each with its own connection, mixing title, person and list pages.
  std::atomic<int> failed{0};
  std::vector<std::vector<double>> per_client(static_cast<size_t>(clients));
  const auto start = Clock::now();
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&, c] {
      httplib::Client client("127.0.0.1", port);
      client.set_read_timeout(120, 0);
      std::mt19937 random(static_cast<unsigned>(c));
      for (int r = 0; r < requests; ++r) {
        const int kind = static_cast<int>(random() % 3);
        const std::string& path =
            kind == 0   ? title_paths[random() % title_paths.size()]
            : kind == 1 ? person_paths[random() % person_paths.size()]
                        : std::string("/api/titles?page=") + std::to_string(1 + random() % 100);
        const auto sent = Clock::now();
        auto result = client.Get(path);
        per_client[static_cast<size_t>(c)].push_back(Milliseconds(Clock::now() - sent));
        if (!result || result->status != 200) ++failed;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  const double seconds = Milliseconds(Clock::now() - start) / 1000.0;
  std::vector<double> all;
  for (const auto& times : per_client) all.insert(all.end(), times.begin(), times.end());
  const Figures together = Summarise(all);
  std::printf(
      "%d concurrent clients x %d requests: %zu answered in %.2f s (%.0f requests/s), "
      "%d not 200; latency ms median %.2f, p95 %.2f, max %.2f\n",
      clients, requests, all.size(), seconds, all.size() / seconds, failed.load(), together.median,
      together.p95, together.max);

  server.Stop();
  runner.join();
  return errors == 0 && failed == 0 ? 0 : 1;
}
