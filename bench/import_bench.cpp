// Import benchmark, beside the floor of the machine measured in the same run on the same file.
//
//   import_bench [--base FILE] [--repeat K] [--rounds R] [--floor PROGRAM] [--folder DIR]
//
// The collection is the titles of BASE (default: 160 generated ones) repeated K times (default 63)
// with new IDs: the copy's number in two digits before each ID. Each round runs `zel import` on it
// three times:
//   first      into a new catalogue;
//   unchanged  again, unchanged;
//   mixed      a copy of it in which every tenth title is changed; its rate counts the changed
//              titles only;
// and, when PROGRAM is given, first runs it on the same file: the floor tool, which inserts with
// raw prepared statements the rows our import wrote for BASE, K times, and adds libxml2's parse of
// the collection (build it from the shared bench folder, see bench/README.md). Prints each figure
// with the floor beside it, the medians over the rounds and the peak memory of `zel import`.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "catalogue/control.h"
#include "collection_generator.h"

namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Writes the titles of `base` `repeat` times to `collection`, each copy's IDs led by its number in
// two digits, and the same to `mixed` with every tenth title's Title changed. Returns the number
// of titles changed.
int WriteCollections(const std::string& base, int repeat, const std::string& collection,
                     const std::string& mixed) {
  const size_t open = base.find("<Collection>") + 12;
  const size_t close = base.rfind("</Collection>");
  const std::string body = base.substr(open, close - open);
  std::ofstream plain(collection, std::ios::binary);
  std::ofstream changed(mixed, std::ios::binary);
  plain << base.substr(0, open);
  changed << base.substr(0, open);
  int title = 0;
  int changes = 0;
  for (int k = 0; k < repeat; ++k) {
    char copy[16];
    std::snprintf(copy, sizeof copy, "%02d", k);
    std::string text;
    for (size_t at = 0;;) {
      const size_t id = body.find("<ID>", at);
      if (id == std::string::npos) {
        text.append(body, at);
        break;
      }
      text.append(body, at, id + 4 - at);
      text += copy;
      at = id + 4;
    }
    plain << text;
    for (size_t at = 0;;) {
      const size_t open_tag = text.find("<Title>", at);
      if (open_tag == std::string::npos) {
        changed << text.substr(at);
        break;
      }
      const size_t end = text.find("</Title>", open_tag);
      changed << text.substr(at, end - at);
      if (title++ % 10 == 0) {
        changed << " (changed)";
        ++changes;
      }
      at = end;
    }
  }
  plain << "</Collection>\n";
  changed << "</Collection>\n";
  return changes;
}

// Runs the floor tool and reads its titles per second ("floor_titles/s=N"); 0 when it fails.
double RunFloor(const std::string& program, const std::string& source, const std::string& empty,
                const std::string& collection, int repeat) {
  const std::string command = "FLOOR_PRAGMAS='PRAGMA cache_size=-65536;' '" + program + "' '" +
                              source + "' '" + empty + "' '" + collection + "' " +
                              std::to_string(repeat) + " 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return 0;
  std::string output;
  std::array<char, 512> chunk{};
  while (fgets(chunk.data(), chunk.size(), pipe.get())) output += chunk.data();
  const size_t at = output.find("floor_titles/s=");
  if (at == std::string::npos) {
    std::cerr << "floor: " << output;
    return 0;
  }
  return std::atof(output.c_str() + at + 15);
}

std::string NewCatalogue(const fs::path& folder, const std::string& name) {
  const std::string path = (folder / name).string();
  for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path + suffix);
  zel::Control control;
  control.CreateDatabase(path);
  control.CloseDatabase();
  return path;
}

struct Pass {
  uint64_t titles = 0, changed = 0, failed = 0;
  double seconds = 0;
  long peak_megabytes = 0;
};

// Imports with the zel program, as a person would; its summary and peak memory.
Pass Import(const std::string& zel, const std::string& catalogue, const std::string& collection) {
  const std::string out = catalogue + ".json";
  const std::string command = "'" + zel + "' import '" + catalogue + "' '" + collection +
                              "' --json --quiet > '" + out + "'";
  const pid_t child = fork();
  if (child == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  Pass pass;
  pass.peak_megabytes = usage.ru_maxrss / 1024;
  const nlohmann::json summary = nlohmann::json::parse(ReadBytes(out), nullptr, false);
  if (summary.is_discarded()) {
    std::printf("  zel import failed with status %d\n", status);
    pass.failed = 1;
    return pass;
  }
  pass.titles = summary["TitlesRead"];
  pass.changed = summary["Changed"];
  pass.failed = summary["Failed"];
  pass.seconds = summary["ElapsedSeconds"];
  for (const auto& failure : summary["Failures"]) {
    std::printf("  failed: %s\n", failure["Description"].get<std::string>().c_str());
  }
  return pass;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  std::string base;
  std::string floor;
  int repeat = 63;
  int rounds = 3;
  fs::path folder = fs::temp_directory_path() / "zel-import-bench";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--base") base = argv[i + 1];
    if (flag == "--floor") floor = argv[i + 1];
    if (flag == "--repeat") repeat = std::atoi(argv[i + 1]);
    if (flag == "--rounds") rounds = std::atoi(argv[i + 1]);
    if (flag == "--folder") folder = argv[i + 1];
  }
  const std::string zel = (fs::absolute(argv[0]).parent_path() / "zel").string();
  fs::create_directories(folder);
  if (base.empty()) {
    base = (folder / "base.xml").string();
    std::ofstream out(base, std::ios::binary);
    zel::bench::WriteCollection(out, 160);
  }
  const std::string collection = (folder / "collection.xml").string();
  const std::string mixed = (folder / "mixed.xml").string();
  const int changes = WriteCollections(ReadBytes(base), repeat, collection, mixed);

  // The floor needs the rows our import writes for the base titles.
  const std::string source = NewCatalogue(folder, "source.zel");
  const Pass base_pass = Import(zel, source, base);
  std::printf("collection: %llu titles (%s x %d), %.1f MB; mixed: %d titles changed\n",
              static_cast<unsigned long long>(base_pass.titles * static_cast<uint64_t>(repeat)),
              fs::path(base).filename().c_str(), repeat,
              static_cast<double>(fs::file_size(collection)) / 1048576.0, changes);

  std::vector<double> first_ratios, unchanged_rates, mixed_ratios;
  long peak = 0;
  for (int round = 1; round <= rounds; ++round) {
    const double floor_rate =
        floor.empty()
            ? 0
            : RunFloor(floor, source, NewCatalogue(folder, "floor.zel"), collection, repeat);
    const std::string catalogue = NewCatalogue(folder, "bench.zel");
    const Pass first = Import(zel, catalogue, collection);
    const Pass again = Import(zel, catalogue, collection);
    const Pass mix = Import(zel, catalogue, mixed);
    if (first.failed + again.failed + mix.failed != 0) return 1;
    const double first_rate = first.titles / first.seconds;
    const double again_rate = again.titles / again.seconds;
    const double mixed_rate = mix.changed / mix.seconds;
    peak = std::max({peak, first.peak_megabytes, again.peak_megabytes, mix.peak_megabytes});
    std::printf(
        "round %d: floor %4.0f titles/s | first %4.0f titles/s = %.2f x floor | unchanged %5.0f "
        "titles/s | mixed %4.0f changed titles/s = %.2f x floor (%llu changed in %.1f s) | peak "
        "%ld/%ld/%ld MB\n",
        round, floor_rate, first_rate, floor_rate > 0 ? first_rate / floor_rate : 0, again_rate,
        mixed_rate, floor_rate > 0 ? mixed_rate / floor_rate : 0,
        static_cast<unsigned long long>(mix.changed), mix.seconds, first.peak_megabytes,
        again.peak_megabytes, mix.peak_megabytes);
    std::fflush(stdout);
    if (floor_rate > 0) {
      first_ratios.push_back(first_rate / floor_rate);
      mixed_ratios.push_back(mixed_rate / floor_rate);
    }
    unchanged_rates.push_back(again_rate);
  }
  std::printf(
      "median of %d rounds: first %.2f x floor | unchanged %.0f titles/s | mixed %.2f x floor | "
      "peak memory of zel import %ld MB\n",
      rounds, Median(first_ratios), Median(unchanged_rates), Median(mixed_ratios), peak);
  return 0;
}
