// What the fuzz targets share: one catalogue in a private folder, created on first use, whose every
// change a target takes back after each input, so that inputs do not depend on each other.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>

#include "catalogue/control.h"
#include "catalogue/database.h"
#include "frame/library_state.h"
#include "store/connection.h"

namespace zel::fuzz {

struct Catalogue {
  std::string folder;
  Control control;
  std::shared_ptr<ZelDatabase> database;

  Catalogue() {
    char name[] = "/tmp/zelfuzz-XXXXXX";
    folder = mkdtemp(name);
    database = control.CreateDatabase(folder + "/fuzz.zel");
  }

  // Writes `data` to a file of the folder with the given name and returns its path.
  std::string Write(const std::string& name, const uint8_t* data, size_t size) const {
    const std::string path = folder + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path;
  }
};

// The catalogue lives until the process ends and is never destroyed: the library-wide values it
// hangs on are per-thread and gone before exit handlers run. Only its files are removed at exit.
inline Catalogue& Shared() {
  static Catalogue* catalogue = new Catalogue();
  static std::string folder = catalogue->folder;
  static const bool cleanup = [] {
    atexit([] {
      for (const char* file :
           {"fuzz.zel", "fuzz.zel-wal", "fuzz.zel-shm", "input.txt", "input.xml"}) {
        unlink((folder + "/" + file).c_str());
      }
      rmdir(folder.c_str());
    });
    return true;
  }();
  (void)cleanup;
  return *catalogue;
}

}  // namespace zel::fuzz
