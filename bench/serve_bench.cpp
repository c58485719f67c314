// zel serve benchmark: a generated catalogue of N titles (default 10,000) served on a loopback
// port, with an images folder holding covers for some of the titles. Reports the median, the 95th
// percentile and the maximum of every kind of page, one client at a time; then the first request
// of the pages that read the whole catalogue after a change to the file; then has C concurrent
// clients (default 50) each send R requests (default 40) and counts the answers that were not 200.
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

// A commit by another connection, as an import would make: every kept value is read again.
void TouchCatalogue(const std::string& catalogue) {
  zel::Control control;
  auto database = control.OpenDatabase(catalogue);
  static int touches = 0;
  database->ExecuteSQL("UPDATE DbInfo SET Comment = 'touched " + std::to_string(++touches) +
                       "' WHERE InfoName = 'Schema'");
  control.CloseDatabase();
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

void Report(const char* name, size_t kinds, const Figures& figures, double target) {
  std::printf("  %-14s %4zu  %8.2f  %8.2f  %8.2f   %s (target %.0f ms)\n", name, kinds,
              figures.median, figures.p95, figures.max,
              figures.median < target && figures.p95 < target ? "ok  " : "SLOW", target);
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
  zel::web::Server server(options);
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

  int errors = 0;
  // The kept values are read by the first requests; the cold figures come below.
  Time(port,
       {"/", "/titles", "/search?q=x", "/stats", "/stats?collection=all",
        "/stats?collection=wishlist"},
       1, errors);
  std::printf("%d titles; one client at a time, ms   median       p95       max\n", titles);
  Report("home page", 1, Time(port, {"/", "/api/"}, 10, errors), 50);
  Report("title list", list_paths.size(), Time(port, list_paths, 4, errors), 20);
  Report("title page", title_paths.size(), Time(port, title_paths, 2, errors), 20);
  Report("person page", person_paths.size(), Time(port, person_paths, 2, errors), 20);
  Report("search", search_paths.size(), Time(port, search_paths, 4, errors), 100);
  Report("statistics", stats_paths.size(), Time(port, stats_paths, 8, errors), 20);
  Report("series, awards", 3, Time(port, {"/series", "/awards", "/api/awards"}, 10, errors), 20);
  Report("cover", cover_paths.size(), Time(port, cover_paths, 2, errors), 20);

  // The first request after another program changed the file reads the whole catalogue again.
  std::printf("first request after a change to the file, ms\n");
  for (const char* path : {"/", "/titles", "/search?q=cafe", "/stats"}) {
    TouchCatalogue(catalogue);
    const Figures cold = Time(port, {path}, 1, errors);
    std::printf("  %-16s %8.2f\n", path, cold.max);
  }

  // Concurrent clients, each with its own connection, mixing the kinds of pages, once every kept
  // value has been read again.
  Time(port, {"/", "/search?q=x", "/stats", "/stats?collection=all", "/stats?collection=wishlist"},
       1, errors);
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
        const std::vector<std::string>* kinds[] = {&title_paths,  &person_paths, &list_paths,
                                                   &search_paths, &stats_paths,  &cover_paths};
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
      "%d not 200; latency ms median %.2f, p95 %.2f, max %.2f\n",
      clients, requests, all.size(), seconds, all.size() / seconds, failed.load(), together.median,
      together.p95, together.max);

  server.Stop();
  runner.join();
  return errors == 0 && failed == 0 ? 0 : 1;
}
