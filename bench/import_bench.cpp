// Import benchmark: generates a collection of N titles (default 10,000), imports it into a new
// catalogue, then imports it again unchanged, and reports titles per second, statements per title
// and peak memory.
//
//   import_bench [TITLES] [FOLDER]
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "collection_generator.h"
#include "frame/control.h"
#include "import/collection_import.h"
#include "store/connection.h"
#include "store/database.h"

namespace {

long PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

void Report(const char* pass, const zel::CollectionSummary& summary, uint64_t statements) {
  const double rate = summary.seconds > 0 ? summary.titles_read / summary.seconds : 0;
  std::printf(
      "%-10s %6llu titles in %7.2f s = %8.0f titles/s, %6.1f statements/title "
      "(new %llu, changed %llu, unchanged %llu, failed %llu), peak %ld MB\n",
      pass, static_cast<unsigned long long>(summary.titles_read), summary.seconds, rate,
      summary.titles_read ? static_cast<double>(statements) / summary.titles_read : 0.0,
      static_cast<unsigned long long>(summary.new_titles),
      static_cast<unsigned long long>(summary.changed),
      static_cast<unsigned long long>(summary.unchanged),
      static_cast<unsigned long long>(summary.failed), PeakMegabytes());
  for (const auto& failure : summary.failures) {
    std::printf("  failed %s: %s\n", failure.id.c_str(), failure.description.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int titles = argc > 1 ? std::atoi(argv[1]) : 10000;
  const std::filesystem::path folder =
      argc > 2 ? std::filesystem::path(argv[2])
               : std::filesystem::temp_directory_path() / "zel-import-bench";
  std::filesystem::create_directories(folder);
  const std::string collection = (folder / "collection.xml").string();
  const std::string catalogue = (folder / "bench.zel").string();
  {
    std::ofstream out(collection, std::ios::binary);
    zel::bench::WriteCollection(out, titles);
  }
  std::filesystem::remove(catalogue);
  std::printf("collection: %d titles, %.1f MB\n", titles,
              std::filesystem::file_size(collection) / 1048576.0);

  zel::Control control;
  auto database = control.CreateDatabase(catalogue);
  uint64_t before = database->connection().stats().statements;
  const zel::CollectionSummary first = zel::ImportCollectionFile(collection);
  Report("first", first, database->connection().stats().statements - before);

  before = database->connection().stats().statements;
  const zel::CollectionSummary again = zel::ImportCollectionFile(collection);
  Report("unchanged", again, database->connection().stats().statements - before);
  control.CloseDatabase();
  std::printf("catalogue: %.1f MB\n", std::filesystem::file_size(catalogue) / 1048576.0);
  return first.failed == 0 && again.failed == 0 ? 0 : 1;
}
