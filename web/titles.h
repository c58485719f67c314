// The title table of `zel serve`: what the title list, its filters and sort orders, the home
// page's counts and the search need of every title, read from the catalogue in one query per
// table. Lists then filter, sort and page in memory, which keeps every choice fast on large
// collections.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "frame/variant.h"
#include "web/sql.h"

namespace zel {
class ZelDatabase;
}

namespace zel::web {

class CoverFolder;

// Owned, ordered and wish-list titles are kept apart everywhere. The names are the stored forms
// of the ColType column and the JSON values.
enum class CollectionType : uint8_t { kOwned, kOnOrder, kWishList, kOther };
inline constexpr std::array<CollectionType, 4> kCollectionTypes = {
    CollectionType::kOwned, CollectionType::kOnOrder, CollectionType::kWishList,
    CollectionType::kOther};
// "Owned", "OnOrder", "WishList", "Other".
std::string_view CollectionTypeName(CollectionType type);
// The type of a stored ColType (letter case ignored). An empty one is owned, the desktop
// program's default; a text the program does not write is Other.
CollectionType CollectionTypeOf(std::string_view stored);

struct TitleRow {
  std::string profile_id, title, original_title, medium, upc, country;
  std::string folded_title, folded_original, sort_key;  // folded; sort_key: sort title or title
  char initial = '#';                                   // 'A'..'Z', or '#' for anything else
  CollectionType collection = CollectionType::kOwned;
  int32_t year = 0, running_time = 0;
  int32_t review = -1;  // the review's film score; -1 without a review
  Date added, edited, purchased;
  std::optional<int64_t> price;  // in ten-thousandths, as the catalogue keeps amounts
  std::string currency;
  bool on_loan = false;
  std::vector<uint32_t> genres, studios, tags, locations, media;  // indexes into TitleTable lists
};

struct TitleTable {
  std::vector<TitleRow> rows;  // in title order
  // The values to filter on, each in folded order; a title's lists index into them.
  std::vector<std::string> genres, studios, tags, locations, media;
  std::unordered_map<std::string, uint32_t> by_id;        // lower-case ProfileID -> row
  std::unordered_map<std::string, uint32_t> by_exact_id;  // ProfileID as stored -> row

  const TitleRow* Find(std::string_view profile_id) const;
  int64_t Count(CollectionType type) const;
};

// Reads every title with the fields the list shows, filters and sorts on.
TitleTable ReadTitleTable(ZelDatabase& database);

enum class TitleSort : uint8_t {
  kTitle,
  kYear,
  kAdded,
  kEdited,
  kPurchased,
  kRunningTime,
  kRating,
  kPrice
};

// The choices of the title list as they are named in addresses; every name table is the one
// place its words are spelt.
struct NamedValue {
  std::string_view name;
  int value;
};
// The value of the choice named `text` (letter case ignored); QueryError naming `what` and the
// choices there are otherwise: "Unknown sort 'age': it is one of year, title."
int ChoiceOf(std::string_view what, std::string_view text, const std::vector<NamedValue>& choices);

// title, year, added (the profile's time stamp), edited, purchased, runtime, rating (the review's
// film score), price (the price paid).
extern const std::vector<NamedValue> kTitleSorts;
// owned, onorder, wishlist, other, all (-1).
extern const std::vector<NamedValue> kCollectionChoices;

struct TitleQuery {
  std::string text;      // part of the title or original title; case and accents ignored
  std::string genre;     // one genre (letter case ignored)
  std::string medium;    // one medium ("Blu-ray Disc" also finds "DVD/Blu-ray Disc")
  std::string tag;       // a tag, or a tag folder ("Living Room" finds "Living Room/Shelf 3")
  std::string location;  // the location of any disc
  std::string studio;    // a studio or media company
  std::string person;    // any credited name of a person; every name of theirs counts
  // The titles crediting `person` (TitlesOfPerson), when the caller keeps them; read otherwise.
  std::shared_ptr<const std::vector<std::string>> person_titles;
  int32_t year = 0;  // production year; 0: any
  std::optional<bool> on_loan;
  std::optional<CollectionType> collection = CollectionType::kOwned;  // nullopt: every type
  TitleSort sort = TitleSort::kTitle;
  std::optional<bool> descending;  // nullopt: the sort's natural direction
  char letter = 0;                 // 'A'..'Z' or '#': show the page where that letter begins
  bool grid = false;
  int32_t page = 1;
};

// One page of the titles passing `query`, with the total, the page numbers, the letters present
// and the values to choose from. The letter jump needs the title order: QueryError otherwise.
// `covers` may be null.
Json TitlesData(ZelDatabase& database, const TitleTable& table, const TitleQuery& query,
                CoverFolder* covers);

// The identifiers of the titles crediting a person under any of their names (list dividers aside).
std::vector<std::string> TitlesOfPerson(ZelDatabase& database, const std::string& name);

// A title as lists show it: ProfileID, Title, ProductionYear, Medium, CollectionType, OnLoan and
// the address of its front cover (null without one).
Json TitleSummaryJson(const TitleRow& row, CoverFolder* covers);

// Counts of titles by collection type, people, series, episodes and awards, and the titles edited
// last. `people` is the number of people (PeopleCount), kept apart because it costs the most.
Json HomeData(ZelDatabase& database, const TitleTable& table, int64_t people, CoverFolder* covers);

}  // namespace zel::web
