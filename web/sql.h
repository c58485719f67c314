// Reading helpers shared by the data functions of `zel serve`: typed values of a record set's
// current row, the JSON forms of dates and amounts, and the statements' common pieces. Every
// text from outside reaches a statement through QuoteSql here or in the caller.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "frame/variant.h"

namespace zel {
class ZelDatabase;
namespace store {
class RecordSet;
}
}  // namespace zel

namespace zel::web {

using Json = nlohmann::ordered_json;

// A request the data functions cannot answer as asked: an unknown choice, a page number out of
// range, a letter jump in an order other than by title. The message is for people and names the
// values that exist; the server answers it with 400.
class QueryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Null reads as empty text and 0.
std::string Text(store::RecordSet& records, std::string_view column);
int32_t Number(store::RecordSet& records, std::string_view column);
std::string TextAt(store::RecordSet& records, int32_t position);
int32_t NumberAt(store::RecordSet& records, int32_t position);
// A yes/no column in either stored form (booleans, or the texts "True"/"False" of older files);
// null and empty text are false.
bool Flag(store::RecordSet& records, std::string_view column);
bool FlagAt(store::RecordSet& records, int32_t position);
// The 0-based position of a column of a record set (-1 when it has none), to read many rows by
// position.
int32_t PositionOf(store::RecordSet& records, std::string_view column);
// Whether a credit row is cast: a boolean from schema 76, the exact text "yes" before.
bool IsCastRow(store::RecordSet& records);
bool IsCastValue(const Variant& value);
// The condition on column `column` (e.g. "c.IsCast") that selects cast credits in this file.
std::string CastCondition(std::string_view column);
int16_t Schema();

// A date, or Date::Zero() for null and the zero date (both mean "no date").
Date DateOf(const Variant& value);
// ISO date text, or null for "no date".
Json DateJson(Date date);
Json DateJson(const Variant& value);
Json AmountJson(const Variant& value);

// The first column of the first row as a whole number (0 when there is none).
int64_t CountOf(ZelDatabase& database, const std::string& sql);

// The kind of a list divider by its marker role ("Group", "Episode", "Team", "End", "Divider"),
// or empty for a real credit.
std::string DividerKind(std::string_view role);
// "(c.Role IS NULL OR c.Role NOT IN (...the divider markers...))" for a credit table alias, and
// "c.Role IN (...)" for the dividers themselves.
std::string NotDivider(std::string_view alias);
std::string IsDivider(std::string_view alias);

// "('a', 'b')" with each text quoted.
std::string InList(const std::vector<std::string>& values);

// A person's common name and every name credited to them: the common name first, then each alias
// of it that differs from the names before it in more than letter case.
struct PersonNames {
  std::string common_name;
  std::vector<std::string> names;
  struct Alias {
    std::string name;
    int32_t birth_year = 0;
  };
  std::vector<Alias> aliases;  // every alias row of the common name, by name
};
PersonNames NamesOfPerson(ZelDatabase& database, const std::string& name);

}  // namespace zel::web
