#include "import/collection_import.h"

#include <filesystem>
#include <memory>
#include <optional>

#include "frame/error.h"
#include "import/import_sections.h"
#include "import/profiler_import.h"
#include "import/xml_document.h"
#include "store/connection.h"
#include "store/database.h"

namespace zel {

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Text of a child element for a failure report; never raises.
std::string TextOrEmpty(const xml::Node& dvd, std::string_view name) {
  if (!dvd) return {};
  const xml::Node child = dvd.Child(name);
  return child ? child.Text() : std::string();
}

}  // namespace

CollectionSummary ImportCollectionFile(const std::string& path,
                                       const CollectionImportOptions& options) {
  ZelDatabase& database = RequireActiveDatabase();
  if (ImportRefusesSchema()) Raise(errc::kInvalidArgument, "Zel Database Version not supported");
  xml::ElementStream stream(path);
  const std::string root = stream.RootName();
  if (root != "Collection") {
    Raise(errc::kInvalidArgument, path + ": the document element is " + root + ", not Collection");
  }
  std::error_code size_error;
  const uint64_t bytes_total = std::filesystem::file_size(path, size_error);

  CollectionSummary summary;
  const Clock::time_point start = Clock::now();
  std::optional<store::WriteScope> batch;
  int titles_in_batch = 0;
  Clock::time_point batch_start = start;
  while (true) {
    try {
      if (!stream.Next()) break;
    } catch (const Error& error) {
      if (summary.titles_read == 0) throw;
      summary.stream_error = error.description();
      break;
    }
    if (!batch) {
      batch.emplace(database.connection());
      batch_start = Clock::now();
      titles_in_batch = 0;
    }
    const xml::Node dvd = stream.Current();
    ++summary.titles_read;
    try {
      switch (ImportDvdElement(dvd, SchemaCheck::kSkip).outcome) {
        case ImportOutcome::kNew:
          ++summary.new_titles;
          break;
        case ImportOutcome::kChanged:
          ++summary.changed;
          break;
        case ImportOutcome::kUnchanged:
          ++summary.unchanged;
          break;
        case ImportOutcome::kLocked:
          ++summary.locked;
          break;
        case ImportOutcome::kSchemaRefused:
          break;
      }
    } catch (const Error& error) {
      ++summary.failed;
      summary.failures.push_back({summary.titles_read, TextOrEmpty(dvd, "ID"),
                                  TextOrEmpty(dvd, "Title"), error.number(), error.description()});
    } catch (const std::exception& error) {
      ++summary.failed;
      summary.failures.push_back({summary.titles_read, TextOrEmpty(dvd, "ID"),
                                  TextOrEmpty(dvd, "Title"), 0, error.what()});
    }
    ++titles_in_batch;
    if (titles_in_batch >= options.commit_every_titles ||
        Clock::now() - batch_start >= options.commit_every) {
      batch->Commit();
      batch.reset();
    }
    if (options.on_progress) {
      options.on_progress(
          {summary.titles_read, stream.BytesRead(), bytes_total, SecondsSince(start)});
    }
  }
  if (batch) batch->Commit();
  summary.seconds = SecondsSince(start);
  return summary;
}

}  // namespace zel
