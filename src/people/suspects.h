// Names that probably belong to one person, for the collector to look at: the catalogue gathers a
// person's names only through aliases the exports recorded, and exports spell people differently
// from title to title. Nothing here changes the catalogue: joining is the collector's decision
// (person_joins.h).
//
// A pair is suspect when its two common names
//   - are spelt alike (at most one letter apart, two for names of eight letters or more) and
//     share a known birth year ("Dan Akroyd" / "Dan Aykroyd");
//   - differ only by a middle initial ("Michael J. Fox" / "Michael Fox");
//   - are the same two words in reversed order ("Kar-wai Wong" / "Wong Kar-wai");
//   - differ only by a "Jr." suffix ("Sammy Davis Jr." / "Sammy Davis").
// Names with different known birth years are namesakes, never suspects.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zel::store {
class CatalogueFile;
}  // namespace zel::store

namespace zel::people {

struct SuspectName {
  std::string common_name;
  std::vector<int32_t> birth_years;  // known ones, ascending
  int64_t credits = 0;               // of titles and episodes, under every name of the person
};

struct Suspect {
  SuspectName first, second;          // the second has more credits (or comes later in name order)
  std::vector<std::string> evidence;  // "close spelling (1 letter apart)", "both born 1952", ...
};

// Every suspect pair of the catalogue, by the first name's common name.
std::vector<Suspect> FindSuspects(store::CatalogueFile& database);

// Letters to change, add or remove to turn one text into the other (bytes of UTF-8).
size_t EditDistance(std::string_view a, std::string_view b);

}  // namespace zel::people
