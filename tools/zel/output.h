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

// Prints rows under a header with columns aligned; cells are cut at `max_width` characters.
void PrintTable(std::ostream& out, const std::vector<std::string>& header,
                const std::vector<std::vector<std::string>>& rows, size_t max_width = 60);

}  // namespace zel::cli
