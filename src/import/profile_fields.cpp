// The Profiles row of an imported title and its meta entries.
#include <stdexcept>
#include <vector>

#include "frame/error.h"
#include "frame/text.h"
#include "frame/variant.h"
#include "import/import_sections.h"
#include "import/value_conversions.h"
#include "store/catalogue_file.h"
#include "store/connection.h"
#include "store/engine_errors.h"

namespace zel {

namespace {

constexpr std::string_view kZeroDate = "1899-12-30";

bool IsTrueText(std::string_view text) { return ToLower(text) == "true"; }

// DVD Profiler writes line feeds; the catalogue keeps the platform's line ends.
std::string WithCrLf(std::string_view text) { return ReplaceAll(text, "\n", "\r\n"); }

std::string CaseTypeOf(const xml::Node& dvd) {
  std::string case_type = ChildText(dvd, "CaseType", "");
  if (IsTrueText(ChildText(dvd, "CaseSlipCover", ""))) {
    if (!case_type.empty()) case_type += ", ";
    case_type += "Slip Cover";
  }
  return case_type;
}

std::string DescriptionOf(const xml::Node& dvd) {
  const xml::Node trait = dvd.Child("DistTrait");
  if (trait) return trait.Text();
  return ChildText(dvd, "Description", "");
}

// The text of a number column. A number beyond the catalogue's 16-bit range would be stored, and
// then make every read of the profile list fail; such a title is refused, naming the element.
std::string SixteenBitText(const xml::Node& dvd, std::string_view element, std::string fallback) {
  std::string text = ChildText(dvd, element, fallback);
  double number = 0;
  if (ParseNumber(text, number) && (number < INT16_MIN || number > INT16_MAX)) {
    Raise(store::engine_errc::kNumericOverflow,
          "Numeric overflow: the title's " + std::string(element) + " '" + text +
              "' is outside the catalogue's range of -32768 to 32767.");
  }
  return text;
}

// Dates compare as dates; a text the date rules cannot read counts as later, so that it reaches
// the engine, which then refuses it with its own error.
bool IsLater(const std::string& candidate, const Variant& stored) {
  if (stored.IsNull() || stored.IsEmpty()) return true;
  Date date;
  if (!ParseDate(candidate, date)) return true;
  return date > stored.ToDate();
}

}  // namespace

std::string MediumOf(const xml::Node& dvd) {
  const xml::Node types = dvd.Child("MediaTypes");
  if (!types) return "DVD";
  std::vector<std::string> media;
  for (const xml::Node& child : types.ChildNodes()) {
    if (!child.IsElement()) continue;
    const std::string name = child.Name();
    if (name == "DVD" && IsTrueText(child.Text())) {
      media.emplace_back("DVD");
    } else if (name == "HDDVD" && IsTrueText(child.Text())) {
      media.emplace_back("HD DVD");
    } else if (name == "BluRay" && IsTrueText(child.Text())) {
      media.emplace_back("Blu-ray Disc");
    } else if (name == "CustomMediaType") {
      std::string custom = child.Text();
      if (!custom.empty()) media.push_back(std::move(custom));
    }
  }
  std::string medium;
  for (const std::string& piece : media) {
    if (!medium.empty()) medium += "/";
    medium += piece;
  }
  return medium;
}

namespace {

// The columns of a new title's Profiles row, in the order WriteProfileRow gives their values: a
// shape for each set of columns a title can have (with a wish-list priority or not; with the
// fingerprint from schema 78 and the count from schema 88 on).
const store::Connection::RowShape& NewProfileShape(bool wish_priority, int16_t schema) {
  static const auto kShapes = [] {
    std::vector<store::Connection::RowShape> shapes;
    for (int wish = 0; wish < 2; ++wish) {
      for (int kind = 0; kind < 3; ++kind) {
        std::vector<std::string_view> columns = {
            "ProfileID",    "Title",         "Medium",   "OriginalTitle", "ColNo",
            "SortTitle",    "Description",   "ColType",  "UPC",           "Rating",
            "RatingSystem", "RatingDetails", "ProdYear", "Released",      "Runtime",
            "CaseType",     "Overview",      "Notes",    "Eastereggs",    "ProfileTimestamp",
            "LastEdited"};
        if (wish) columns.push_back("WishListPriority");
        columns.insert(columns.end(), {"Locality", "DataSource"});
        if (kind == 2) columns.push_back("CountAs");
        if (kind >= 1) columns.push_back("MD5");
        columns.push_back("CountryOfOrigin");
        shapes.push_back({"Profiles", std::move(columns)});
      }
    }
    return shapes;
  }();
  const int kind = schema >= 88 ? 2 : schema >= 78 ? 1 : 0;
  return kShapes[static_cast<size_t>((wish_priority ? 3 : 0) + kind)];
}

}  // namespace

void WriteProfileRow(TitleContext& title, store::RecordSet* records, const std::string& fingerprint,
                     const std::string& locality) {
  const xml::Node& dvd = title.dvd;
  for (std::string_view entry :
       {std::string_view("RatingAge"), std::string_view("RatingVariant")}) {
    const xml::Node element = dvd.Child(entry);
    if (element) WriteMetaEntry(title, entry, element.Text());
  }

  // A new title's row is inserted with its values bound, converted as a record set converts them;
  // a stored one is edited through its record set.
  const bool is_new = records == nullptr;
  std::vector<std::string_view> columns;
  std::vector<Variant> values;
  const auto set = [&](std::string_view column, Variant value) {
    if (is_new) {
      columns.push_back(column);
      values.push_back(std::move(value));
    } else {
      records->SetValue(column, value);
    }
  };
  if (is_new) {
    columns.reserve(27);
    values.reserve(27);
    set("ProfileID", Variant(title.profile_id));
  } else {
    records->Edit();
  }
  // A column with a lock name is written for a new title, and for a changed one while unlocked.
  const auto write = [&](std::string_view column, std::string_view lock, std::string value) {
    if (!is_new && !lock.empty() && IsLocked(title.locks, lock)) return;
    if (!title.changed) return set(column, Variant(std::move(value)));
    const Variant before = records->Value(column);
    records->SetValue(column, Variant(std::move(value)));
    const Variant after = records->Value(column);
    if (before.type() != after.type() || before.ToTextOrEmpty() != after.ToTextOrEmpty()) {
      NoteChanged(title, lock);
    }
  };
  write("Title", "Title", ChildText(dvd, "Title", ""));
  write("Medium", "Medium", title.medium);
  write("OriginalTitle", "OriginalTitle", ChildText(dvd, "OriginalTitle", ""));
  write("ColNo", "CollectionNumber", ChildText(dvd, "CollectionNumber", ""));
  write("SortTitle", "SortTitle", ChildText(dvd, "SortTitle", ""));
  write("Description", "Description", DescriptionOf(dvd));
  write("ColType", "CollectionType", ReplaceAll(ChildText(dvd, "CollectionType", ""), " ", ""));
  write("UPC", "UPC", ChildText(dvd, "UPC", ""));
  write("Rating", "Rating", ChildText(dvd, "Rating", ""));
  write("RatingSystem", "Rating", ChildText(dvd, "RatingSystem", ""));
  write("RatingDetails", "Rating", ChildText(dvd, "RatingDetails", ""));
  write("ProdYear", "ProductionYear", SixteenBitText(dvd, "ProductionYear", "0"));
  write("Released", "ReleaseDate", ChildText(dvd, "Released", kZeroDate));
  write("Runtime", "RunningTime", SixteenBitText(dvd, "RunningTime", "0"));
  write("CaseType", "CaseType", CaseTypeOf(dvd));
  write("Overview", "Overview", WithCrLf(ChildText(dvd, "Overview", "")));
  write("Notes", "Notes", WithCrLf(ChildText(dvd, "Notes", "")));
  write("Eastereggs", "EasterEggs", WithCrLf(ChildText(dvd, "EasterEggs", "")));
  set("ProfileTimestamp", Variant(FixTimestamp(ChildText(dvd, "ProfileTimestamp", kZeroDate))));
  const std::string last_edited = FixTimestamp(ChildText(dvd, "LastEdited", kZeroDate));
  if (is_new || IsLater(last_edited, records->Value("LastEdited"))) {
    set("LastEdited", Variant(last_edited));
  }
  const std::string wish_priority = SixteenBitText(dvd, "WishPriority", "");
  if (!wish_priority.empty()) write("WishListPriority", "WishListPriority", wish_priority);
  write("Locality", "Locality", locality);
  write("DataSource", "DataSource", "DVDProfiler");
  if (is_new && title.schema >= 88) set("CountAs", Variant(SixteenBitText(dvd, "CountAs", "1")));
  if (title.schema >= 78) set("MD5", Variant(fingerprint));
  write("CountryOfOrigin", "CountryOfOrigin", ChildText(dvd, "CountryOfOrigin", ""));
  if (is_new) {
    const store::Connection::RowShape& shape =
        NewProfileShape(!wish_priority.empty(), title.schema);
    // A value given out of the shape's order would be stored in another column.
    if (columns != shape.columns) {
      throw std::logic_error("WriteProfileRow: the new row's columns differ from its shape's");
    }
    title.database.connection().Insert(shape, values, store::Connection::Refused::kRaise);
  } else {
    records->Update();
  }
}

void WriteExclusions(TitleContext& title) {
  std::string exclusions;
  if (const xml::Node element = title.dvd.Child("Exclusions")) {
    for (const xml::Node& child : element.ChildNodes()) {
      if (!child.IsElement()) continue;
      if (!exclusions.empty()) exclusions += ", ";
      exclusions += child.Name();
    }
  }
  WriteMetaEntry(title, "Exclusions", exclusions);
}

void WriteMediaBanners(TitleContext& title) {
  const xml::Node banners = title.dvd.Child("MediaBanners");
  if (!banners) return;
  std::string front = AttributeText(banners, "Front", "");
  if (front == "Automatic") front.clear();
  std::string back = AttributeText(banners, "Back", "");
  if (back == "Off") back.clear();
  WriteMetaEntry(title, "MediaBannerFront", front);
  WriteMetaEntry(title, "MediaBannerBack", back);
}

}  // namespace zel
