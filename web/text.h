// The words in which the data of the pages is shown, shared by the HTML pages of `zel serve` and
// the commands that print the same data as text (`zel show`, `zel search`, `zel stats`), so that a
// page and a command never word one value differently. Every function takes the JSON of a data
// function (data.h, search.h, stats.h) and returns plain, unescaped text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "web/sql.h"

namespace zel::web {

// A member of a JSON object: a missing key or null reads as empty text, false, 0 or null.
// Str gives numbers as their JSON text.
std::string Str(const Json& json, const char* key);
bool Bool(const Json& json, const char* key);
int64_t Int(const Json& json, const char* key);
const Json& Member(const Json& json, const char* key);
// A year, or empty for 0.
std::string YearText(const Json& json, const char* key);
// "1 title", "2 titles".
std::string Plural(int64_t count, std::string_view one, std::string_view many);
// The texts of a list joined by ", ".
std::string Joined(const Json& list);
// An amount with two decimals and its currency; empty when `value` is no number.
std::string Amount(const Json& value, const std::string& currency);

// The mark of a title that is not simply on the shelf by its CollectionType: "on order",
// "wish list", "other"; empty for an owned title.
std::string CollectionMark(std::string_view type);
// The marks of a credit: voice, uncredited, credit only, regular.
std::vector<std::string> CreditMarks(const Json& credit);
// A title's identifier as the desktop program shows it: without the "Key_" the import puts before.
std::string ShownId(std::string id);
// "Series title – 1.03 Episode title" of an EpisodeRef.
std::string EpisodeLabel(const Json& episode);

// Pieces of the title page (TitleData).
std::string RatingText(const Json& title);                // "PG (MPAA): mild peril"
std::string RegionsText(const Json& regions);             // "All, B", from the regions of TitleData
std::string DiscSideText(const Json& disc, bool side_b);  // description [label]
std::string DiscPlaceText(const Json& disc);              // "Shelf 1, slot 3"
std::vector<std::string> DiscMarks(const Json& disc);     // dual sided, dual layered, flipper
std::string VideoText(const Json& video);    // "NTSC, 2.35:1, 16:9 enhanced, letterbox"
std::string AudioText(const Json& track);    // "English, Dolby Digital, 5.1"
std::string ReviewText(const Json& review);  // empty without any score
std::string LoanText(const Json& loan);      // "to Ann, due 2024-05-01"
// "7.49 USD, 2010-01-01, at Media Markt": what was paid, when and where (PurchaseInfo).
std::string PurchaseText(const Json& purchase);
// The names credited in `role` ("Director") in a crew list, in credit order.
std::vector<std::string> CrewNames(const Json& crew, std::string_view role);
std::string TagText(const Json& tag);      // the full name, or the name
std::string EventText(const Json& event);  // "2013-02-11 20:15:00 Watched (Ann): comment"

// The statistics (StatsData) show this many of a list one by one and sum the rest as "Others".
inline constexpr size_t kShownMedia = 12;
inline constexpr size_t kShownGenres = 20;
inline constexpr size_t kShownStudios = 15;
inline constexpr size_t kShownCountries = 15;
inline constexpr size_t kShownRatings = 15;
inline constexpr size_t kShownLanguages = 15;

struct ShownCount {
  std::string name;  // empty for titles without a value
  int64_t titles = 0;
  bool others = false;  // the sum of the items beyond the limit
};
// The first `limit` items of a statistics list of {key, Titles}, then one item of the rest.
std::vector<ShownCount> ShownCounts(const Json& list, const char* key, size_t limit);
// "1950s", or "No year".
std::string DecadeText(const Json& decade);
// "2024-05-01 (3 days late)", "(today)", "(in 2 days)"; the date alone without Days.
std::string DueText(const Json& loan);

}  // namespace zel::web
