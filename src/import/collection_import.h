// Import of a whole DVD Profiler collection file (document element Collection, one DVD element per
// title) into the active catalogue.
//
// The file is read as a stream, so memory does not grow with it, in whatever encoding it declares.
// Each title is imported on its own (ImportDvdElement): a title that fails is left as it was and
// the import goes on with the next. Titles are committed in batches, at least every
// `commit_every_titles` titles or `commit_every` of time, whichever comes first, so an interrupted
// import loses at most the last uncommitted titles and can simply be run again (the titles already
// stored are then recognised as unchanged).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zel {

struct CollectionProgress {
  uint64_t titles_read = 0;
  uint64_t bytes_read = 0;
  uint64_t bytes_total = 0;  // size of the file
  double seconds = 0;        // since the import began
};

struct CollectionImportOptions {
  int commit_every_titles = 500;
  std::chrono::milliseconds commit_every{1000};
  // Called after every title, on the importing thread.
  std::function<void(const CollectionProgress&)> on_progress;
};

struct TitleFailure {
  uint64_t position = 0;  // 1 for the first title of the file
  std::string id;         // text of the title's ID element, empty when it has none
  std::string title;      // text of its Title element, empty when it has none
  int32_t number = 0;     // the error
  std::string description;
};

struct CollectionSummary {
  uint64_t titles_read = 0;
  uint64_t new_titles = 0;
  uint64_t changed = 0;
  uint64_t unchanged = 0;
  uint64_t locked = 0;
  uint64_t failed = 0;
  double seconds = 0;
  std::vector<TitleFailure> failures;
  // Set when the file stops being well-formed after its first titles: the titles before that
  // point are imported and committed (but for one or two just before it, which the parser reads
  // ahead of and cannot deliver), the rest of the file is not read.
  std::string stream_error;
};

// Imports every DVD element of the collection file at `path` into the active catalogue. Raises 91
// when no catalogue is active, 53 when the file cannot be opened, 5 when it is not well-formed
// before its first title or its document element is not Collection, and refuses (after the
// warning of the title import) with error 5 "Zel Database Version not supported" a catalogue the
// title import refuses. Titles that fail are counted and described in the summary.
CollectionSummary ImportCollectionFile(const std::string& path,
                                       const CollectionImportOptions& options = {});

}  // namespace zel
