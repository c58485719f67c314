// Import of a whole DVD Profiler collection file (document element Collection, one DVD element per
// title) into the active catalogue.
//
// The file is cut into titles as bytes (CollectionSplitter) and each title is parsed as a document
// of its own, in the encoding the file declares, so a title that is not well-formed fails alone.
// A title whose fingerprint (TitleFingerprint) matches the stored one is unchanged and is not even
// parsed. Cutting, fingerprinting, parsing and reading each title's cast and crew run on a second
// thread ahead of the importing one, which writes; memory holds a few titles, not the file.
//
// Each title is imported on its own: a title that fails is left as it was and the import goes on
// with the next. Titles are committed in batches, at least every `commit_every_titles` titles or
// `commit_every` of time, whichever comes first, so an interrupted import loses at most the last
// uncommitted titles and can simply be run again (the titles already stored are then recognised as
// unchanged).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zel {

struct CollectionProgress {
  uint64_t titles_read = 0;
  uint64_t bytes_read = 0;   // bytes of the file up to the end of the last title imported
  uint64_t bytes_total = 0;  // size of the file
  double seconds = 0;        // since the import began
};

struct CollectionImportOptions {
  int commit_every_titles = 500;
  std::chrono::milliseconds commit_every{1000};
  // Called after every title, on the importing thread.
  std::function<void(const CollectionProgress&)> on_progress;
  // Looked at between titles: once it is true, the import commits the titles it has imported and
  // returns (CollectionSummary::interrupted). May be set from a signal handler.
  const std::atomic<bool>* stop = nullptr;
  // Removes, once the whole file was read without a failed title, every imported profile of the
  // catalogue ("Key_" + ID) whose title the file does not hold, keeping them in the
  // removed-titles file beside the catalogue (RemoveTitlesKeepingThem); profiles locked "Entire"
  // stay. Refused, unless `force`, when that would remove more than half of the catalogue's
  // titles, or more than 50 and more than a tenth of them: the file is likely the wrong one.
  bool remove_missing = false;
  bool force = false;
  // Imports the whole file as usual, but in one write that is rolled back at the end: the summary
  // says what an import would do (removals included), and the catalogue file, its loaded lists
  // and the removed-titles file are left as they were. It holds the catalogue's write lock while
  // it runs, and needs a catalogue that may be written, as an import does.
  bool dry_run = false;
  // A part of a title that both the file and this catalogue changed since the title's last import
  // takes the file's version, instead of keeping the one edited here.
  bool prefer_export = false;
};

struct TitleFailure {
  uint64_t position = 0;  // 1 for the first title of the file
  uint64_t line = 0;      // line of the file where the title starts
  std::string id;         // text of the title's ID element, empty when none can be found
  std::string title;      // text of its Title element, empty when none can be found
  int32_t number = 0;     // the error
  std::string description;
};

struct ChangedTitle {
  std::string profile_id;
  std::string title;
  std::vector<std::string> sections;   // the parts the import changed (ImportResult)
  std::vector<std::string> locked;     // the sections its locks kept as they were
  std::vector<std::string> kept;       // the sections edited here that it kept so
  std::vector<std::string> conflicts;  // sections changed both in the file and here
};

struct CollectionSummary {
  bool dry_run = false;
  uint64_t titles_read = 0;
  uint64_t new_titles = 0;
  uint64_t changed = 0;
  uint64_t unchanged = 0;
  uint64_t locked = 0;
  uint64_t failed = 0;
  double seconds = 0;
  std::vector<TitleFailure> failures;
  std::vector<ChangedTitle> changed_titles;  // in the order of the file
  // Set when the file cannot be cut any further (cut off inside a title, markup after the end of
  // the collection, a title whose markup is refused as unsafe): where and why. The titles before
  // that point are imported and committed; the rest of the file is not read.
  std::string stream_error;
  // Set when the import stopped because `stop` turned true; the titles read are committed.
  bool interrupted = false;
  // Once the whole file was read: the imported profiles ("Key_" + ID) of the catalogue whose title
  // the file does not hold, in ProfileID order, with their titles.
  bool complete = false;
  std::vector<std::pair<std::string, std::string>> missing;
  // With remove_missing: the profiles removed (in a dry run, those that would be), those kept for
  // their "Entire" lock, and why nothing was removed (a broken or stopped file, failed titles, too
  // many titles without `force`), if so; the titles of the catalogue before, and the file that
  // keeps the removed titles.
  uint64_t removed = 0;
  std::vector<std::string> kept_locked;
  std::string removal_refused;
  bool removal_needs_force = false;
  uint64_t catalogue_titles = 0;
  std::string removed_titles_file;
};

// Imports every title of the collection file at `path` into the active catalogue. A title whose
// ID an earlier title of the file has (letter case aside: the catalogue keys profiles so) fails
// rather than overwrite it. Raises 91 when no catalogue is active, kReadOnly when it is open for
// reading only, 53 when the file cannot be opened, 5 when it holds no document element,
// its document element is not Collection, its DOCTYPE names anything outside the file, or it
// cannot be cut before its first title; and refuses (after the warning of the title import) with
// error 5 "Zel Database Version not supported" a catalogue the title import refuses. Titles that
// fail are counted and described in the summary.
CollectionSummary ImportCollectionFile(const std::string& path,
                                       const CollectionImportOptions& options = {});

}  // namespace zel
