#include "store/title_parts.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "frame/text.h"
#include "store/connection.h"
#include "store/stored_value.h"
#include "store/tables.h"

namespace zel::store {
namespace {

constexpr std::string_view kMarkPrefix = "edited:";

const std::vector<TitlePart>& Parts() {
  static const std::vector<TitlePart> parts = {
      {.name = "Cast", .table = Table::kCastCrew, .flag = "IsCast", .flag_value = true},
      {.name = "Crew", .table = Table::kCastCrew, .flag = "IsCast", .flag_value = false},
      {.name = "BoxSet", .table = Table::kBoxSet, .key = "BoxSetID"},
      {.name = "Discs", .table = Table::kDiscs},
      {.name = "Regions", .table = Table::kRegions},
      {.name = "VideoFormats", .table = Table::kVideoFormat},
      {.name = "Features", .table = Table::kFeatures},
      {.name = "Studios", .table = Table::kStudios},
      {.name = "Genres", .table = Table::kGenres},
      {.name = "Subtitles", .table = Table::kSubtitles},
      {.name = "AudioFormats", .table = Table::kAudioFormats},
      {.name = "SRPInfo", .table = Table::kSRPInfo},
      {.name = "Reviews", .table = Table::kReviews},
      {.name = "PurchaseInfo", .table = Table::kPurchaseInfo},
      // An event's identifier is drawn anew by every import.
      {.name = "Events", .table = Table::kEvents, .leave_out = "EventID"},
      {.name = "LoanInfo", .table = Table::kLoanInfo},
      {.name = "Tags", .table = Table::kTags},
      {.name = "Title", .columns = {"Title"}},
      {.name = "Medium", .columns = {"Medium"}},
      {.name = "OriginalTitle", .columns = {"OriginalTitle"}},
      {.name = "CollectionNumber", .columns = {"ColNo"}},
      {.name = "SortTitle", .columns = {"SortTitle"}},
      {.name = "Description", .columns = {"Description"}},
      {.name = "CollectionType", .columns = {"ColType"}},
      {.name = "UPC", .columns = {"UPC"}},
      {.name = "Rating", .columns = {"Rating", "RatingSystem", "RatingDetails"}},
      {.name = "ProductionYear", .columns = {"ProdYear"}},
      {.name = "ReleaseDate", .columns = {"Released"}},
      {.name = "RunningTime", .columns = {"Runtime"}},
      {.name = "CaseType", .columns = {"CaseType"}},
      {.name = "Overview", .columns = {"Overview"}},
      {.name = "Notes", .columns = {"Notes"}},
      {.name = "EasterEggs", .columns = {"Eastereggs"}},
      {.name = "WishListPriority", .columns = {"WishListPriority"}},
      {.name = "Locality", .columns = {"Locality"}},
      {.name = "DataSource", .columns = {"DataSource"}},
      {.name = "CountryOfOrigin", .columns = {"CountryOfOrigin"}},
  };
  return parts;
}

// Position of a column in a table as the file defines it; the column count for none.
size_t ColumnOf(const TableDef& table, std::string_view name) {
  for (size_t c = 0; c < table.columns.size(); ++c) {
    if (EqualsIgnoreCase(table.columns[c].name, name)) return c;
  }
  return table.columns.size();
}

// A row as one text: each value's kind, then the value, so that 1 and '1' differ.
std::string RowText(const std::vector<StoredValue>& values, size_t left_out) {
  std::string row;
  for (size_t c = 0; c < values.size(); ++c) {
    if (c == left_out) continue;
    const StoredValue& value = values[c];
    row += static_cast<char>('0' + static_cast<int>(value.kind));
    switch (value.kind) {
      case StoredValue::Kind::kNull:
        break;
      case StoredValue::Kind::kInteger:
        row += std::to_string(value.integer);
        break;
      case StoredValue::Kind::kReal:
        row += FormatDouble(value.real);
        break;
      case StoredValue::Kind::kText:
        row += value.text;
        break;
    }
    row += '\x1f';
  }
  return row;
}

bool FlagOf(Table table, std::string_view column, const StoredValue& value) {
  return ReadColumn(Describe(table).Column(column), value).ToBool();
}

// The columns of a part of Profiles that the file has, quoted and joined.
std::string ColumnList(Connection& connection, const TitlePart& part) {
  const TableDef* profiles = connection.FindTable("Profiles");
  std::string list;
  for (std::string_view column : part.columns) {
    if (!profiles || ColumnOf(*profiles, column) == profiles->columns.size()) continue;
    list += (list.empty() ? "" : ", ") + Quoted(column);
  }
  return list;
}

bool HasMark(Connection& connection, const std::string& key, std::string_view part) {
  return !connection
              .Read("SELECT 1 FROM \"MetaInfo\" WHERE \"ProfileID\" = ? AND \"InfoName\" = ?",
                    Texts({key, part}))
              .empty();
}

}  // namespace

const TitlePart* FindTitlePart(std::string_view name) {
  for (const TitlePart& part : Parts()) {
    if (EqualsIgnoreCase(part.name, name)) return &part;
  }
  return nullptr;
}

std::vector<std::string> PartRows(Connection& connection, std::string_view profile_id,
                                  const TitlePart& part) {
  std::vector<std::string> rows;
  if (!part.columns.empty()) {
    const std::vector<StoredValue> values = ReadPartColumns(connection, profile_id, part);
    if (!values.empty()) rows.push_back(RowText(values, values.size()));
    return rows;
  }
  const TableDef* table = connection.FindTable(Describe(part.table).name);
  if (!table) return rows;
  const size_t none = table->columns.size();
  const size_t left_out = part.leave_out.empty() ? none : ColumnOf(*table, part.leave_out);
  const size_t info_name = part.names.empty() ? none : ColumnOf(*table, "InfoName");
  const size_t flag = part.flag.empty() ? none : ColumnOf(*table, part.flag);
  connection.ReadStoredRows(
      table->name, part.key, profile_id, [&](const std::vector<StoredValue>& values) {
        if (info_name < values.size() &&
            part.names.find("|" + values[info_name].text + "|") == std::string_view::npos) {
          return;
        }
        if (flag < values.size() &&
            FlagOf(part.table, part.flag, values[flag]) != part.flag_value) {
          return;
        }
        rows.push_back(RowText(values, left_out));
      });
  std::sort(rows.begin(), rows.end());
  return rows;
}

std::string PartDigest(const std::vector<std::string>& rows) {
  // FNV-1a: stable across builds and platforms, which a mark stored in the file needs; it tells
  // versions of one part apart, it guards nothing.
  uint64_t hash = 14695981039346656037ull;
  const auto add = [&hash](unsigned char byte) {
    hash ^= byte;
    hash *= 1099511628211ull;
  };
  for (const std::string& row : rows) {
    for (char c : row) add(static_cast<unsigned char>(c));
    add(0x1e);
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return std::to_string(rows.size()) + ":" + text;
}

std::vector<StoredValue> ReadPartColumns(Connection& connection, std::string_view profile_id,
                                         const TitlePart& part) {
  const std::string columns = ColumnList(connection, part);
  if (columns.empty()) return {};
  auto rows = connection.Read("SELECT " + columns + " FROM \"Profiles\" WHERE \"ProfileID\" = ?",
                              Texts({profile_id}));
  return rows.empty() ? std::vector<StoredValue>() : std::move(rows.front());
}

void WritePartColumns(Connection& connection, std::string_view profile_id, const TitlePart& part,
                      const std::vector<StoredValue>& values) {
  const TableDef* profiles = connection.FindTable("Profiles");
  if (!profiles || values.empty()) return;
  std::string sets;
  std::vector<StoredValue> params;
  for (std::string_view column : part.columns) {
    if (ColumnOf(*profiles, column) == profiles->columns.size()) continue;
    sets += (sets.empty() ? "" : ", ") + Quoted(column) + " = ?";
    params.push_back(values.at(params.size()));
  }
  params.push_back(StoredValue::Text(std::string(profile_id)));
  connection.Write("UPDATE \"Profiles\" SET " + sets + " WHERE \"ProfileID\" = ?", params);
}

std::string EditMarkKey(std::string_view profile_id) {
  return std::string(kMarkPrefix) + std::string(profile_id);
}

std::vector<EditMark> ReadEditMarks(Connection& connection, std::string_view profile_id) {
  std::vector<EditMark> marks;
  for (auto& row : connection.Read(
           "SELECT \"InfoName\", \"InfoValue\" FROM \"MetaInfo\" WHERE \"ProfileID\" = ?",
           Texts({EditMarkKey(profile_id)}))) {
    marks.push_back({std::move(row[0].text), std::move(row[1].text)});
  }
  return marks;
}

void WriteEditMark(Connection& connection, std::string_view profile_id, const EditMark& mark) {
  const std::string key = EditMarkKey(profile_id);
  DropEditMark(connection, profile_id, mark.part);
  connection.Write(
      "INSERT INTO \"MetaInfo\" (\"ProfileID\", \"InfoName\", \"InfoValue\") VALUES (?, ?, ?)",
      Texts({key, mark.part, mark.digest}));
}

void DropEditMark(Connection& connection, std::string_view profile_id, std::string_view part) {
  connection.Write("DELETE FROM \"MetaInfo\" WHERE \"ProfileID\" = ? AND \"InfoName\" = ?",
                   Texts({EditMarkKey(profile_id), part}));
}

void DropEditMarks(Connection& connection, std::string_view profile_id, std::string_view to) {
  if (to.empty()) {
    connection.Write("DELETE FROM \"MetaInfo\" WHERE \"ProfileID\" = ?",
                     Texts({EditMarkKey(profile_id)}));
  } else {
    connection.Write("UPDATE \"MetaInfo\" SET \"ProfileID\" = ? WHERE \"ProfileID\" = ?",
                     Texts({EditMarkKey(to), EditMarkKey(profile_id)}));
  }
}

void MarkEditedHere(Connection& connection, Table table, const std::vector<StoredValue>& row,
                    const ColumnValues& changed) {
  if (!connection.MarksEdits()) return;
  const TableLayout& layout = Describe(table);
  std::vector<const TitlePart*> parts;
  for (const TitlePart& part : Parts()) {
    if (part.table != table) continue;
    if (table == Table::kProfiles) {
      // A profile made or deleted here is no edit of an imported one.
      const bool touched = std::any_of(changed.begin(), changed.end(), [&](const auto& change) {
        const std::string_view name = layout.columns[change.first].name;
        return std::any_of(part.columns.begin(), part.columns.end(),
                           [&](std::string_view column) { return EqualsIgnoreCase(column, name); });
      });
      if (touched) parts.push_back(&part);
    } else if (part.flag.empty() ||
               FlagOf(table, part.flag, row.at(layout.IndexOf(part.flag))) == part.flag_value) {
      parts.push_back(&part);
    }
  }
  if (parts.empty()) return;
  const StoredValue& owner = row.at(layout.IndexOf(parts.front()->key));
  // Only the import writes profiles "Key_" + ID; the others have no export to be kept from.
  if (owner.kind != StoredValue::Kind::kText ||
      !EqualsIgnoreCase(std::string_view(owner.text).substr(0, 4), "Key_"))
    return;
  const std::string& profile_id = owner.text;
  // Episodes keep their lists in the same tables: only a profile's parts are marked.
  if (table != Table::kProfiles &&
      connection.Read("SELECT 1 FROM \"Profiles\" WHERE \"ProfileID\" = ?", Texts({profile_id}))
          .empty()) {
    return;
  }
  const std::string key = EditMarkKey(profile_id);
  for (const TitlePart* part : parts) {
    if (HasMark(connection, key, part->name)) continue;
    WriteEditMark(connection, profile_id,
                  {std::string(part->name), PartDigest(PartRows(connection, profile_id, *part))});
  }
}

UnmarkedWrites::UnmarkedWrites(Connection& connection) : connection_(connection) {
  connection_.CountUnmarkedWrites(+1);
}

UnmarkedWrites::~UnmarkedWrites() { connection_.CountUnmarkedWrites(-1); }

}  // namespace zel::store
