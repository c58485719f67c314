// Output helpers of the command line: readable tables for people, JSON for scripts.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "frame/variant.h"

namespace zel::cli {

using Json = nlohmann::ordered_json;

// Text of a value for a table cell: Null and Empty as "", dates in ISO form.
std::string CellText(const Variant& value);
// JSON of a value: Null and Empty as null, booleans and numbers as such, dates as ISO text.
Json ToJson(const Variant& value);

// Prints rows under a header with columns aligned; cells are cut at `max_width` characters. A row
// of fewer cells than the header is a line of its own inside the table (a heading, or an empty
// line when it has none), printed as it is and left out of the column widths.
void PrintTable(std::ostream& out, const std::vector<std::string>& header,
                const std::vector<std::vector<std::string>>& rows, size_t max_width = 60);

// Prints JSON for scripts, indented by two.
void PrintJson(std::ostream& out, const Json& json);

}  // namespace zel::cli
