#include "output.h"

#include <algorithm>
#include <ostream>

#include "frame/text.h"

namespace zel::cli {
namespace {

// Number of characters (code points) of a UTF-8 text.
size_t DisplayWidth(const std::string& text) {
  return static_cast<size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// The first `width` characters of a UTF-8 text, with "…" when cut; line breaks become blanks.
std::string Fit(const std::string& text, size_t width) {
  std::string flat = ReplaceAll(ReplaceAll(ReplaceAll(text, "\r\n", " "), "\n", " "), "\t", " ");
  if (DisplayWidth(flat) <= width) return flat;
  std::string cut;
  size_t characters = 0;
  for (char c : flat) {
    if ((c & 0xC0) != 0x80 && ++characters > width - 1) break;
    cut += c;
  }
  return cut + "\xE2\x80\xA6";
}

}  // namespace

std::string CellText(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return "";
  if (value.IsObject() || value.IsArray()) return "<" + value.TypeName() + ">";
  return value.ToText();
}

Json ToJson(const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      return nullptr;
    case VarType::kBoolean:
      return value.ToBool();
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
      return value.ToLongLong();
    case VarType::kDouble:
    case VarType::kCurrency:
      return value.ToDouble();
    case VarType::kDate:
      return FormatDate(value.ToDate());
    case VarType::kString:
      return value.ToText();
    case VarType::kArray: {
      Json items = Json::array();
      const Array& array = value.AsArray();
      for (size_t i = 0; i < array.Length(); ++i) items.push_back(ToJson(array.At(i)));
      return items;
    }
    case VarType::kObject:
      return value.TypeName();
  }
  return nullptr;
}

void PrintTable(std::ostream& out, const std::vector<std::string>& header,
                const std::vector<std::vector<std::string>>& rows, size_t max_width) {
  std::vector<size_t> widths(header.size());
  auto fitted_rows = rows;
  for (auto& row : fitted_rows) {
    for (auto& cell : row) cell = Fit(cell, max_width);
  }
  const auto is_line = [&](const std::vector<std::string>& row) {
    return row.size() < header.size();
  };
  for (size_t c = 0; c < header.size(); ++c) {
    widths[c] = DisplayWidth(header[c]);
    for (const auto& row : fitted_rows) {
      if (!is_line(row)) widths[c] = std::max(widths[c], DisplayWidth(row[c]));
    }
  }
  auto print_row = [&](const std::vector<std::string>& cells) {
    std::string line;
    for (size_t c = 0; c < cells.size(); ++c) {
      line += cells[c];
      if (c + 1 < cells.size()) line += std::string(widths[c] - DisplayWidth(cells[c]) + 2, ' ');
    }
    while (line.ends_with(' ')) line.pop_back();
    out << line << '\n';
  };
  print_row(header);
  std::vector<std::string> rule;
  for (size_t width : widths) rule.push_back(std::string(width, '-'));
  print_row(rule);
  for (const auto& row : fitted_rows) {
    if (is_line(row)) {
      out << (row.empty() ? std::string() : row.front()) << '\n';
    } else {
      print_row(row);
    }
  }
}

void PrintJson(std::ostream& out, const Json& json) {
  // Texts that are not valid UTF-8 are written with replacement characters rather than failing.
  out << json.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

}  // namespace zel::cli
