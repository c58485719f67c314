// The index of `zel serve`, `zel search` and `zel stats`: what the lists, the search and the
// statistics need of every title, person and role, derived from a catalogue and kept in a file of
// its own, so that a page reads the rows it shows rather than the whole catalogue.
//
// Where it lives. Beside the catalogue, as FILE-index, when the catalogue's folder can be written;
// otherwise (a catalogue on a read-only disk, say) in a temporary file that lives as long as the
// CatalogueIndex and is built anew for each process.
//
// How it stays fresh. The catalogue's change log (store/change_log.h), which the library adds with
// its first write to a file and every program writing the file then fills in the same
// transactions, says what changed. Refresh reads the log from where it left off and derives the
// changed titles, episodes, series and aliases again, so the first request after a change costs
// what changed, not the collection. The catalogue file is never written here, nor is anything
// left beside it but the index. Without a log (a file no program of this library has written
// since it was created, or written only by others) the index is built again whenever the file
// changes, and kept while it does not.
//
// Nothing depends on the index for correctness: it is built when missing, when of another format,
// when it belongs to another file or when the log says it is behind in a way it cannot follow, and
// zel export leaves the change log out.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "store/plain_database.h"

namespace zel::web {

// Whether a table of a catalogue file is the index's change log rather than a table of the
// catalogue (zel export and zel info leave it out).
bool IsIndexTable(std::string_view table);

class CatalogueIndex {
 public:
  // Called while the index is built from scratch: titles and episodes done of the total.
  using Progress = std::function<void(int64_t done, int64_t total)>;

  // Finds, or builds, the index of `catalogue` and brings it up to date. Raises zel::Error with the
  // engine's number when the catalogue cannot be read or is not a catalogue.
  explicit CatalogueIndex(std::string catalogue, Progress progress = {});
  ~CatalogueIndex();
  CatalogueIndex(const CatalogueIndex&) = delete;
  CatalogueIndex& operator=(const CatalogueIndex&) = delete;

  // Brings the index in step with the catalogue as it is now; costs one query when nothing
  // changed. Returns the catalogue's generation, which moves on with every change seen, for values
  // kept between requests. Thread-safe.
  uint64_t Refresh();

  // A new connection reading the catalogue (schema main) and the index (schema ix) together; used
  // on one thread at a time. `mapped`: the files are read through memory maps, which suits a
  // process that reads once and ends (a server's memory would hold every page it ever read).
  std::unique_ptr<store::PlainDatabase> OpenReader(bool mapped = false) const;

  const std::string& catalogue() const { return catalogue_; }
  // Where the index is kept; whether a change log keeps it fresh.
  const std::string& path() const { return path_; }
  bool tracked() const { return tracked_; }
  // Whether the last catch-up built the index from nothing rather than following the log.
  bool built_afresh() const { return built_afresh_; }

 private:
  void Update();

  std::string catalogue_;
  std::string path_;
  bool temporary_ = false;
  bool writable_ = false;
  bool tracked_ = false;
  bool built_afresh_ = false;
  store::PlainDatabase::Mode catalogue_mode_ = store::PlainDatabase::Mode::kReadOnly;
  Progress progress_;
  std::mutex mutex_;
  std::unique_ptr<store::PlainDatabase> keeper_;  // reads the log and writes the index
  int64_t version_ = -1;
  uint64_t generation_ = 0;
};

// The reads of one request, from one moment of both files: a transaction that ends (and resets
// the connection's statements) when the scope does.
class ReadScope {
 public:
  explicit ReadScope(store::PlainDatabase& db);
  ~ReadScope();
  ReadScope(const ReadScope&) = delete;
  ReadScope& operator=(const ReadScope&) = delete;

 private:
  store::PlainDatabase& db_;
};

}  // namespace zel::web
