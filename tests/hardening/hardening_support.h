// Helpers of the hardening tests: the corpus of hostile inputs, an exact picture of a catalogue's
// content to prove that a failure changed nothing, and a watch that proves a file was never read.
#pragma once

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "catalogue/database.h"
#include "store/connection.h"
#include "support/test_support.h"

namespace zel::testing {

inline std::string CorpusPath(const std::string& name) {
  return SourceDir() + "/tests/hardening/corpus/" + name;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A complete title as DVD Profiler exports it, with every section.
inline std::string BaseTitle() { return ReadFile(CorpusPath("base_title.xml")); }

// The base title with the first occurrence of `from` replaced by `to`.
inline std::string BaseTitleWith(const std::string& from, const std::string& to) {
  std::string markup = BaseTitle();
  const size_t at = markup.find(from);
  if (at == std::string::npos)
    ADD_FAILURE() << "the base title has no " << from;
  else
    markup.replace(at, from.size(), to);
  return markup;
}

// Every row of every table, each table's rows sorted, as one text: two catalogues with the same
// snapshot hold the same data.
inline std::string Snapshot(ZelDatabase& database) {
  std::string out;
  for (const store::TableDef& table : database.connection().TableDefs()) {
    auto records = database.DbOpenRecordSet("SELECT * FROM [" + table.name + "]");
    std::vector<std::string> rows;
    const int32_t columns = records->FieldCount();
    for (; !records->Eof(); records->MoveNext()) {
      std::string row;
      for (int32_t c = 0; c < columns; ++c) {
        const Variant value = records->ValueAt(c);
        row += value.IsNull() ? std::string("<null>") : value.ToText();
        row += '\x1f';
      }
      rows.push_back(std::move(row));
    }
    std::sort(rows.begin(), rows.end());
    out += "== " + table.name + " (" + std::to_string(rows.size()) + ")\n";
    for (const std::string& row : rows) out += row + "\n";
  }
  return out;
}

// Records every open or read of one file from its construction on: Touched() tells whether
// anything opened it since.
class FileWatch {
 public:
  explicit FileWatch(const std::string& path) : fd_(inotify_init1(IN_NONBLOCK)) {
    if (fd_ < 0 || inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_ACCESS) < 0) {
      ADD_FAILURE() << "cannot watch " << path;
    }
  }
  ~FileWatch() {
    if (fd_ >= 0) close(fd_);
  }
  FileWatch(const FileWatch&) = delete;
  FileWatch& operator=(const FileWatch&) = delete;

  bool Touched() const {
    alignas(inotify_event) char buffer[4096];
    return read(fd_, buffer, sizeof buffer) > 0;
  }

 private:
  int fd_;
};

}  // namespace zel::testing
