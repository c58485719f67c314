#include "catalogue_dump.h"

#include <algorithm>
#include <istream>
#include <limits>
#include <map>
#include <optional>
#include <ostream>

#include "catalogue/database.h"
#include "catalogue_tables.h"
#include "frame/error.h"
#include "frame/text.h"
#include "output.h"
#include "store/connection.h"
#include "web/index.h"

namespace zel::cli {
namespace {

constexpr std::string_view kFormat = "ZelControl catalogue";
constexpr int kFormatVersion = 2;
// Version 1 wrote dates as ISO texts, the time of day left out at midnight.
constexpr int kShortDatesVersion = 1;

[[noreturn]] void NotADump(const std::string& source, const std::string& why) {
  Raise(errc::kInvalidArgument, source + " is not a catalogue dump: " + why);
}

// A stored value as the dump writes it.
Json DumpValue(const store::ColumnDef& column, const store::SqlValue& value) {
  switch (value.kind) {
    case store::SqlValue::Kind::kNull:
      return nullptr;
    case store::SqlValue::Kind::kInteger:
      if (column.type == store::ColumnType::kBoolean &&
          (value.integer == 0 || value.integer == 1)) {
        return value.integer == 1;
      }
      return value.integer;
    case store::SqlValue::Kind::kReal:
      return value.real;
    case store::SqlValue::Kind::kText:
      return value.text;
  }
  return nullptr;
}

// Whether `text` is a date as version 1 wrote a date at midnight: "2010-01-01".
bool IsShortDate(const std::string& text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return c == '-' || (c >= '0' && c <= '9'); });
}

// A value of the dump as the file stores it.
store::SqlValue StoredValue(const store::ColumnDef& column, const Json& value, int version) {
  switch (value.type()) {
    case Json::value_t::null:
      return {};
    case Json::value_t::boolean:
      return store::SqlValue::Integer(value.get<bool>() ? 1 : 0);
    case Json::value_t::number_integer:
      return store::SqlValue::Integer(value.get<int64_t>());
    case Json::value_t::number_unsigned: {
      const uint64_t number = value.get<uint64_t>();
      if (number > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
        Raise(errc::kOverflow,
              "the number " + value.dump() + " of " + column.name + " is out of range");
      }
      return store::SqlValue::Integer(static_cast<int64_t>(number));
    }
    case Json::value_t::number_float:
      return store::SqlValue::Real(value.get<double>());
    case Json::value_t::string: {
      const std::string& text = value.get_ref<const std::string&>();
      if (version == kShortDatesVersion && column.type == store::ColumnType::kDate &&
          IsShortDate(text)) {
        return store::SqlValue::Text(text + " 00:00:00");
      }
      return store::SqlValue::Text(text);
    }
    default:
      Raise(errc::kTypeMismatch, column.name + " holds " + value.dump() + ", not a value");
  }
}

// Reads the dump event by event, storing each row as soon as it is complete and then dropping it,
// so memory holds one row at a time.
class Restorer {
 public:
  Restorer(ZelDatabase& database, std::string source, const std::function<void(int64_t)>& progress)
      : database_(database), source_(std::move(source)), progress_(progress) {}

  bool Event(int depth, Json::parse_event_t event, Json& parsed) {
    using E = Json::parse_event_t;
    if (depth == 1 && event == E::key) {
      top_key_ = parsed.get<std::string>();
      if (top_key_ == "Tables") CheckHeader();
    } else if (depth == 1 && event == E::value) {
      header_[top_key_] = parsed;
    } else if (depth == 2 && top_key_ == "Tables") {
      if (event == E::key) {
        StartTable(parsed.get<std::string>());
      } else if (event == E::value || event == E::object_start) {
        NotADump(source_, "the rows of table " + table_ + " are not a list");
      }
    } else if (depth == 3 && top_key_ == "Tables") {
      if (event == E::object_end) {
        Store(parsed);
        return false;  // stored: not kept in the parsed document
      }
      if (event == E::value || event == E::array_start) {
        NotADump(source_, "a row of table " + table_ + " is not an object");
      }
    }
    return true;
  }

  // After the whole document: the header was there, and every table holds what the dump gave.
  DumpCounts Finish() {
    if (!header_checked_) NotADump(source_, "it has no Tables");
    DumpCounts counts;
    for (const std::string& table : order_) {
      const int64_t rows = rows_.at(table);
      const int64_t stored =
          database_.DbOpenRecordSet("SELECT COUNT(*) FROM [" + table + "]")->ValueAt(0).ToLong();
      if (stored != rows) {
        Raise(errc::kInvalidArgument, "table " + table + " holds " + std::to_string(stored) +
                                          " rows after the restore, the dump " +
                                          std::to_string(rows));
      }
      counts.tables.emplace_back(table, rows);
      counts.rows += rows;
    }
    return counts;
  }

 private:
  void CheckHeader() {
    const auto text = [&](const char* key) {
      const auto found = header_.find(key);
      return found == header_.end() ? Json() : found->second;
    };
    if (text("Format") != Json(kFormat)) {
      NotADump(source_, "its Format is not \"" + std::string(kFormat) + "\"");
    }
    const Json version = text("FormatVersion");
    if (!version.is_number_integer() || version.get<int>() < kShortDatesVersion ||
        version.get<int>() > kFormatVersion) {
      NotADump(source_, "its FormatVersion is " + version.dump() + ", not 1 to " +
                            std::to_string(kFormatVersion));
    }
    version_ = version.get<int>();
    const int16_t schema = database_.Schema();
    if (text("Schema") != Json(schema)) {
      Raise(errc::kInvalidArgument, source_ + " is a dump of schema " + text("Schema").dump() +
                                        "; this catalogue has schema " + std::to_string(schema));
    }
    header_checked_ = true;
  }

  void StartTable(const std::string& name) {
    const store::TableDef* table = database_.connection().FindTable(name);
    if (!table) Raise(errc::kInvalidArgument, source_ + ": the catalogue has no table " + name);
    table_ = table->name;
    definition_ = table;
    if (rows_.find(table_) == rows_.end()) {
      // The new catalogue's own entries give way to the dump's.
      if (EqualsIgnoreCase(table_, "DbInfo")) database_.ClearTable("DbInfo");
      rows_[table_] = 0;
      order_.push_back(table_);
    }
  }

  void Store(const Json& row) {
    const int64_t number = ++rows_[table_];
    try {
      std::vector<std::string> names;
      std::vector<store::SqlValue> values;
      for (const auto& [name, value] : row.items()) {
        const store::ColumnDef* column = nullptr;
        for (const store::ColumnDef& candidate : definition_->columns) {
          if (EqualsIgnoreCase(candidate.name, name)) column = &candidate;
        }
        if (!column) Raise(errc::kInvalidArgument, "the table has no column " + name);
        names.push_back(column->name);
        values.push_back(StoredValue(*column, value, version_));
      }
      if (!database_.connection().InsertStoredRow(table_, names, values)) {
        Raise(errc::kInvalidArgument,
              "the catalogue refuses the row (a key it repeats, a value it requires, or a row "
              "of another table it names)");
      }
    } catch (const Error& error) {
      throw Error(error.number(), source_ + ": table " + table_ + ", row " +
                                      std::to_string(number) + ": " + error.description());
    }
    if (progress_ && ++stored_ % 10000 == 0) progress_(stored_);
  }

  ZelDatabase& database_;
  std::string source_;
  const std::function<void(int64_t)>& progress_;
  std::string top_key_;
  std::map<std::string, Json> header_;
  bool header_checked_ = false;
  std::string table_;
  const store::TableDef* definition_ = nullptr;
  int version_ = kFormatVersion;
  std::map<std::string, int64_t> rows_;
  std::vector<std::string> order_;
  int64_t stored_ = 0;
};

}  // namespace

DumpCounts WriteDump(ZelDatabase& database, std::ostream& out,
                     const std::function<void(int64_t)>& progress) {
  Json header = {{"Format", kFormat},
                 {"FormatVersion", kFormatVersion},
                 {"Schema", database.Schema()},
                 {"Owner", database.Owner()}};
  std::string opening = header.dump(2);
  opening.resize(opening.size() - 2);  // the line with the closing brace: the tables follow
  out << opening << ",\n  \"Tables\": {";
  DumpCounts counts;
  for (const store::TableDef& table : database.connection().TableDefs()) {
    // The change log of zel serve's index is derived data, not part of the catalogue.
    if (web::IsIndexTable(table.name)) continue;
    out << (counts.tables.empty() ? "\n    " : ",\n    ") << Json(table.name).dump() << ": [";
    counts.tables.emplace_back(table.name, 0);
    bool first = true;
    database.connection().ReadStoredRows(
        table.name, {}, {}, [&](const std::vector<store::SqlValue>& values) {
          Json row = Json::object();
          for (size_t c = 0; c < values.size(); ++c) {
            row[table.columns[c].name] = DumpValue(table.columns[c], values[c]);
          }
          try {
            out << (first ? "\n      " : ",\n      ") << row.dump();
          } catch (const Json::exception& error) {
            Raise(errc::kInvalidArgument,
                  "table " + table.name + " holds a text that is not UTF-8 (" + error.what() + ")");
          }
          first = false;
          ++counts.tables.back().second;
          ++counts.rows;
          if (progress && counts.rows % 10000 == 0) progress(counts.rows);
        });
    out << (first ? "]" : "\n    ]");
  }
  out << "\n  }\n}\n";
  out.flush();
  if (!out) Raise(errc::kInvalidArgument, "the dump could not be written");
  return counts;
}

DumpCounts RestoreDump(ZelDatabase& database, std::istream& in, const std::string& source,
                       const std::function<void(int64_t)>& progress) {
  for (const store::TableDef& table : database.connection().TableDefs()) {
    if (EqualsIgnoreCase(table.name, "DbInfo") || web::IsIndexTable(table.name)) continue;
    if (database.DbOpenRecordSet("SELECT COUNT(*) FROM [" + table.name + "]")->ValueAt(0).ToLong() >
        0) {
      Raise(errc::kInvalidArgument, database.FilePath() + " is not empty (table " + table.name +
                                        " has rows): restore into a new or empty catalogue");
    }
  }
  store::WriteScope scope(database.connection());
  Restorer restorer(database, source, progress);
  try {
    const Json rest = Json::parse(in, [&](int depth, Json::parse_event_t event, Json& parsed) {
      return restorer.Event(depth, event, parsed);
    });
    if (!rest.is_object()) NotADump(source, "it is not a JSON object");
  } catch (const Json::parse_error& error) {
    NotADump(source, std::string("it is not JSON (") + error.what() + ")");
  }
  const DumpCounts counts = restorer.Finish();
  scope.Commit();
  return counts;
}

}  // namespace zel::cli
