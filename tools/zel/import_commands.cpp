// zel import: a whole DVD Profiler collection file into a catalogue.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "commands.h"
#include "frame/control.h"
#include "import/collection_import.h"
#include "output.h"

namespace zel::cli {
namespace {

using Clock = std::chrono::steady_clock;

std::string Duration(double seconds) {
  const auto whole = static_cast<long>(seconds + 0.5);
  std::ostringstream text;
  if (whole >= 3600) text << whole / 3600 << "h";
  if (whole >= 60)
    text << std::setw(whole >= 3600 ? 2 : 1) << std::setfill('0') << whole / 60 % 60 << "m";
  text << std::setw(whole >= 60 ? 2 : 1) << std::setfill('0') << whole % 60 << "s";
  return text.str();
}

// Progress on standard error: a bar redrawn in place on a terminal, a plain line every few seconds
// otherwise.
class ProgressReport {
 public:
  explicit ProgressReport(bool terminal) : terminal_(terminal), last_(Clock::now()) {}

  void Update(const CollectionProgress& progress) {
    const Clock::time_point now = Clock::now();
    const auto interval = terminal_ ? std::chrono::milliseconds(100) : std::chrono::seconds(5);
    // The first report waits one interval too, so a quick import shows none.
    if (now - last_ < interval) return;
    shown_ = true;
    last_ = now;
    const double fraction =
        progress.bytes_total == 0
            ? 0
            : std::min(1.0, static_cast<double>(progress.bytes_read) / progress.bytes_total);
    const double rate = progress.seconds > 0 ? progress.titles_read / progress.seconds : 0;
    const double left = fraction > 0 ? progress.seconds * (1 - fraction) / fraction : 0;
    std::ostringstream line;
    line << std::fixed << std::setprecision(0);
    if (terminal_) {
      constexpr int kWidth = 30;
      const int filled = static_cast<int>(fraction * kWidth);
      line << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, '.') << "] "
           << std::setw(3) << fraction * 100 << "%  " << progress.titles_read << " titles  " << rate
           << "/s  " << Duration(left) << " left  ";
    } else {
      line << "imported " << progress.titles_read << " titles (" << fraction * 100 << "%), " << rate
           << " titles/s, " << Duration(left) << " left\n";
    }
    std::cerr << line.str() << std::flush;
  }

  void Finish() {
    if (terminal_ && shown_) std::cerr << "\r" << std::string(79, ' ') << "\r" << std::flush;
  }

 private:
  bool terminal_;
  bool shown_ = false;
  Clock::time_point last_;
};

Json SummaryJson(const std::string& catalogue, const std::string& collection,
                 const CollectionSummary& summary) {
  Json failures = Json::array();
  for (const TitleFailure& failure : summary.failures) {
    failures.push_back({{"position", failure.position},
                        {"id", failure.id},
                        {"title", failure.title},
                        {"error", failure.number},
                        {"description", failure.description}});
  }
  return Json{
      {"catalogue", catalogue},
      {"collection", collection},
      {"titles_read", summary.titles_read},
      {"new", summary.new_titles},
      {"changed", summary.changed},
      {"unchanged", summary.unchanged},
      {"locked", summary.locked},
      {"failed", summary.failed},
      {"elapsed_seconds", summary.seconds},
      {"failures", failures},
      {"stream_error", summary.stream_error.empty() ? Json(nullptr) : Json(summary.stream_error)}};
}

void PrintSummary(const std::string& catalogue, const std::string& collection,
                  const CollectionSummary& summary) {
  std::cout << "Imported " << collection << " into " << catalogue << "\n";
  const std::vector<std::vector<std::string>> rows = {
      {"titles read", std::to_string(summary.titles_read)},
      {"new", std::to_string(summary.new_titles)},
      {"changed", std::to_string(summary.changed)},
      {"unchanged", std::to_string(summary.unchanged)},
      {"locked", std::to_string(summary.locked)},
      {"failed", std::to_string(summary.failed)},
  };
  for (const auto& row : rows) {
    std::cout << "  " << std::left << std::setw(12) << row[0] << std::right << std::setw(8)
              << row[1] << "\n";
  }
  std::ostringstream elapsed;
  elapsed << std::fixed << std::setprecision(2) << summary.seconds << " s";
  if (summary.seconds > 0) {
    elapsed << std::setprecision(0) << " (" << summary.titles_read / summary.seconds
            << " titles/s)";
  }
  std::cout << "  " << std::left << std::setw(12) << "elapsed" << std::right << " " << elapsed.str()
            << "\n";
  for (const TitleFailure& failure : summary.failures) {
    std::cout << "failed: title " << failure.position << ", ID \"" << failure.id << "\", \""
              << failure.title << "\": " << failure.description << " (error " << failure.number
              << ")\n";
  }
  if (!summary.stream_error.empty()) {
    std::cout << "stopped: " << summary.stream_error << "\n";
  }
}

void RunImport(const std::string& catalogue, const std::string& collection, bool json, bool quiet) {
  Control control;
  OpenCatalogue(control, catalogue);
  ProgressReport progress(isatty(STDERR_FILENO) == 1);
  CollectionImportOptions options;
  if (!quiet) options.on_progress = [&](const CollectionProgress& p) { progress.Update(p); };
  const CollectionSummary summary = ImportCollectionFile(collection, options);
  progress.Finish();
  control.CloseDatabase();
  if (json) {
    std::cout << SummaryJson(catalogue, collection, summary).dump(2) << '\n';
  } else {
    PrintSummary(catalogue, collection, summary);
  }
  // The summary says what went wrong; the exit code only tells scripts that something did.
  if (summary.failed != 0 || !summary.stream_error.empty()) throw CLI::RuntimeError(1);
}

}  // namespace

void AddImportCommands(CLI::App& app) {
  static std::string catalogue;
  static std::string collection;
  static bool json = false;
  static bool quiet = false;

  auto* import = app.add_subcommand(
      "import", "Import a DVD Profiler collection file (Collection.xml) into a catalogue");
  import->add_option("FILE", catalogue, "Catalogue file")->required();
  import->add_option("COLLECTION", collection, "Collection XML exported by DVD Profiler")
      ->required();
  import->add_flag("--json", json, "Print the summary as JSON for scripts");
  import->add_flag("--quiet", quiet, "Show no progress");
  import->callback([] { RunImport(catalogue, collection, json, quiet);
});
}  // namespace zel::cli

}  // namespace zel::cli
