#include "import/value_conversions.h"

#include <array>
#include <vector>

#include "frame/error.h"
#include "frame/library_state.h"
#include "frame/text.h"
#include "frame/variant.h"

namespace zel {

namespace {

constexpr std::array<std::string_view, 46> kCountries = {
    "New Zealand",
    "Australia",
    "Canada",
    "United Kingdom",
    "Germany",
    "China",
    "Former Soviet Union",
    "France",
    "Netherlands",
    "Spain",
    "Sweden",
    "Norway",
    "Italy",
    "Denmark",
    "Portugal",
    "Finland",
    "Japan",
    "Korea",
    "Canada (Quebec)",
    "South Africa",
    "Hong Kong",
    "Switzerland",
    "Brazil",
    "Israel",
    "Mexico",
    "Iceland",
    "Indonesia",
    "Taiwan",
    "Poland",
    "Belgium",
    "Turkey",
    "Argentina",
    "Slovakia",
    "Hungary",
    "Singapore",
    "Czech Republic",
    "Malaysia",
    "Thailand",
    "India",
    "Austria",
    "Greece",
    "Vietnam",
    "Philippines",
    "Ireland",
    "Estonia",
    "Romania",
};

// The characters of a UTF-8 text, each as its own UTF-8 piece.
std::vector<std::string_view> Characters(std::string_view text) {
  std::vector<std::string_view> pieces;
  for (size_t i = 0; i < text.size();) {
    size_t length = 1;
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead >= 0xF0) {
      length = 4;
    } else if (lead >= 0xE0) {
      length = 3;
    } else if (lead >= 0xC0) {
      length = 2;
    }
    length = std::min(length, text.size() - i);
    pieces.push_back(text.substr(i, length));
    i += length;
  }
  return pieces;
}

// Whether windows-1252 has a single byte for the (first) character of `text`.
bool FitsWindows1252(std::string_view character) {
  const std::u16string units = Utf8ToUtf16(character);
  if (units.empty()) return true;
  const char16_t unit = units.front();
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return true;
  static constexpr char16_t kHigh[] = {0x20AC, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x017D, 0x2018,
                                       0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC,
                                       0x2122, 0x0161, 0x203A, 0x0153, 0x017E, 0x0178};
  for (char16_t high : kHigh) {
    if (unit == high) return true;
  }
  return false;
}

// A plain decimal number with "." as decimal point, as DVD Profiler writes a price's own text.
bool IsPlainNumber(std::string_view text) {
  if (!text.empty() && text.front() == '-') text.remove_prefix(1);
  const size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  if (whole.empty() || !IsAsciiDigits(whole)) return false;
  if (point == std::string_view::npos) return true;
  const std::string_view fraction = text.substr(point + 1);
  return !fraction.empty() && IsAsciiDigits(fraction);
}

std::string TrimSymbol(std::string_view symbol) {
  static constexpr std::string_view kNoBreakSpace = "\u00a0";
  bool trimmed = true;
  while (trimmed && !symbol.empty()) {
    trimmed = false;
    if (symbol.front() == ' ') {
      symbol.remove_prefix(1);
      trimmed = true;
    } else if (symbol.back() == ' ') {
      symbol.remove_suffix(1);
      trimmed = true;
    } else if (symbol.starts_with(kNoBreakSpace)) {
      symbol.remove_prefix(kNoBreakSpace.size());
      trimmed = true;
    } else if (symbol.ends_with(kNoBreakSpace)) {
      symbol.remove_suffix(kNoBreakSpace.size());
      trimmed = true;
    }
  }
  return std::string(symbol);
}

}  // namespace

std::string CountryName(int16_t number) {
  if (number < 1 || number > static_cast<int16_t>(kCountries.size())) return {};
  return std::string(kCountries[static_cast<size_t>(number - 1)]);
}

std::string LocalityOfId(std::string_view id) {
  const size_t dot = id.rfind('.');
  if (dot == std::string_view::npos) return "United States";
  try {
    return CountryName(Variant(id.substr(dot + 1)).ToInteger());
  } catch (const Error& error) {
    Raise(error.number(), error.description() + ": the locality '" +
                              std::string(id.substr(dot + 1)) + "' at the end of the ID '" +
                              std::string(id) + "' is not a number of 16 bits");
  }
}

std::string FixTimestamp(std::string_view text) {
  std::string fixed(text);
  if (fixed.find('T') != std::string::npos) {
    fixed = ReplaceAll(fixed, "T", " ");
    if (fixed.size() > 19) fixed.resize(19);
  }
  if (fixed.empty()) fixed = "1899-12-20";
  return fixed;
}

std::string SplitPrice(std::string_view formatted_value) {
  const std::string& separator = State().decimal_separator;
  std::string amount;
  std::string symbol;
  bool first_separator_seen = false;
  const std::vector<std::string_view> characters = Characters(formatted_value);
  for (auto it = characters.rbegin(); it != characters.rend(); ++it) {
    const std::string_view c = *it;
    if (c == "." || c == separator) {
      if (!first_separator_seen) {
        amount.insert(0, c);
      } else {
        symbol.insert(0, c);
      }
      first_separator_seen = true;
    } else if (c.size() == 1 && c[0] >= '0' && c[0] <= '9') {
      amount.insert(0, c);
    } else {
      symbol.insert(0, c);
    }
  }
  if (!symbol.empty()) {
    const std::string_view first = Characters(symbol).front();
    if (first == "?" || !FitsWindows1252(first)) symbol = "\u20ac";
  }
  amount = ReplaceAll(amount, ".", separator);
  return amount + "|" + symbol;
}

Price ReadPrice(std::string_view element_text, std::string_view formatted_value) {
  const std::string split = SplitPrice(formatted_value);
  const size_t bar = split.find('|');  // the amount never holds one
  Price price;
  std::string symbol = split.substr(bar + 1);
  for (std::string_view separator : {std::string_view(","), std::string_view("."),
                                     std::string_view(State().decimal_separator)}) {
    symbol = ReplaceAll(symbol, separator, "");
  }
  price.symbol = TrimSymbol(symbol);
  const std::string own = Trim(element_text);
  price.amount =
      IsPlainNumber(own) ? ReplaceAll(own, ".", State().decimal_separator) : split.substr(0, bar);
  return price;
}

}  // namespace zel
