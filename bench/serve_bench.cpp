// zel serve benchmark: a generated catalogue of N titles (default 10,000) served on a loopback
// port, with an images folder holding covers for some of the titles. Reports how long the server
// took to start (building the catalogue's index when it has none), the median, the 95th percentile
// and the maximum of every kind of page, one client at a time; then the first request of each kind
// after another program changed a title; then has C concurrent clients (default 50) each send R
// requests (default 40), twice, and counts the answers that were not 200. The server's memory
// (resident, and its peak) is given after each phase: it must not grow with the requests.
//
//   serve_bench [TITLES] [FOLDER] [CLIENTS] [REQUESTS]
//   serve_bench --clients [TITLES] [FOLDER]          many, idle, slow and hostile clients
//   serve_bench --clients --port P --pid PID [PATH...]  the same against a running server
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

#include "catalogue/control.h"
#include "catalogue/database.h"
#include "collection_generator.h"
#include "import/collection_import.h"
#include "serve_clients.h"
#include "store/connection.h"
#include "web/covers.h"
#include "web/html.h"
#include "web/server.h"

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
    // As any write through the library leaves it (an import, a save): with the change log.
    zel::Control control;
    control.OpenDatabase(catalogue)->ExecuteSQL(
        "UPDATE DbInfo SET InfoValue = InfoValue WHERE InfoName = 'Schema'");
    control.CloseDatabase();
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

struct Targets {
  std::vector<std::string> titles, people;
};

// Profile identifiers and credited names to ask for, drawn evenly from the catalogue; covers
// (a few bytes each: the server does not look inside) for every other title.
Targets PickTargets(const std::string& catalogue, const std::filesystem::path& images) {
  Targets targets;
  zel::Control control;
  auto database = control.OpenDatabase(catalogue);
  std::filesystem::create_directories(images / "thumbnails");
  auto ids = database->DbOpenRecordSet("SELECT ProfileID FROM Profiles ORDER BY ProfileID");
  for (int i = 0; !ids->Eof(); ids->MoveNext(), ++i) {
    const std::string id = ids->Value("ProfileID").ToText();
    if (i % 50 == 0) targets.titles.push_back(id);
    if (i % 2 == 0) {
      for (const auto& file : {images / (zel::web::CoverId(id) + "f.jpg"),
                               images / "thumbnails" / (zel::web::CoverId(id) + "f.jpg")}) {
        if (!std::filesystem::exists(file)) std::ofstream(file) << std::string(2000, 'x');
      }
    }
  }
  ids.reset();
  // The people credited most often are the slowest person pages; take them and a spread of others.
  auto names = database->DbOpenRecordSet(
      "SELECT Name, COUNT(*) AS Credits FROM CastCrew WHERE Role NOT LIKE '[[]Div*' "
      "GROUP BY Name ORDER BY COUNT(*) DESC");
  for (int i = 0; !names->Eof(); names->MoveNext(), ++i) {
    if (i < 20 || i % 500 == 0) targets.people.push_back(names->Value("Name").ToText());
  }
  names.reset();
  control.CloseDatabase();
  return targets;
}

// A change of one title by another connection, as an import or a script would make: the index
// follows it before the next page.
void TouchCatalogue(const std::string& catalogue, const std::string& profile_id) {
  zel::Control control;
  auto database = control.OpenDatabase(catalogue);
  static int touches = 0;
  database->ExecuteSQL(
      "UPDATE Profiles SET LastEdited = '2020-01-01 10:00:" + std::to_string(10 + ++touches % 50) +
      "' WHERE ProfileID = '" + profile_id + "'");
  control.CloseDatabase();
}

// This process's resident memory and its peak, in MB.
std::string Memory() {
  std::ifstream status("/proc/self/status");
  std::string line, rss = "?", peak = "?";
  while (std::getline(status, line)) {
    const auto value = [&] { return std::to_string(std::atol(line.c_str() + 6) / 1024); };
    if (line.starts_with("VmRSS:")) rss = value();
    if (line.starts_with("VmHWM:")) peak = value();
  }
  return "memory " + rss + " MB (peak " + peak + " MB)";
}

Figures Time(int port, const std::vector<std::string>& paths, int rounds, int& errors) {
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(120, 0);
  std::vector<double> times;
  for (int round = 0; round < rounds; ++round) {
    for (const std::string& path : paths) {
      const auto start = Clock::now();
      auto result = client.Get(path);
      times.push_back(Milliseconds(Clock::now() - start));
      if (!result || result->status != 200) {
        ++errors;
        std::printf("  not 200: %s (%d)\n", path.c_str(), result ? result->status : -1);
      }
    }
  }
  return Summarise(std::move(times));
}

// Every page: 50 ms at the median, 200 ms at the 95th percentile.
void Report(const char* name, size_t kinds, const Figures& figures) {
  const bool ok = figures.median < 50 && figures.p95 < 200;
  std::printf("  %-14s %4zu  %8.2f  %8.2f  %8.2f   %s\n", name, kinds, figures.median, figures.p95,
              figures.max, ok ? "ok" : "SLOW (target 50 ms median, 200 ms p95)");
}

}  // namespace

int main(int argc, char** argv) {
  const bool client_scenarios = argc > 1 && std::string(argv[1]) == "--clients";
  if (client_scenarios && argc > 2 && std::string(argv[2]) == "--port") {
    return zel::bench::ClientsMain(argc - 1, argv + 1);
  }
  if (client_scenarios) --argc, ++argv;
  const int titles = argc > 1 ? std::atoi(argv[1]) : 10000;
  const std::filesystem::path folder =
      argc > 2 ? std::filesystem::path(argv[2])
               : std::filesystem::temp_directory_path() / "zel-serve-bench";
  const int clients = argc > 3 ? std::atoi(argv[3]) : 50;
  const int requests = argc > 4 ? std::atoi(argv[4]) : 40;
  std::filesystem::create_directories(folder);
  const std::string catalogue = (folder / "bench.zel").string();
  Prepare(folder, catalogue, titles);
  const Targets targets = PickTargets(catalogue, folder / "images");
  if (client_scenarios) {
    return zel::bench::ServeAndRunClientScenarios(catalogue, (folder / "images").string(),
                                                  targets.titles);
  }

  zel::web::ServerOptions options;
  options.catalogue = catalogue;
  options.images = (folder / "images").string();
  options.port = 0;
  const auto starting = Clock::now();
  zel::web::Server server(options);
  std::printf("server started (index up to date) in %.1f s; %s\n",
              Milliseconds(Clock::now() - starting) / 1000, Memory().c_str());
  const int port = server.Bind();
  std::thread runner([&server] { server.Run(); });
  while (!server.IsRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(5));

  std::vector<std::string> title_paths, person_paths, cover_paths;
  for (const auto& id : targets.titles) {
    title_paths.push_back(zel::web::Link("/title/", id));
    cover_paths.push_back(zel::web::Link("/cover/", id) + "/front?size=thumb");
  }
  for (const auto& name : targets.people) {
    person_paths.push_back(zel::web::Link("/person/", name));
  }
  const std::string top_person = zel::web::EncodeSegment(targets.people.front());
  const std::vector<std::string> list_paths = {
      "/titles",
      "/titles?page=100",
      "/titles?q=the&genre=Drama",
      "/titles?sort=price&collection=all",
      "/titles?view=grid&sort=added&page=5",
      "/titles?letter=M",
      "/titles?tag=Living%20Room&loan=no&sort=runtime",
      "/titles?studio=Red%20Kite&medium=Blu-ray%20Disc&sort=rating",
      "/titles?person=" + top_person,
      "/api/titles?collection=wishlist&sort=purchased"};
  const std::vector<std::string> search_paths = {
      "/search?q=cafe",    "/search?q=renee%20berg",
      "/search?q=captain", "/search?q=night%20river",
      "/search?q=1000000", "/search?q=petrov1&kind=people",
      "/search?q=a",       "/search?q=garden&kind=roles&page=3",
      "/api/search?q=jose"};
  const std::vector<std::string> stats_paths = {"/stats", "/stats?collection=all",
                                                "/api/stats?collection=wishlist"};

  const std::vector<std::string> people_paths = {"/people", "/people?page=20",
                                                 "/people?sort=name&page=7", "/api/people?page=3"};
  int errors = 0;
  std::printf("%d titles; one client at a time, ms   median       p95       max\n", titles);
  Report("home page", 2, Time(port, {"/", "/api/"}, 10, errors));
  Report("title list", list_paths.size(), Time(port, list_paths, 4, errors));
  Report("title page", title_paths.size(), Time(port, title_paths, 2, errors));
  Report("person page", person_paths.size(), Time(port, person_paths, 2, errors));
  Report("people", people_paths.size(), Time(port, people_paths, 5, errors));
  Report("search", search_paths.size(), Time(port, search_paths, 4, errors));
  Report("statistics", stats_paths.size(), Time(port, stats_paths, 8, errors));
  Report("series, awards", 3, Time(port, {"/series", "/awards", "/api/awards"}, 10, errors));
  Report("cover", cover_paths.size(), Time(port, cover_paths, 2, errors));
  std::printf("  %s\n", Memory().c_str());

  // The first request of each kind after another program changed a title.
  std::printf("first request after a change to a title, ms   median       p95       max\n");
  const std::vector<std::pair<const char*, std::vector<std::string>>> firsts = {
      {"home page", {"/"}},
      {"title list", {"/titles", "/titles?sort=price&collection=all", "/titles?genre=Drama"}},
      {"title page", {title_paths.front()}},
      {"person page", {person_paths.front(), person_paths.back()}},
      {"people", {"/people"}},
      {"search", {"/search?q=cafe", "/search?q=a", "/search?q=garden&kind=roles&page=3"}},
      {"statistics", {"/stats", "/stats?collection=all"}}};
  for (const auto& [name, paths] : firsts) {
    std::vector<double> times;
    for (int round = 0; round < 5; ++round) {
      for (const std::string& path : paths) {
        TouchCatalogue(catalogue,
                       targets.titles[static_cast<size_t>(round) % targets.titles.size()]);
        times.push_back(Time(port, {path}, 1, errors).max);
      }
    }
    Report(name, paths.size(), Summarise(times));
  }
  std::printf("  %s\n", Memory().c_str());

  // Concurrent clients, each with its own connection, mixing the kinds of pages; twice, to show
  // that memory does not grow with the requests.
  for (int run = 1; run <= 2; ++run) {
    std::atomic<int> failed{0};
    std::vector<std::vector<double>> per_client(static_cast<size_t>(clients));
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
      threads.emplace_back([&, c] {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(120, 0);
        std::mt19937 random(static_cast<unsigned>(c + run * clients));
        for (int r = 0; r < requests; ++r) {
          const std::vector<std::string>* kinds[] = {&title_paths,  &person_paths, &list_paths,
                                                     &search_paths, &stats_paths,  &cover_paths,
                                                     &people_paths};
          const auto& paths = *kinds[random() % std::size(kinds)];
          const std::string& path = paths[random() % paths.size()];
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
        "%d not 200; latency ms median %.2f, p95 %.2f, max %.2f; %s\n",
        clients, requests, all.size(), seconds, all.size() / seconds, failed.load(),
        together.median, together.p95, together.max, Memory().c_str());
    errors += failed;
  }

  server.Stop();
  runner.join();
  return errors == 0 ? 0 : 1;
}
