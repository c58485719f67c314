#include "import/collection_import.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

#include "frame/dictionary.h"
#include "frame/error.h"
#include "frame/library_state.h"
#include "frame/text.h"
#include "import/crew_types.h"
#include "import/import_sections.h"
#include "import/profiler_import.h"
#include "import/removed_titles.h"
#include "import/title_credits.h"
#include "import/title_fingerprint.h"
#include "import/title_splitter.h"
#include "import/xml_document.h"
#include "store/catalogue_file.h"
#include "store/connection.h"
#include "store/text_helpers.h"

namespace zel {

namespace {

using Clock = std::chrono::steady_clock;

// Within the import's bounded memory, and a log of some 40 MB.
constexpr int64_t kPageCacheKiB = 48 * 1024;
constexpr int64_t kLogPages = 10000;
// The markup of the titles of a batch that would be written again should one fail is kept in
// memory: a batch ends early rather than keep more.
constexpr size_t kWrittenBytes = 16 << 20;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Profile identifiers compare as the catalogue compares them: ignoring the case of ASCII letters.
std::string FoldId(std::string_view profile_id) {
  std::string folded(profile_id);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

uint64_t IdHash(std::string_view profile_id) {
  return std::hash<std::string>{}(FoldId(profile_id));
}

// The stored fingerprints of the catalogue, as hashes: what the reading thread needs to tell which
// titles will surely be unchanged, so that it does not parse them. A wrong guess costs time only:
// the importing thread checks every title against the catalogue itself.
class StoredFingerprints {
 public:
  void Add(std::string_view profile_id, std::string_view fingerprint) {
    entries_.emplace_back(IdHash(profile_id), std::hash<std::string_view>{}(fingerprint));
  }
  void Seal() { std::sort(entries_.begin(), entries_.end()); }
  bool Contains(std::string_view profile_id) const {
    const uint64_t wanted = IdHash(profile_id);
    const auto found = std::lower_bound(entries_.begin(), entries_.end(),
                                        std::pair<uint64_t, uint64_t>(wanted, 0));
    return found != entries_.end() && found->first == wanted;
  }
  bool Matches(std::string_view profile_id, std::string_view fingerprint) const {
    const std::pair<uint64_t, uint64_t> wanted(IdHash(profile_id),
                                               std::hash<std::string_view>{}(fingerprint));
    return std::binary_search(entries_.begin(), entries_.end(), wanted);
  }

 private:
  std::vector<std::pair<uint64_t, uint64_t>> entries_;
};

// Calls `each` with the values of `columns` (the first is ProfileID) of every stored profile in
// ProfileID order, a page at a time, so that a large catalogue is never held whole.
void ForEachProfile(store::CatalogueFile& database, const std::string& columns,
                    const std::function<void(store::RecordSet&)>& each) {
  constexpr int kPage = 5000;
  std::string last;
  bool first = true;
  for (;;) {
    auto records = database.DbOpenRecordSet(
        "SELECT " + columns + " FROM Profiles" +
        (first ? std::string() : " WHERE ProfileID > '" + QuoteSql(last) + "'") +
        " ORDER BY ProfileID LIMIT " + std::to_string(kPage));
    int rows = 0;
    for (; !records->Eof(); records->MoveNext()) {
      ++rows;
      last = records->ValueAt(0).ToTextOrEmpty();
      each(*records);
    }
    if (rows < kPage) return;
    first = false;
  }
}

// --- the reading thread -------------------------------------------------------------------------

struct PreparedTitle {
  TitleBytes bytes;
  std::string fingerprint;
  // The title's profile is stored, and the importing thread, having time to spare, takes the
  // fingerprint and parses only if it does not match.
  bool fingerprint_later = false;
  // The parsed title; none when its stored fingerprint promised that it is unchanged.
  std::optional<xml::Document> document;
  // Its cast and crew, read ahead on the reading thread, when it parsed as a DVD element.
  std::optional<TitleCredits> credits;
};

// Titles on their way from the reading thread to the importing one: a few, so that memory does
// not grow when reading runs ahead.
class TitleQueue {
 public:
  static constexpr size_t kMaxTitles = 16;
  static constexpr size_t kMaxBytes = size_t{8} << 20;

  // Waits while the queue is full, and once it was full until it is half empty: waking the
  // reading thread for every title taken would cost the importing thread a system call each.
  // False once the importing thread has stopped.
  bool Push(PreparedTitle&& title) {
    std::unique_lock lock(mutex_);
    if (!HasSpace()) space_.wait(lock, [&] { return cancelled_ || HalfEmpty(); });
    if (cancelled_) return false;
    bytes_ += title.bytes.markup.size();
    items_.push_back(std::move(title));
    ready_.notify_one();
    return true;
  }

  // The reading thread is done: with the splitter's error, or with an exception.
  void Finish(std::string error, std::exception_ptr failure) {
    std::lock_guard lock(mutex_);
    finished_ = true;
    error_ = std::move(error);
    failure_ = failure;
    ready_.notify_one();
  }

  // The next title; none once the reading thread is done and every title is taken.
  std::optional<PreparedTitle> Pop() {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [&] { return finished_ || !items_.empty(); });
    if (items_.empty()) return std::nullopt;
    PreparedTitle title = std::move(items_.front());
    items_.pop_front();
    bytes_ -= title.bytes.markup.size();
    if (HalfEmpty()) space_.notify_one();
    return title;
  }

  void Cancel() {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    items_.clear();
    space_.notify_one();
  }

  // A title the importing thread is done with: the reading thread, which made it and has time
  // to spare while titles are written, frees it.
  void Discard(PreparedTitle&& title) {
    std::lock_guard lock(mutex_);
    if (!cancelled_) discarded_.push_back(std::move(title));
  }
  // Frees the titles discarded so far.
  void FreeDiscarded() {
    std::vector<PreparedTitle> titles;
    {
      std::lock_guard lock(mutex_);
      titles.swap(discarded_);
    }
  }

  // Titles waiting; few means that the importing thread is waiting for them.
  size_t Waiting() {
    std::lock_guard lock(mutex_);
    return items_.size();
  }

  const std::string& error() const { return error_; }
  std::exception_ptr failure() const { return failure_; }

 private:
  bool HasSpace() const {
    return items_.empty() || (items_.size() < kMaxTitles && bytes_ < kMaxBytes);
  }
  bool HalfEmpty() const {
    return items_.empty() || (items_.size() <= kMaxTitles / 2 && bytes_ <= kMaxBytes / 2);
  }

  std::mutex mutex_;
  std::condition_variable ready_;
  std::condition_variable space_;
  std::deque<PreparedTitle> items_;
  std::vector<PreparedTitle> discarded_;
  size_t bytes_ = 0;
  bool finished_ = false;
  bool cancelled_ = false;
  std::string error_;
  std::exception_ptr failure_;
};

xml::Document ParseTitle(const CollectionSplitter& splitter, const std::string& markup) {
  if (splitter.doctype().empty()) return xml::Document::ParseBytes(markup, "UTF-8");
  return xml::Document::ParseBytes(splitter.doctype() + markup, "UTF-8");
}

// What the reading thread needs to know of the catalogue, read by the importing thread.
struct ReadingFor {
  const StoredFingerprints* stored;  // none when the catalogue keeps no fingerprints
  int16_t schema;
  std::string decimal_separator;
};

// The work of the reading thread: cut, fingerprint and (unless surely unchanged) parse each title,
// and read its cast and crew, which is most of writing them besides the engine's own work.
// When the importing thread waits for titles, as it does while they are unchanged, it takes the
// fingerprints of stored titles itself, so that both threads share the work.
// Touches neither the catalogue nor the library-wide values, which belong to the importing thread
// (its numbers are read with that thread's decimal separator).
void ReadTitles(CollectionSplitter& splitter, const ReadingFor& reading, TitleQueue& queue) {
  constexpr size_t kShareBelow = TitleQueue::kMaxTitles / 2;
  const StoredFingerprints* stored = reading.stored;
  try {
    const ScopedDecimalSeparator numbers(reading.decimal_separator);
    TitleBytes bytes;
    while (splitter.Next(bytes)) {
      PreparedTitle title;
      title.bytes = std::move(bytes);
      bytes = TitleBytes{};
      const bool known =
          stored && title.bytes.id_known && stored->Contains("Key_" + title.bytes.id);
      if (known && queue.Waiting() < kShareBelow) {
        title.fingerprint_later = true;
      } else {
        if (stored) title.fingerprint = TitleFingerprint(title.bytes.markup);
        if (!(known && stored->Matches("Key_" + title.bytes.id, title.fingerprint))) {
          title.document = ParseTitle(splitter, title.bytes.markup);
          if (!title.document->parse_error().failed) {
            const xml::Node dvd = title.document->Root();
            if (dvd && dvd.Name() == "DVD") title.credits = ReadTitleCredits(dvd, reading.schema);
          }
        }
      }
      queue.FreeDiscarded();
      if (!queue.Push(std::move(title))) return;
    }
    queue.Finish(splitter.error(), nullptr);
  } catch (...) {
    queue.Finish({}, std::current_exception());
  }
}

// Starts the reading thread; stops it and waits for it when the import ends, however it ends.
class Reader {
 public:
  Reader(CollectionSplitter& splitter, ReadingFor reading, TitleQueue& queue)
      : queue_(queue), thread_([&splitter, reading = std::move(reading), &queue] {
          ReadTitles(splitter, reading, queue);
        }) {}
  ~Reader() {
    queue_.Cancel();
    thread_.join();
  }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

 private:
  TitleQueue& queue_;
  std::thread thread_;
};

// --- the importing thread -----------------------------------------------------------------------

std::string RefusedText(const std::string& path, const std::string& reason) {
  return path + ": The document is refused: " + reason;
}

// The DOCTYPE of the file, checked once as a document of its own: a file that names anything
// outside itself is refused before any title is read.
void CheckDeclarations(const CollectionSplitter& splitter, const std::string& path) {
  if (splitter.doctype().empty()) return;
  const xml::Document check =
      xml::Document::ParseBytes(splitter.doctype() + "<" + splitter.root_name() + "/>", "UTF-8");
  const xml::ParseError& error = check.parse_error();
  if (!error.failed) return;
  if (error.refused) Raise(errc::kInvalidArgument, RefusedText(path, error.reason));
  Raise(errc::kInvalidArgument,
        path + (error.line > 0 ? " line " + std::to_string(error.line) : "") + ": " + error.reason);
}

bool LockedAsAWhole(store::CatalogueFile& database, const std::string& profile_id) {
  auto records = database.DbOpenRecordSet("SELECT LockName FROM Locks WHERE ProfileID = '" +
                                          QuoteSql(profile_id) + "'");
  for (; !records->Eof(); records->MoveNext()) {
    if (EqualsIgnoreCase(records->ValueAt(0).ToTextOrEmpty(), "Entire")) return true;
  }
  return false;
}

class CollectionImport {
 public:
  CollectionImport(store::CatalogueFile& database, const std::string& path,
                   const CollectionImportOptions& options)
      : database_(database), path_(path), options_(options), splitter_(path) {}

  CollectionSummary Run() {
    CheckDeclarations(splitter_, path_);
    if (splitter_.root_name() != "Collection") {
      Raise(errc::kInvalidArgument,
            path_ + ": the document element is " + splitter_.root_name() + ", not Collection");
    }
    doctype_lines_ = static_cast<uint64_t>(
        std::count(splitter_.doctype().begin(), splitter_.doctype().end(), '\n'));
    const bool fingerprints = State().active_db_schema >= 78;
    if (fingerprints) {
      ForEachProfile(database_, "ProfileID, MD5", [&](store::RecordSet& row) {
        stored_.Add(row.ValueAt(0).ToTextOrEmpty(), row.ValueAt(1).ToTextOrEmpty());
      });
      stored_.Seal();
    }
    start_ = Clock::now();
    summary_.dry_run = options_.dry_run;
    // A dry run writes as an import does, in one write that is never committed.
    std::optional<store::WriteScope> dry_run;
    if (options_.dry_run) dry_run.emplace(database_.connection());
    {
      TitleQueue queue;
      Reader reader(
          splitter_,
          {fingerprints ? &stored_ : nullptr, database_.SchemaNumber(), State().decimal_separator},
          queue);
      while (std::optional<PreparedTitle> title = queue.Pop()) {
        if (options_.stop && options_.stop->load()) {
          summary_.interrupted = true;
          break;
        }
        const bool go_on = Import(*title);
        queue.Discard(std::move(*title));
        if (!go_on) break;
      }
      if (batch_) batch_->Commit();
      batch_.reset();
      written_.clear();
      if (!summary_.interrupted && summary_.stream_error.empty()) EndOfReading(queue);
    }
    summary_.complete = !summary_.interrupted && summary_.stream_error.empty();
    if (summary_.complete) FindMissing();
    if (options_.remove_missing) RemoveMissing();
    if (dry_run) {
      dry_run.reset();
      // The crew types learned on the way were rolled back with the rest.
      CrewMappingTable().RemoveAll();
    }
    summary_.seconds = SecondsSince(start_);
    return std::move(summary_);
  }

 private:
  // How the reading thread ended: an error before any title stops the import with that error.
  void EndOfReading(const TitleQueue& queue) {
    if (std::exception_ptr failure = queue.failure()) {
      if (summary_.titles_read == 0) std::rethrow_exception(failure);
      try {
        std::rethrow_exception(failure);
      } catch (const Error& error) {
        summary_.stream_error = error.description();
      } catch (const std::exception& error) {
        summary_.stream_error = error.what();
      }
      return;
    }
    if (queue.error().empty()) return;
    if (summary_.titles_read == 0) Raise(errc::kInvalidArgument, queue.error());
    summary_.stream_error = queue.error();
  }

  // Imports one title; false when the file must not be read any further.
  bool Import(PreparedTitle& title) {
    const TitleBytes& bytes = title.bytes;
    if (title.document && title.document->parse_error().refused) {
      const std::string refused = RefusedText(path_, title.document->parse_error().reason);
      if (summary_.titles_read == 0) Raise(errc::kInvalidArgument, refused);
      summary_.stream_error = refused;
      return false;
    }
    ++summary_.titles_read;
    if (!batch_) {
      batch_.emplace(database_.connection());
      batch_start_ = Clock::now();
      titles_in_batch_ = 0;
    }
    if (title.fingerprint_later) title.fingerprint = TitleFingerprint(bytes.markup);
    if (!title.document) {
      if (IsStoredUnchanged("Key_" + bytes.id, title.fingerprint)) {
        if (NoteId(bytes.id, bytes, bytes.title)) ++summary_.unchanged;
        return Done(bytes);
      }
      title.document = ParseTitle(splitter_, bytes.markup);
    }
    const xml::ParseError& error = title.document->parse_error();
    if (error.failed) {
      std::string description = "The title markup is not well-formed XML: " + error.reason;
      if (error.line > 0 && static_cast<uint64_t>(error.line) > doctype_lines_) {
        const uint64_t line = bytes.line + static_cast<uint64_t>(error.line) - 1 - doctype_lines_;
        description += " (line " + std::to_string(line) + ")";
      }
      Fail(bytes, bytes.id, bytes.title, errc::kMissingObject, std::move(description));
      // (Its profile, if any, is not missing from the file; a second failure would say nothing.)
      if (bytes.id_known) file_ids_.try_emplace(FoldId(bytes.id), bytes.position, bytes.id);
      return Done(bytes);
    }
    const xml::Node dvd = title.document->Root();
    const xml::Node id = dvd.Child("ID");
    if ((id || bytes.id_known) && !NoteId(id ? id.Text() : bytes.id, bytes, TextOf(dvd, "Title"))) {
      return Done(bytes);
    }
    try {
      ParsedTitleOptions options = TitleOptions();
      if (title.credits) options.credits = &*title.credits;
      ImportResult result = ImportParsedTitle(dvd, title.fingerprint, options);
      if (!each_title_in_a_savepoint_) {
        written_bytes_ += bytes.markup.size();
        written_.push_back({std::move(title.bytes.markup), std::move(title.fingerprint)});
      }
      switch (result.outcome) {
        case ImportOutcome::kNew:
          ++summary_.new_titles;
          break;
        case ImportOutcome::kChanged:
          ++summary_.changed;
          summary_.changed_titles.push_back(
              {std::move(result.profile_id), std::move(result.title),
               std::move(result.changed_sections), std::move(result.locked_sections),
               std::move(result.kept_sections), std::move(result.conflicts)});
          break;
        case ImportOutcome::kUnchanged:
          ++summary_.unchanged;
          break;
        case ImportOutcome::kLocked:
          ++summary_.locked;
          break;
        case ImportOutcome::kSchemaRefused:
          break;
      }
    } catch (const Error& failure) {
      Fail(bytes, TextOf(dvd, "ID"), TextOf(dvd, "Title"), failure.number(), failure.description());
      UndoFailedTitle();
    } catch (const std::exception& failure) {
      Fail(bytes, TextOf(dvd, "ID"), TextOf(dvd, "Title"), 0, failure.what());
      UndoFailedTitle();
    }
    return Done(bytes);
  }

  ParsedTitleOptions TitleOptions() const {
    return {.sync_loaded_lists = !options_.dry_run,
            .prefer_export = options_.prefer_export,
            .own_savepoint = each_title_in_a_savepoint_};
  }

  // A title written straight into the batch failed halfway: the batch is rolled back, taking the
  // failed title's writes with it, and its earlier titles are written again. From then on each
  // title gets a savepoint of its own, so that a file with many failing titles costs one batch
  // written twice, not every batch. Those titles were written moments ago into the same
  // catalogue, so they are written the same way again; an engine error now ends the import as
  // any engine error does.
  void UndoFailedTitle() {
    if (each_title_in_a_savepoint_) return;
    each_title_in_a_savepoint_ = true;
    batch_.reset();
    // The rollback took back the roles learned in the batch: they are learned again.
    CrewMappingTable().RemoveAll();
    batch_.emplace(database_.connection());
    std::vector<WrittenTitle> written = std::move(written_);
    written_.clear();
    written_bytes_ = 0;
    for (const WrittenTitle& title : written) {
      const xml::Document document = ParseTitle(splitter_, title.markup);
      ImportParsedTitle(document.Root(), title.fingerprint, TitleOptions());
    }
  }

  static std::string TextOf(const xml::Node& dvd, std::string_view name) {
    const xml::Node child = dvd.Child(name);
    return child ? child.Text() : std::string();
  }

  void Fail(const TitleBytes& bytes, std::string id, std::string title, int32_t number,
            std::string description) {
    ++summary_.failed;
    summary_.failures.push_back({bytes.position, bytes.line, std::move(id), std::move(title),
                                 number, std::move(description)});
  }

  // Records the ID of the title at `bytes`; false, failing the title, when an earlier title of the
  // file has that ID, letter case aside: the catalogue keys its profiles regardless of case, so
  // the later title would overwrite the earlier one.
  bool NoteId(const std::string& id, const TitleBytes& bytes, const std::string& title) {
    const auto [earlier, first] = file_ids_.try_emplace(FoldId(id), bytes.position, id);
    if (first) return true;
    const auto& [position, earlier_id] = earlier->second;
    Fail(bytes, id, title, errc::kDuplicateKey,
         "Title " + std::to_string(position) + " of this file has the ID " +
             (earlier_id == id ? "'" + id + "' too"
                               : "'" + earlier_id + "', which the catalogue does not tell from '" +
                                     id + "' (it ignores letter case)") +
             ": this title was not imported");
    return false;
  }

  // Commits the batch when it is due and reports progress.
  bool Done(const TitleBytes& bytes) {
    ++titles_in_batch_;
    if (titles_in_batch_ >= options_.commit_every_titles || written_bytes_ >= kWrittenBytes ||
        Clock::now() - batch_start_ >= options_.commit_every) {
      batch_->Commit();
      batch_.reset();
      written_.clear();
      written_bytes_ = 0;
    }
    if (options_.on_progress) {
      options_.on_progress(
          {summary_.titles_read, bytes.end_offset, splitter_.bytes_total(), SecondsSince(start_)});
    }
    return true;
  }

  void FindMissing() {
    ForEachProfile(database_, "ProfileID, Title", [&](store::RecordSet& row) {
      std::string id = row.ValueAt(0).ToTextOrEmpty();
      if (!id.starts_with("Key_")) return;  // made in the catalogue, not imported
      if (file_ids_.contains(FoldId(std::string_view(id).substr(4)))) return;
      summary_.missing.emplace_back(std::move(id), row.ValueAt(1).ToTextOrEmpty());
    });
  }

  void RemoveMissing() {
    if (summary_.interrupted) {
      summary_.removal_refused = "the import was interrupted";
    } else if (!summary_.stream_error.empty()) {
      summary_.removal_refused = "the file could not be read to its end";
    } else if (summary_.failed > 0) {
      summary_.removal_refused = std::to_string(summary_.failed) + " of its titles failed";
    }
    if (!summary_.removal_refused.empty() || summary_.missing.empty()) return;
    std::vector<std::string> removing;
    for (const auto& [profile_id, title] : summary_.missing) {
      if (LockedAsAWhole(database_, profile_id)) {
        summary_.kept_locked.push_back(profile_id);
      } else {
        removing.push_back(profile_id);
      }
    }
    summary_.catalogue_titles = static_cast<uint64_t>(
        database_.DbOpenRecordSet("SELECT COUNT(*) FROM Profiles")->ValueAt(0).ToLong());
    const uint64_t count = removing.size();
    const uint64_t total = summary_.catalogue_titles;
    if (!options_.force && (2 * count > total || (count > 50 && 10 * count > total))) {
      summary_.removal_refused = "it would remove " + std::to_string(count) + " of the " +
                                 std::to_string(total) + " titles of the catalogue";
      summary_.removal_needs_force = true;
      return;
    }
    summary_.removed = count;
    if (!options_.dry_run && count > 0) {
      summary_.removed_titles_file = RemoveTitlesKeepingThem(database_, removing);
    }
  }

  store::CatalogueFile& database_;
  const std::string& path_;
  const CollectionImportOptions& options_;
  CollectionSplitter splitter_;
  StoredFingerprints stored_;
  uint64_t doctype_lines_ = 0;
  CollectionSummary summary_;
  // The ID of every title of the file, folded as the catalogue compares them: where in the file the
  // first title of that ID is, and the ID as written there.
  std::unordered_map<std::string, std::pair<uint64_t, std::string>> file_ids_;
  Clock::time_point start_;
  std::optional<store::WriteScope> batch_;
  // The titles of the batch, as they were read, while they are written without savepoints of
  // their own: what UndoFailedTitle writes again.
  struct WrittenTitle {
    std::string markup;
    std::string fingerprint;
  };
  std::vector<WrittenTitle> written_;
  size_t written_bytes_ = 0;
  bool each_title_in_a_savepoint_ = false;
  int titles_in_batch_ = 0;
  Clock::time_point batch_start_;
};

}  // namespace

CollectionSummary ImportCollectionFile(const std::string& path,
                                       const CollectionImportOptions& options) {
  store::CatalogueFile& database = store::RequireActiveCatalogue();
  database.connection().RequireWritable();
  if (ImportRefusesSchema()) Raise(errc::kInvalidArgument, "Zel Database Version not supported");
  // Most of an import's time goes to the indexes of the file: more of them in memory, and fewer
  // copies of the log into the file, save reading and writing the same pages again.
  const store::BulkWriting settings(database.connection(), kPageCacheKiB, kLogPages);
  return CollectionImport(database, path, options).Run();
}

}  // namespace zel
