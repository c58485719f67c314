// The title list of `zel serve` (/titles) with its filters, sort orders and pages, and the home
// page: read from the index (index.h), a page of rows at a time.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/plain_database.h"
#include "web/sql.h"

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

enum class TitleSort : uint8_t {
  kTitle,
  kYear,
  kAdded,
  kEdited,
  kPurchased,
  kRunningTime,
  kRating,
  kPrice,
  kMedium,
  kDirector,
  kPriority,
  kRetail
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
// film score), price (the price paid), medium, director, priority (on the wish list), retail (the
// suggested retail price).
extern const std::vector<NamedValue> kTitleSorts;
// Whether a sort runs from the highest value down unless the order says otherwise: dates,
// amounts, years, running times and ratings do; titles, media, directors and priorities do not.
bool SortsDescending(TitleSort sort);
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
  int32_t year = 0;      // production year; 0: any
  std::optional<bool> on_loan;
  std::optional<CollectionType> collection = CollectionType::kOwned;  // nullopt: every type
  TitleSort sort = TitleSort::kTitle;
  std::optional<bool> descending;  // nullopt: the sort's natural direction
  char letter = 0;                 // 'A'..'Z' or '#': show the page where that letter begins
  bool grid = false;
  // A box set's parts as titles of their own; otherwise the list shows the box set once, with
  // the number of its parts.
  bool parts_as_titles = false;
  int32_t page = 1;
};

// One page of the titles passing `query`, with the total, the page numbers, the letters present
// and the values to choose from. A box set's row has Parts, the number of its parts, and a part
// listed as a title of its own names its BoxSet. The letter jump needs the title order: QueryError
// otherwise. `covers` may be null.
Json TitlesData(store::PlainDatabase& db, const TitleQuery& query, CoverFolder* covers);

// The columns of ix.titles (alias t) a title as lists show it is read from, and their number.
inline constexpr std::string_view kTitleSummaryColumns =
    "t.profile_id, t.title, t.year, t.medium, t.collection, t.on_loan";
inline constexpr int kTitleSummaryCount = 6;
// A title as lists show it, from those columns of `row` beginning at `at`: ProfileID, Title,
// ProductionYear, Medium, CollectionType, OnLoan and the address of its front cover (null
// without one).
Json TitleSummaryAt(const store::PlainStatement& row, int at, CoverFolder* covers);

// Counts of titles by collection type, people, series, episodes and awards, and the titles added
// last.
Json HomeData(store::PlainDatabase& db, CoverFolder* covers);

}  // namespace zel::web
