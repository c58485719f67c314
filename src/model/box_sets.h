// Titles as the collection counts them: a box set once, with its parts inside it, and every title
// counted by its CountAs, which is what DVD Profiler counts (a season box set of six discs may
// count as one title, or its discs as six, as the collector set it).
//
// For the lists of `zel profiles` and the pages of `zel serve`. Reading only; nothing is written.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel::store {
class CatalogueFile;
}  // namespace zel::store

namespace zel::model {

// The collection type a title shows with: "Owned" (also for a title without one, the desktop
// program's default), "OnOrder", "WishList", or the stored text for any other (letter case of the
// three aside).
std::string CollectionTypeName(std::string_view stored);

struct TitleEntry {
  std::string profile_id, title, sort_title, medium;
  std::string collection_type;  // as CollectionTypeName gives it
  int32_t year = 0;
  int32_t count_as = 1;              // 1 in files that keep no CountAs, or none for the title
  std::vector<std::string> regions;  // the stored codes (model/region_codes.h shows them)
  std::string box_set_id;            // the stored box set it is a part of; empty when none
  // The parts of a box set that the catalogue holds, each with its own parts, by sort title;
  // empty when parts are listed as titles of their own.
  std::vector<TitleEntry> parts;
  std::vector<std::string> missing_parts;  // parts named by the box set but not in the catalogue
  int32_t part_count = 0;                  // parts in the catalogue, however they are listed

  // What the entry counts as: its own CountAs and that of every part inside it.
  int64_t Counted() const;
};

struct TitleCounts {
  int64_t profiles = 0;  // every profile
  int64_t entries = 0;   // lines of a list that shows each box set once
  int64_t box_sets = 0;  // profiles with parts in the catalogue
  int64_t parts = 0;     // profiles inside a box set of the catalogue
  int64_t counted = 0;   // the sum of every profile's CountAs (negative ones as 0)
  std::map<std::string, int64_t> counted_by_type;  // the same by collection type
};

struct TitleList {
  std::vector<TitleEntry> titles;  // in sort-title order
  TitleCounts counts;
};

// Every title; box sets once with their parts inside, unless `parts_as_titles` lists each profile
// as a line of its own (a part then names its box set, and a box set how many parts it has).
TitleList ReadTitleList(store::CatalogueFile& database, bool parts_as_titles = false);

// One title with its parts (and theirs); nullopt when the catalogue has no such profile.
std::optional<TitleEntry> ReadTitleEntry(store::CatalogueFile& database,
                                         std::string_view profile_id);

}  // namespace zel::model
