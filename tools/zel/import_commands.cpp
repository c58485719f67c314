// zel import: a whole DVD Profiler collection file into a catalogue; zel remove: titles out of it;
// zel restore-removed: removed titles back into it.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <optional>
#include <sstream>

#include "catalogue/control.h"
#include "catalogue/database.h"
#include "commands.h"
#include "frame/error.h"
#include "import/collection_import.h"
#include "import/profiler_import.h"
#include "import/removed_titles.h"
#include "output.h"
#include "store/backup.h"
#include "store/connection.h"
#include "store/text_helpers.h"

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

Json NullOr(const std::string& text) { return text.empty() ? Json(nullptr) : Json(text); }

// Lists name at most this many titles; --json names all.
constexpr size_t kListed = 20;

// What an import did with the work done here: sections kept, on how many titles, and conflicts.
struct EditedHere {
  size_t sections = 0;
  size_t titles = 0;
  size_t conflicts = 0;
};

EditedHere EditedHereOf(const CollectionSummary& summary) {
  EditedHere edited;
  for (const ChangedTitle& title : summary.changed_titles) {
    edited.sections += title.kept.size();
    edited.titles += title.kept.empty() ? 0 : 1;
    edited.conflicts += title.conflicts.size();
  }
  return edited;
}

Json SummaryJson(const std::string& catalogue, const std::string& collection,
                 const CollectionSummary& summary) {
  const EditedHere edited = EditedHereOf(summary);
  Json failures = Json::array();
  for (const TitleFailure& failure : summary.failures) {
    failures.push_back({{"Position", failure.position},
                        {"Line", failure.line},
                        {"ID", NullOr(failure.id)},
                        {"Title", failure.title},
                        {"Error", failure.number},
                        {"Description", failure.description}});
  }
  Json changed = Json::array();
  for (const ChangedTitle& title : summary.changed_titles) {
    changed.push_back({{"ProfileID", title.profile_id},
                       {"Title", title.title},
                       {"Sections", title.sections},
                       {"Locked", title.locked},
                       {"KeptEditedHere", title.kept},
                       {"Conflicts", title.conflicts}});
  }
  Json missing = Json::array();
  for (const auto& [profile_id, title] : summary.missing) {
    missing.push_back({{"ProfileID", profile_id}, {"Title", title}});
  }
  return Json{{"File", catalogue},
              {"Collection", collection},
              {"DryRun", summary.dry_run},
              {"TitlesRead", summary.titles_read},
              {"New", summary.new_titles},
              {"Changed", summary.changed},
              {"Unchanged", summary.unchanged},
              {"Locked", summary.locked},
              {"Failed", summary.failed},
              {"ElapsedSeconds", summary.seconds},
              {"KeptEditedSections", edited.sections},
              {"KeptEditedTitles", edited.titles},
              {"Conflicts", edited.conflicts},
              {"ChangedTitles", std::move(changed)},
              {"Failures", std::move(failures)},
              {"Stopped", NullOr(summary.stream_error)},
              // Only a file read to its end tells which titles it does not hold.
              {"Missing", summary.complete ? std::move(missing) : Json(nullptr)},
              {"Removed", summary.removed},
              {"KeptLocked", summary.kept_locked},
              {"RemovalRefused", NullOr(summary.removal_refused)},
              {"RemovalNeedsForce", summary.removal_needs_force},
              {"CatalogueTitles", summary.catalogue_titles},
              {"RemovedTitlesFile", NullOr(summary.removed_titles_file)}};
}

// The ID of a title as DVD Profiler shows it.
std::string ShownId(const std::string& profile_id) {
  return profile_id.starts_with("Key_") ? profile_id.substr(4) : profile_id;
}

std::string Joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}

// The first kListed items, then how many more there are.
template <class T, class Print>
void PrintListed(const std::vector<T>& items, const Print& print) {
  for (size_t i = 0; i < items.size() && i < kListed; ++i) print(items[i]);
  if (items.size() > kListed) std::cout << "  \u2026 and " << items.size() - kListed << " more\n";
}

void PrintSummary(const std::string& catalogue, const std::string& collection,
                  const CollectionSummary& summary, bool remove_missing) {
  const bool dry = summary.dry_run;
  const std::string into = collection + " into " + catalogue;
  const std::string nothing_written = dry ? " (a dry run: nothing was written)" : "";
  if (!summary.stream_error.empty()) {
    std::cout << (dry ? "Would import only the first " : "Imported only the first ")
              << summary.titles_read << " titles of " << into
              << ": the rest of the file cannot be read" << nothing_written << "\n";
  } else if (summary.failed != 0) {
    std::cout << (dry ? "Would import " : "Imported ") << into << " but for " << summary.failed
              << (summary.failed == 1 ? " title that failed" : " titles that failed")
              << nothing_written << "\n";
  } else {
    std::cout << (dry ? "Would import " : "Imported ") << into << nothing_written << "\n";
  }
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
  const EditedHere edited = EditedHereOf(summary);
  if (edited.sections != 0) {
    std::cout << (dry ? "would keep " : "kept ") << edited.sections
              << (edited.sections == 1 ? " section" : " sections") << " edited here on "
              << edited.titles << (edited.titles == 1 ? " title" : " titles") << "\n";
  }
  PrintListed(summary.changed_titles, [](const ChangedTitle& title) {
    std::cout << "changed: " << ShownId(title.profile_id) << " \"" << title.title << "\": "
              << (title.sections.empty() ? "its time stamps only" : Joined(title.sections));
    if (!title.locked.empty()) std::cout << "; kept by their locks: " << Joined(title.locked);
    if (!title.kept.empty()) std::cout << "; kept as edited here: " << Joined(title.kept);
    std::cout << "\n";
  });
  // Every conflict is named: each is work done here that the file would have replaced.
  for (const ChangedTitle& title : summary.changed_titles) {
    for (const std::string& part : title.conflicts) {
      const bool kept = std::find(title.kept.begin(), title.kept.end(), part) != title.kept.end();
      std::cout << "conflict: " << ShownId(title.profile_id) << " \"" << title.title
                << "\": " << part << " was changed both in the file and here; "
                << (kept ? "kept the version edited here (--prefer-export takes the file's)"
                         : "took the file's version (--prefer-export)")
                << "\n";
    }
  }
  for (const TitleFailure& failure : summary.failures) {
    std::cout << "failed: title " << failure.position << " on line " << failure.line << ", ID \""
              << failure.id << "\", \"" << failure.title << "\": " << failure.description
              << " (error " << failure.number << ")\n";
  }
  if (!summary.stream_error.empty()) {
    std::cout << "stopped: " << summary.stream_error << "\n";
  }
  if (summary.complete) {
    std::cout << "in the catalogue but not in this file: " << summary.missing.size();
    if (!summary.missing.empty() && !remove_missing) {
      std::cout << " (zel import --remove-missing removes them)";
    }
    std::cout << "\n";
    PrintListed(summary.missing, [](const std::pair<std::string, std::string>& title) {
      std::cout << "  " << ShownId(title.first) << "  \"" << title.second << "\"\n";
    });
  }
  if (remove_missing) {
    if (!summary.removal_refused.empty()) {
      std::cout << (dry ? "would remove nothing: " : "removed nothing: ")
                << summary.removal_refused;
      if (summary.removal_needs_force) {
        std::cout << "; if the file is the right one, check what an import would do with "
                     "--dry-run, then add --force to remove them";
      }
      std::cout << "\n";
    } else {
      std::cout << (dry ? "would remove " : "removed ") << summary.removed
                << (summary.removed == 1 ? " title" : " titles");
      if (!summary.removed_titles_file.empty()) {
        std::cout << "; they are kept in " << summary.removed_titles_file
                  << " (zel restore-removed brings them back)";
      }
      std::cout << "\n";
      for (const std::string& kept : summary.kept_locked) {
        std::cout << "kept " << kept << ": locked as a whole\n";
      }
    }
  }
}

// Ctrl+C asks the import to stop after the title it is writing; a second one ends the process.
std::atomic<bool> g_stop{false};

extern "C" void OnInterrupt(int) { g_stop.store(true); }

class InterruptGuard {
 public:
  InterruptGuard() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous_);
  }
  ~InterruptGuard() { sigaction(SIGINT, &previous_, nullptr); }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

 private:
  struct sigaction previous_ {};
};

constexpr int kInterruptedExit = 130;

struct ImportArguments {
  std::string catalogue;
  std::string collection;
  bool json = false;
  bool quiet = false;
  bool remove_missing = false;
  bool force = false;
  bool dry_run = false;
  bool prefer_export = false;
};

// A copy of a catalogue in a folder of its own under the temporary folder, removed with the folder
// when the object ends: what a dry run of a read-only catalogue imports into.
class TemporaryCopy {
 public:
  explicit TemporaryCopy(const std::string& catalogue) {
    std::string folder = (std::filesystem::temp_directory_path() / "zel-dry-run-XXXXXX").string();
    if (!mkdtemp(folder.data())) {
      Raise(errc::kInvalidArgument, "Cannot make a temporary folder for the dry run");
    }
    folder_ = folder;
    path_ = (folder_ / "catalogue.zel").string();
    store::BackupCatalogue(catalogue, path_);
  }
  ~TemporaryCopy() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  TemporaryCopy(const TemporaryCopy&) = delete;
  TemporaryCopy& operator=(const TemporaryCopy&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::filesystem::path folder_;
  std::string path_;
};

void RunImport(const ImportArguments& arguments) {
  Control control;
  auto database = OpenCatalogue(control, arguments.catalogue);
  // A dry run writes what an import would and takes it back; a catalogue that cannot be written
  // is dry-run on a copy.
  std::optional<TemporaryCopy> copy;
  if (arguments.dry_run && !database->connection().WhyReadOnly().empty()) {
    database.reset();
    control.CloseDatabase();
    copy.emplace(arguments.catalogue);
    OpenCatalogue(control, copy->path());
  } else {
    database.reset();
  }
  ProgressReport progress(isatty(STDERR_FILENO) == 1);
  CollectionImportOptions options;
  if (!arguments.quiet)
    options.on_progress = [&](const CollectionProgress& p) { progress.Update(p); };
  options.stop = &g_stop;
  options.remove_missing = arguments.remove_missing;
  options.force = arguments.force;
  options.dry_run = arguments.dry_run;
  options.prefer_export = arguments.prefer_export;
  CollectionSummary summary;
  {
    const InterruptGuard guard;
    summary = ImportCollectionFile(arguments.collection, options);
  }
  progress.Finish();
  control.CloseDatabase();
  if (summary.interrupted) {
    if (arguments.dry_run) {
      std::cerr << "zel: interrupted: the dry run wrote nothing\n";
    } else {
      std::cerr << "zel: interrupted: the first " << summary.titles_read << " titles of "
                << arguments.collection << " are committed to " << arguments.catalogue
                << "; run the same command again to go on (titles already imported are "
                   "unchanged and pass quickly)\n";
    }
    throw CLI::RuntimeError(kInterruptedExit);
  }
  if (arguments.json) {
    std::cout << SummaryJson(arguments.catalogue, arguments.collection, summary).dump(2) << '\n';
  } else {
    PrintSummary(arguments.catalogue, arguments.collection, summary, arguments.remove_missing);
  }
  // The summary says what went wrong; the exit code only tells scripts that something did.
  if (summary.failed != 0 || !summary.stream_error.empty() || !summary.removal_refused.empty()) {
    throw CLI::RuntimeError(1);
  }
}

void RunRemove(const std::string& catalogue, const std::vector<std::string>& ids, bool json) {
  Control control;
  auto database = OpenCatalogue(control, catalogue);
  // Every title is found before any is removed: a typing error removes nothing.
  std::vector<std::pair<std::string, std::string>> found;  // ProfileID, Title
  for (const std::string& text : ids) {
    const std::string profile_id = FindProfileId(*database, text);
    if (profile_id.empty()) RaiseUnknownTitle(*database, catalogue, text);
    auto records = database->DbOpenRecordSet("SELECT Title FROM Profiles WHERE ProfileID = '" +
                                             QuoteSql(profile_id) + "'");
    found.emplace_back(profile_id, records->ValueAt(0).ToTextOrEmpty());
  }
  std::vector<std::string> profile_ids;
  for (const auto& [profile_id, title] : found) profile_ids.push_back(profile_id);
  const std::string kept_in = RemoveTitlesKeepingThem(*database, profile_ids);
  if (json) {
    Json removed = Json::array();
    for (const auto& [profile_id, title] : found) {
      removed.push_back({{"ProfileID", profile_id}, {"Title", title}});
    }
    std::cout
        << Json{{"File", catalogue}, {"Removed", std::move(removed)}, {"KeptIn", kept_in}}.dump(2)
        << '\n';
    return;
  }
  for (const auto& [profile_id, title] : found) {
    std::cout << "Removed " << profile_id << " \"" << title << "\" from " << catalogue << "\n";
  }
  std::cout << "They are kept in " << kept_in << " (zel restore-removed brings them back)\n";
}

void RunRestoreRemoved(const std::string& catalogue, const std::vector<std::string>& ids,
                       bool json) {
  Control control;
  auto database = OpenCatalogue(control, catalogue);
  const RestoredTitles result = RestoreRemovedTitles(*database, ids);
  if (json) {
    Json restored = Json::array();
    for (const auto& [profile_id, title] : result.restored) {
      restored.push_back({{"ProfileID", profile_id}, {"Title", title}});
    }
    Json kept = Json::array();
    for (const auto& [profile_id, why] : result.kept) {
      kept.push_back({{"ProfileID", profile_id}, {"Why", why}});
    }
    std::cout << Json{{"File", catalogue},
                      {"RemovedTitlesFile", result.file},
                      {"Restored", std::move(restored)},
                      {"Kept", std::move(kept)}}
                     .dump(2)
              << '\n';
  } else {
    for (const auto& [profile_id, title] : result.restored) {
      std::cout << "Restored " << profile_id << " \"" << title << "\" into " << catalogue << "\n";
    }
    for (const auto& [profile_id, why] : result.kept) {
      std::cout << "kept " << profile_id << " in " << result.file << ": " << why << "\n";
    }
    if (result.restored.empty() && result.kept.empty()) {
      std::cout << "No removed titles in " << result.file << "\n";
    }
  }
  if (!result.kept.empty()) throw CLI::RuntimeError(1);
}

}  // namespace

void AddImportCommands(CLI::App& app) {
  static ImportArguments arguments;
  auto* import = app.add_subcommand(
      "import", "Import a DVD Profiler collection file (Collection.xml) into a catalogue");
  import->add_option("FILE", arguments.catalogue, "Catalogue file")->required();
  import->add_option("COLLECTION", arguments.collection, "Collection XML exported by DVD Profiler")
      ->required();
  import->add_flag("--json", arguments.json, "Print the summary as JSON for scripts");
  import->add_flag("--quiet", arguments.quiet, "Show no progress");
  import->add_flag("--dry-run", arguments.dry_run,
                   "Read the whole file and say what an import would do, writing nothing");
  import->add_flag("--remove-missing", arguments.remove_missing,
                   "Remove the imported titles of the catalogue that the file no longer holds "
                   "(only when the whole file imports without a failure), keeping them in a "
                   "file beside the catalogue for zel restore-removed");
  import->add_flag("--prefer-export", arguments.prefer_export,
                   "Where a section of a title was changed both in the file and here since its "
                   "last import, take the file's version instead of keeping the one edited here");
  import->add_flag("--force", arguments.force,
                   "With --remove-missing: remove them even when they are more than half of the "
                   "catalogue, or more than 50 titles and more than a tenth of it");
  import->callback([] { RunImport(arguments);
});

static std::string catalogue;
static std::vector<std::string> ids;
static bool json = false;
auto* remove = app.add_subcommand(
    "remove",
    "Remove titles from a catalogue with everything that belongs to them, keeping them in a "
    "file beside it for zel restore-removed");
remove->add_option("FILE", catalogue, "Catalogue file")->required();
remove->add_option("ID", ids, "The ID DVD Profiler shows (123) or the stored ProfileID (Key_123)")
    ->required();
remove->add_flag("--json", json, "Print what was removed as JSON for scripts");
remove->callback([] { RunRemove(catalogue, ids, json); });

static std::vector<std::string> restore_ids;
auto* restore = app.add_subcommand(
    "restore-removed", "Bring back titles that zel remove or zel import --remove-missing removed");
restore->add_option("FILE", catalogue, "Catalogue file")->required();
restore->add_option("ID", restore_ids, "The titles to bring back (all of them when none is named)");
restore->add_flag("--json", json, "Print what was brought back as JSON for scripts");
restore->callback([] { RunRestoreRemoved(catalogue, restore_ids, json); });
}  // namespace zel::cli

}  // namespace zel::cli
