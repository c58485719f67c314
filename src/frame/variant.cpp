#include "frame/variant.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "frame/error.h"
#include "frame/library_state.h"
#include "frame/object.h"
#include "frame/text.h"

namespace zel {
namespace {

constexpr int32_t kInvalidUseOfNull = 94;

[[noreturn]] void RaiseNull() { Raise(kInvalidUseOfNull, "Invalid use of Null"); }

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

const int64_t kEpochDays = DaysFromCivil(1899, 12, 30);

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) return 29;
  return kDays[month - 1];
}

double RoundHalfEven(double value) { return std::nearbyint(value); }

int64_t CheckedRange(double rounded, int64_t low, int64_t high) {
  if (!(rounded >= static_cast<double>(low) && rounded <= static_cast<double>(high))) {
    Raise(errc::kOverflow);
  }
  return static_cast<int64_t>(rounded);
}

// Reads an unsigned decimal number of 1..max_digits digits at text[pos].
bool ReadDigits(std::string_view text, size_t& pos, int max_digits, int& out) {
  size_t start = pos;
  int value = 0;
  while (pos < text.size() && pos - start < static_cast<size_t>(max_digits) && text[pos] >= '0' &&
         text[pos] <= '9') {
    value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  out = value;
  return pos > start;
}

bool Expect(std::string_view text, size_t& pos, char c) {
  if (pos < text.size() && text[pos] == c) {
    ++pos;
    return true;
  }
  return false;
}

// Time of day "H:MM[:SS[.fff]] [AM|PM]" at text[pos], to the end of the text.
bool ParseTime(std::string_view text, size_t pos, int& hour, int& minute, int& second) {
  hour = minute = second = 0;
  if (!ReadDigits(text, pos, 2, hour) || !Expect(text, pos, ':') ||
      !ReadDigits(text, pos, 2, minute))
    return false;
  if (Expect(text, pos, ':')) {
    if (!ReadDigits(text, pos, 2, second)) return false;
    if (Expect(text, pos, '.')) {
      int fraction;
      if (!ReadDigits(text, pos, 9, fraction)) return false;
    }
  }
  while (pos < text.size() && text[pos] == ' ') ++pos;
  std::string rest = ToLower(text.substr(pos));
  if (rest == "am" || rest == "pm") {
    if (hour < 1 || hour > 12) return false;
    hour = hour % 12 + (rest == "pm" ? 12 : 0);
  } else if (!rest.empty() && rest != "z") {
    return false;
  }
  return hour <= 23 && minute <= 59 && second <= 59;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string Currency::DecimalText() const {
  const bool negative = scaled < 0;
  const uint64_t magnitude =
      negative ? uint64_t{0} - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  std::string digits = std::to_string(magnitude);
  if (digits.size() < 5) digits.insert(0, 5 - digits.size(), '0');
  digits.insert(digits.size() - 4, ".");
  return negative ? "-" + digits : digits;
}

Currency Currency::FromDouble(double value) {
  const double scaled = RoundHalfEven(value * 10000.0);
  if (!(std::fabs(scaled) < 9.2e18)) Raise(errc::kOverflow);
  return Currency{static_cast<int64_t>(scaled)};
}

Date Date::FromParts(int year, int month, int day, int hour, int minute, int second) {
  const int64_t days = DaysFromCivil(year, month, day) - kEpochDays;
  const double fraction = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  // Before the epoch the platform keeps the day negative and the time of day positive.
  return Date{days < 0 ? static_cast<double>(days) - fraction
                       : static_cast<double>(days) + fraction};
}

void Date::ToParts(int& year, int& month, int& day, int& hour, int& minute, int& second) const {
  int64_t days = static_cast<int64_t>(std::trunc(serial));
  int64_t seconds = std::llround(std::fabs(serial - static_cast<double>(days)) * 86400.0);
  if (seconds >= 86400) {
    seconds -= 86400;
    days += serial < 0 ? -1 : 1;
  }
  CivilFromDays(days + kEpochDays, year, month, day);
  hour = static_cast<int>(seconds / 3600);
  minute = static_cast<int>(seconds / 60 % 60);
  second = static_cast<int>(seconds % 60);
}

bool Date::HasTime() const {
  int y, mo, d, h, mi, s;
  ToParts(y, mo, d, h, mi, s);
  return h != 0 || mi != 0 || s != 0;
}

size_t Array::Index(size_t i, size_t j) const {
  if (dims_.size() != 2 || i >= dims_[0] || j >= dims_[1]) Raise(errc::kSubscriptOutOfRange);
  return i + j * dims_[0];
}

Variant::Variant(ObjectPtr value) : value_(std::move(value)) {}

Variant Variant::Null() {
  Variant v;
  v.value_ = NullTag{};
  return v;
}

bool Variant::IsNumeric() const {
  switch (type()) {
    case VarType::kBoolean:
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kDouble:
    case VarType::kCurrency:
      return true;
    default:
      return false;
  }
}

bool Variant::ToBool() const {
  switch (type()) {
    case VarType::kEmpty:
      return false;
    case VarType::kNull:
      RaiseNull();
    case VarType::kBoolean:
      return std::get<bool>(value_);
    case VarType::kLongLong:
      return std::get<int64_t>(value_) != 0;
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kDouble:
    case VarType::kCurrency:
    case VarType::kDate:
      return ToDouble() != 0;
    case VarType::kString: {
      const std::string& text = std::get<std::string>(value_);
      if (EqualsIgnoreCase(text, "true")) return true;
      if (EqualsIgnoreCase(text, "false")) return false;
      double number;
      if (ParseNumber(text, number)) return number != 0;
      Raise(errc::kTypeMismatch);
    }
    default:
      Raise(errc::kTypeMismatch);
  }
}

double Variant::ToDouble() const {
  switch (type()) {
    case VarType::kEmpty:
      return 0;
    case VarType::kNull:
      RaiseNull();
    case VarType::kBoolean:
      return std::get<bool>(value_) ? -1 : 0;
    case VarType::kInteger:
      return std::get<int16_t>(value_);
    case VarType::kLong:
      return std::get<int32_t>(value_);
    case VarType::kLongLong:
      return static_cast<double>(std::get<int64_t>(value_));
    case VarType::kDouble:
      return std::get<double>(value_);
    case VarType::kCurrency:
      return std::get<Currency>(value_).ToDouble();
    case VarType::kDate:
      return std::get<Date>(value_).serial;
    case VarType::kString: {
      double number;
      if (ParseNumber(std::get<std::string>(value_), number)) return number;
      Raise(errc::kTypeMismatch);
    }
    default:
      Raise(errc::kTypeMismatch);
  }
}

int16_t Variant::ToInteger() const {
  if (type() == VarType::kInteger) return std::get<int16_t>(value_);
  if (type() == VarType::kLongLong) {
    const int64_t value = std::get<int64_t>(value_);
    if (value < INT16_MIN || value > INT16_MAX) Raise(errc::kOverflow);
    return static_cast<int16_t>(value);
  }
  return static_cast<int16_t>(CheckedRange(RoundHalfEven(ToDouble()), INT16_MIN, INT16_MAX));
}

int32_t Variant::ToLong() const {
  if (type() == VarType::kLong) return std::get<int32_t>(value_);
  if (type() == VarType::kLongLong) {
    const int64_t value = std::get<int64_t>(value_);
    if (value < INT32_MIN || value > INT32_MAX) Raise(errc::kOverflow);
    return static_cast<int32_t>(value);
  }
  if (type() == VarType::kCurrency) {
    const int64_t scaled = std::get<Currency>(value_).scaled;
    return static_cast<int32_t>(
        CheckedRange(RoundHalfEven(scaled / 10000.0), INT32_MIN, INT32_MAX));
  }
  return static_cast<int32_t>(CheckedRange(RoundHalfEven(ToDouble()), INT32_MIN, INT32_MAX));
}

int64_t Variant::ToLongLong() const {
  switch (type()) {
    case VarType::kInteger:
      return std::get<int16_t>(value_);
    case VarType::kLong:
      return std::get<int32_t>(value_);
    case VarType::kLongLong:
      return std::get<int64_t>(value_);
    case VarType::kCurrency: {
      // Whole units, rounded half to even, without passing through a binary fraction.
      const int64_t scaled = std::get<Currency>(value_).scaled;
      int64_t whole = scaled / 10000;
      const int64_t rest = scaled % 10000;
      if (rest > 5000 || (rest == 5000 && whole % 2 != 0)) ++whole;
      if (rest < -5000 || (rest == -5000 && whole % 2 != 0)) --whole;
      return whole;
    }
    default: {
      // 2^63 is the first double beyond the range; every double below it converts exactly.
      const double rounded = RoundHalfEven(ToDouble());
      if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0)) {
        Raise(errc::kOverflow);
      }
      return static_cast<int64_t>(rounded);
    }
  }
}

Currency Variant::ToCurrency() const {
  if (type() == VarType::kCurrency) return std::get<Currency>(value_);
  if (type() == VarType::kLongLong || type() == VarType::kInteger || type() == VarType::kLong) {
    const int64_t whole = ToLongLong();
    if (whole > INT64_MAX / 10000 || whole < INT64_MIN / 10000) Raise(errc::kOverflow);
    return Currency{whole * 10000};
  }
  return Currency::FromDouble(ToDouble());
}

Date Variant::ToDate() const {
  switch (type()) {
    case VarType::kEmpty:
      return Date::Zero();
    case VarType::kNull:
      RaiseNull();
    case VarType::kDate:
      return std::get<Date>(value_);
    case VarType::kString: {
      Date date;
      if (ParseDate(std::get<std::string>(value_), date)) return date;
      Raise(errc::kTypeMismatch);
    }
    case VarType::kObject:
    case VarType::kArray:
      Raise(errc::kTypeMismatch);
    default:
      return Date{ToDouble()};
  }
}

std::string Variant::ToText() const {
  switch (type()) {
    case VarType::kEmpty:
      return "";
    case VarType::kNull:
      RaiseNull();
    case VarType::kBoolean:
      return std::get<bool>(value_) ? "True" : "False";
    case VarType::kInteger:
      return std::to_string(std::get<int16_t>(value_));
    case VarType::kLong:
      return std::to_string(std::get<int32_t>(value_));
    case VarType::kLongLong:
      return std::to_string(std::get<int64_t>(value_));
    case VarType::kDouble:
      return FormatDouble(std::get<double>(value_));
    case VarType::kCurrency: {
      const int64_t scaled = std::get<Currency>(value_).scaled;
      const uint64_t magnitude =
          scaled < 0 ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
      std::string text = (scaled < 0 ? "-" : "") + std::to_string(magnitude / 10000);
      std::string fraction = std::to_string(10000 + magnitude % 10000).substr(1);
      while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
      if (!fraction.empty()) text += State().decimal_separator + fraction;
      return text;
    }
    case VarType::kDate:
      return FormatDate(std::get<Date>(value_));
    case VarType::kString:
      return std::get<std::string>(value_);
    default:
      Raise(errc::kTypeMismatch);
  }
}

std::string Variant::ToTextOrEmpty() const { return IsNull() ? std::string() : ToText(); }

ObjectPtr Variant::ToObject() const {
  if (type() == VarType::kObject) return std::get<ObjectPtr>(value_);
  if (type() == VarType::kEmpty) return nullptr;
  Raise(errc::kTypeMismatch);
}

const Array& Variant::AsArray() const {
  if (type() != VarType::kArray || !std::get<std::shared_ptr<Array>>(value_)) {
    Raise(errc::kTypeMismatch);
  }
  return *std::get<std::shared_ptr<Array>>(value_);
}

std::shared_ptr<Array> Variant::ArrayPtr() const {
  if (type() != VarType::kArray) Raise(errc::kTypeMismatch);
  return std::get<std::shared_ptr<Array>>(value_);
}

std::string Variant::TypeName() const {
  switch (type()) {
    case VarType::kEmpty:
      return "Empty";
    case VarType::kNull:
      return "Null";
    case VarType::kBoolean:
      return "Boolean";
    case VarType::kInteger:
      return "Integer";
    case VarType::kLong:
      return "Long";
    case VarType::kLongLong:
      return "LongLong";
    case VarType::kDouble:
      return "Double";
    case VarType::kCurrency:
      return "Currency";
    case VarType::kDate:
      return "Date";
    case VarType::kString:
      return "String";
    case VarType::kObject: {
      const ObjectPtr& object = std::get<ObjectPtr>(value_);
      return object ? object->Class().name() : "Nothing";
    }
    case VarType::kArray:
      return "Variant()";
  }
  return "Unknown";
}

bool Variant::operator==(const Variant& other) const { return value_ == other.value_; }

bool ParseNumber(std::string_view text, double& out) {
  text = TrimBlanks(text);
  if (text.empty()) return false;
  const std::string& separator = State().decimal_separator;
  std::string normalized;
  normalized.reserve(text.size());
  bool digit_seen = false;
  bool point_seen = false;
  bool exponent_seen = false;
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      digit_seen = true;
      normalized += c;
      ++i;
    } else if ((c == '+' || c == '-') &&
               (i == 0 || (exponent_seen && (normalized.back() == 'e')))) {
      if (c == '-') normalized += c;
      ++i;
    } else if (!point_seen && !exponent_seen &&
               (c == '.' || (!separator.empty() && text.substr(i).starts_with(separator)))) {
      point_seen = true;
      normalized += '.';
      i += c == '.' ? 1 : separator.size();
    } else if ((c == 'e' || c == 'E') && digit_seen && !exponent_seen && i + 1 < text.size()) {
      exponent_seen = true;
      normalized += 'e';
      ++i;
    } else {
      return false;
    }
  }
  if (!digit_seen || normalized.back() == 'e') return false;
  const char* begin = normalized.data();
  const char* end = begin + normalized.size();
  auto [ptr, ec] = std::from_chars(begin, end, out);
  if (ec == std::errc::result_out_of_range) Raise(errc::kOverflow);
  return ec == std::errc() && ptr == end && std::isfinite(out);
}

bool ParseDate(std::string_view text, Date& out) {
  text = TrimBlanks(text);
  size_t pos = 0;
  int a = 0, b = 0, c = 0;
  int hour = 0, minute = 0, second = 0;
  int year, month, day;
  const size_t first_digits = text.find_first_not_of("0123456789");
  if (first_digits == 4 && (text[4] == '-' || text[4] == '/')) {
    const char sep = text[4];
    ReadDigits(text, pos, 4, a);
    ++pos;
    if (!ReadDigits(text, pos, 2, b) || !Expect(text, pos, sep) || !ReadDigits(text, pos, 2, c))
      return false;
    year = a, month = b, day = c;
  } else if ((first_digits == 1 || first_digits == 2) && text[first_digits] == '/') {
    ReadDigits(text, pos, 2, a);
    ++pos;
    if (!ReadDigits(text, pos, 2, b) || !Expect(text, pos, '/') || !ReadDigits(text, pos, 4, c) ||
        pos - text.rfind('/', pos) != 5)
      return false;
    year = c, month = a, day = b;
  } else if ((first_digits == 1 || first_digits == 2) && text[first_digits] == ':') {
    if (!ParseTime(text, 0, hour, minute, second)) return false;
    out = Date::FromParts(1899, 12, 30, hour, minute, second);
    return true;
  } else {
    return false;
  }
  if (year < 100 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
    return false;
  }
  if (pos < text.size()) {
    if (text[pos] != ' ' && text[pos] != 'T') return false;
    ++pos;
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (!ParseTime(text, pos, hour, minute, second)) return false;
  }
  out = Date::FromParts(year, month, day, hour, minute, second);
  return true;
}

std::string FormatDate(Date date) {
  return date.HasTime() ? FormatDateTime(date) : FormatDateTime(date).substr(0, 10);
}

std::string FormatDateTime(Date date) {
  int y, mo, d, h, mi, s;
  date.ToParts(y, mo, d, h, mi, s);
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
  return buffer;
}

std::string FormatDouble(double value) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  std::string text = buffer;
  if (text == "-0") text = "0";
  if (auto e = text.find('e'); e != std::string::npos) {
    text[e] = 'E';
  }
  if (auto point = text.find('.'); point != std::string::npos) {
    text.replace(point, 1, State().decimal_separator);
  }
  return text;
}

}  // namespace zel
