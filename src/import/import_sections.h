// Library-internal parts of the title import, shared by the driver and its sections.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frame/variant.h"
#include "import/title_credits.h"
#include "import/xml_document.h"
#include "store/title_parts.h"

namespace zel {

namespace store {
class CatalogueFile;
class RecordSet;
}  // namespace store

// The text of the first child element `name` of `node`; `fallback` when there is none or its text
// is empty. Raises 91 when `node` is no node.
std::string ChildText(const xml::Node& node, std::string_view name, std::string_view fallback);

// The value of the attribute `name` (exact case) of `node`; `fallback` when it has none.
std::string AttributeText(const xml::Node& node, std::string_view name, std::string_view fallback);

// Whether `lock_name` is among the profile's lock names, ignoring case.
bool IsLocked(const std::vector<std::string>& lock_names, std::string_view lock_name);

// A flag text ("True"/"False" in any case, or a number) as a boolean; anything else raises 13.
bool FlagValue(std::string_view text);

// A birth year text as a 16-bit year: 0 when it is not a number or outside the 16-bit range, which
// real exports hold on some credits.
int16_t BirthYearValue(std::string_view text);

// `text` as a value to write, or Null when it is empty (for number and date columns, where an
// empty text means no value).
Variant TextOrNull(std::string text);

// What every section needs to know of the title being imported.
struct TitleContext {
  store::CatalogueFile& database;
  xml::Node dvd;
  std::string id;          // the ID text
  std::string profile_id;  // "Key_" + id
  std::string quoted_id;   // QuoteSql(profile_id), ready to stand between single quotes
  std::string medium;      // the medium of the profile row ("DVD", "Blu-ray Disc/UMD", ...)
  std::vector<std::string> locks;
  int16_t schema = 0;             // the active schema number
  bool stored = false;            // the profile was stored before: a changed title
  bool episode_headings = false;  // the cast or crew read holds an episode heading
  bool box_set_parts = false;     // the box set section named parts
  uint64_t event_seed = 0;        // state of the event identifier generator
  // Of a changed title: where the parts whose stored rows change are named (ImportResult).
  std::vector<std::string>* changed = nullptr;
  // Of a changed title: the parts edited here since its last import, whether the export's version
  // of a part also changed wins over them, and where the parts kept as edited here and the
  // conflicts are named (ImportResult).
  std::vector<store::EditMark> edits;
  bool prefer_export = false;
  std::vector<std::string>* kept = nullptr;
  std::vector<std::string>* conflicts = nullptr;
  // The cast and crew, when they were read ahead (title_credits.h); read from `dvd` otherwise.
  TitleCredits* credits = nullptr;
  // Of a new title: whether some table still holds rows under its ProfileID; asked once.
  std::optional<bool> rows_left_behind;
};

// Whether tables may hold rows of the title, which its sections must then delete before writing
// their own: those of a stored title, and any left behind under the ProfileID of a new one.
bool MayHoldRows(TitleContext& title);
// Deletes the rows of `table` whose column `key` names the title (MayHoldRows).
void DeleteTitleRows(TitleContext& title, std::string_view table,
                     std::string_view key = "ProfileID");

// Notes that the import changed the stored rows of `part` of a changed title.
void NoteChanged(TitleContext& title, std::string_view part);

// The medium of a title by its MediaTypes (DVD when it has none).
std::string MediumOf(const xml::Node& dvd);

// Writes the meta entries "RatingAge" and "RatingVariant" and the Profiles row: through `records`,
// the profile's record set, on its stored row for a changed title (locked columns, ProfileID and
// CountAs stay; LastEdited never moves back); as a new row when `records` is null.
void WriteProfileRow(TitleContext& title, store::RecordSet* records, const std::string& fingerprint,
                     const std::string& locality);
// Replaces the meta entry of one profile.
void WriteMetaEntry(TitleContext& title, std::string_view name, std::string_view value);
// The meta entry "Exclusions"; the meta entries "MediaBannerFront" and "MediaBannerBack".
void WriteExclusions(TitleContext& title);
void WriteMediaBanners(TitleContext& title);

// Write the list's entries, taking their texts (each list is written once).
void ImportCast(TitleContext& title, CreditList& list);
void ImportCrew(TitleContext& title, CreditList& list);

void ImportBoxSet(TitleContext& title);
void ImportDiscs(TitleContext& title);
void ImportRegions(TitleContext& title);
void ImportVideoFormat(TitleContext& title);
void ImportFeatures(TitleContext& title);
void ImportStudios(TitleContext& title);
void ImportGenres(TitleContext& title);
void ImportSubtitles(TitleContext& title);
void ImportAudio(TitleContext& title);
void ImportReview(TitleContext& title);

void ImportSuggestedPrice(TitleContext& title);
void ImportPurchase(TitleContext& title);
void ImportEvents(TitleContext& title);
void ImportLoan(TitleContext& title);
void ImportTags(TitleContext& title);

}  // namespace zel
