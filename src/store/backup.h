// Consistent copies of a catalogue file while other processes read and write it.
//
// The copy is made with SQLite's online backup, page by page through the engine, never by copying
// the file: a catalogue keeps recent commits in its write-ahead log beside the main file, so a
// plain copy of the main file may lack them or catch a write half done. The copy holds the
// catalogue as it stood at one commit, whatever is written meanwhile.
#pragma once

#include <cstdint>
#include <string>

namespace zel::store {

struct BackupResult {
  int64_t pages = 0;
  int64_t bytes = 0;  // size of the copy
};

// Copies the catalogue at `source` to `destination`, which must not exist. The copy is written
// under a temporary name beside `destination`, checked, and given its name only when complete, so
// `destination` never holds a partial copy; a failure removes the temporary file. Waits while
// another process holds the file for a moment (a commit in progress). Raises the engine's errors:
// kFileNotFound, kNotADatabase (also for a file without a DbInfo table), kFileExists, kCannotOpen,
// kLocked, kDiskIo.
BackupResult BackupCatalogue(const std::string& source, const std::string& destination);

}  // namespace zel::store
