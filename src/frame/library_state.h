// Library-wide values. Each thread that uses the library has its own copy; objects are used on the
// thread that created them, so nothing here is shared between threads or locked.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zel {

class Dictionary;
namespace store {
class CatalogueFile;
}  // namespace store

struct LibraryState {
  // The one open catalogue, set by open and create, cleared by close. Always the catalogue object
  // Control made (ZelDatabase); held by its base so that every layer can reach it.
  std::shared_ptr<store::CatalogueFile> active_database;
  // Schema number of the active catalogue; written only when a catalogue is opened or created.
  int16_t active_db_schema = 0;
  // Schema number this library writes.
  int16_t current_db_schema = 89;
  // Decimal separator of the user's locale; "." until a Control reads the locale.
  std::string decimal_separator = ".";
  // True while a test has fixed the decimal separator; a new Control then keeps it.
  bool decimal_separator_overridden = false;
  // Learned crew-type mapping (role to crew type), created on first use.
  std::shared_ptr<Dictionary> crew_mapping_table;
};

// This thread's library-wide values.
LibraryState& State();

// The decimal separator of the user's locale (the numpunct facet of std::locale("")), "." when the
// locale cannot be read.
std::string UserDecimalSeparator();

// Overrides the decimal separator of this thread: for tests, and for a thread that reads numbers
// for another. Restores the previous one on destruction.
class ScopedDecimalSeparator {
 public:
  explicit ScopedDecimalSeparator(std::string separator);
  ~ScopedDecimalSeparator();
  ScopedDecimalSeparator(const ScopedDecimalSeparator&) = delete;
  ScopedDecimalSeparator& operator=(const ScopedDecimalSeparator&) = delete;

 private:
  std::string previous_;
  bool previous_overridden_;
};

}  // namespace zel
