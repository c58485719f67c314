#include "store/stored_value.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "frame/error.h"
#include "frame/text.h"
#include "store/engine_errors.h"
#include "store/tables.h"

namespace zel::store {
namespace {

// A whole number written as such, the whole text.
bool WholeNumber(std::string_view text, int64_t& out) {
  const std::string trimmed = Trim(text);
  if (trimmed.empty()) return false;
  const char* begin = trimmed.data();
  const char* end = begin + trimmed.size();
  if (*begin == '+') ++begin;
  const auto [ptr, error] = std::from_chars(begin, end, out);
  return error == std::errc() && ptr == end;
}

bool AnyNumber(std::string_view text, double& out) {
  try {
    return ParseNumber(text, out);
  } catch (const Error&) {
    return false;
  }
}

int64_t WholeOf(double value) {
  const double rounded = std::nearbyint(value);
  if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0)) return 0;
  return static_cast<int64_t>(rounded);
}

bool FlagOfText(std::string_view text) {
  const std::string word = ToLower(Trim(text));
  if (word == "true" || word == "yes" || word == "on" || word == "x") return true;
  double number = 0;
  return AnyNumber(word, number) && number != 0;
}

[[noreturn]] void Mismatch(const ColumnLayout& column, const Variant& value) {
  Raise(engine_errc::kDataTypeMismatch,
        "Data type mismatch: '" + (value.IsObject() ? value.TypeName() : value.ToTextOrEmpty()) +
            "' is not a valid value for column " + std::string(column.name) + ".");
}

}  // namespace

bool StoredValue::operator==(const StoredValue& other) const {
  if (kind != other.kind) return false;
  switch (kind) {
    case Kind::kNull:
      return true;
    case Kind::kInteger:
      return integer == other.integer;
    case Kind::kReal:
      return real == other.real || (std::isnan(real) && std::isnan(other.real));
    case Kind::kText:
      return text == other.text;
  }
  return false;
}

std::string StoredValue::Describe() const {
  switch (kind) {
    case Kind::kNull:
      return "NULL";
    case Kind::kInteger:
      return std::to_string(integer);
    case Kind::kReal: {
      char buffer[40];
      const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, real);
      return error == std::errc() ? std::string(buffer, end) : std::string("?");
    }
    case Kind::kText:
      return "'" + text + "'";
  }
  return {};
}

namespace {

// Wide enough for any double's significand times 10000 shifted left by up to 60 bits. A compiler
// extension of both GCC and Clang, marked as such so that pedantic builds accept it.
__extension__ typedef __int128 Wide;

// stored * 10000 rounded half to even, exactly (no intermediate rounding); false beyond 2^100.
bool ScaledAmount(double stored, Wide& scaled) {
  scaled = 0;
  if (std::isnan(stored) || stored == 0) return true;
  if (std::isinf(stored)) return false;
  // stored = mantissa * 2^exponent exactly, the mantissa a whole number below 2^53.
  int exponent = 0;
  const double fraction = std::frexp(stored, &exponent);
  const auto mantissa = static_cast<int64_t>(std::ldexp(fraction, 53));
  exponent -= 53;
  scaled = static_cast<Wide>(mantissa) * 10000;
  if (exponent >= 0) {
    if (exponent > 60) return false;
    scaled <<= exponent;
  } else if (exponent <= -126) {
    scaled = 0;
  } else {
    // Division by 2^-exponent, rounding half to even; the shift rounds down, also for negatives.
    const int shift = -exponent;
    const Wide quotient = scaled >> shift;
    const Wide rest = scaled - (quotient << shift);
    const Wide half = static_cast<Wide>(1) << (shift - 1);
    scaled = quotient + ((rest > half || (rest == half && (quotient & 1) != 0)) ? 1 : 0);
  }
  return true;
}

}  // namespace

Currency AmountOfStored(double stored) {
  constexpr int64_t kHighest = std::numeric_limits<int64_t>::max();
  constexpr int64_t kLowest = std::numeric_limits<int64_t>::min();
  Wide scaled = 0;
  if (!ScaledAmount(stored, scaled)) return Currency{stored > 0 ? kHighest : kLowest};
  if (scaled > kHighest) return Currency{kHighest};
  if (scaled < kLowest) return Currency{kLowest};
  return Currency{static_cast<int64_t>(scaled)};
}

double StoredOfAmount(Currency amount) {
  const std::string text = amount.DecimalText();
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

void RequireStorableAmount(Currency amount, std::string_view what) {
  Wide scaled = 0;
  if (ScaledAmount(StoredOfAmount(amount), scaled) && scaled == amount.scaled) return;
  Raise(errc::kOverflow, std::string(what) + " " + amount.DecimalText() +
                             " cannot be kept to four decimals: the catalogue stores amounts as "
                             "doubles, and the nearest one to it is " +
                             StoredValue::Real(StoredOfAmount(amount)).Describe());
}

Variant ReadColumn(const ColumnLayout& column, const StoredValue& value,
                   const Variant& null_value) {
  using Kind = StoredValue::Kind;
  if (value.IsNull() && !null_value.IsEmpty()) return null_value;
  switch (column.Type()) {
    case ColumnType::kText:
    case ColumnType::kMemo:
      switch (value.kind) {
        case Kind::kText:
          return Variant(value.text);
        case Kind::kInteger:
          return Variant(std::to_string(value.integer));
        case Kind::kReal:
          return Variant(FormatDouble(value.real));
        case Kind::kNull:
          return Variant(std::string());
      }
      break;
    case ColumnType::kLong: {
      int64_t whole = 0;
      double number = 0;
      if (value.kind == Kind::kInteger) return Variant(value.integer);
      if (value.kind == Kind::kReal) return Variant(WholeOf(value.real));
      if (value.kind == Kind::kText && WholeNumber(value.text, whole)) return Variant(whole);
      if (value.kind == Kind::kText && AnyNumber(value.text, number)) {
        return Variant(WholeOf(number));
      }
      return Variant(int64_t{0});
    }
    case ColumnType::kBoolean:
      switch (value.kind) {
        case Kind::kInteger:
          return Variant(value.integer != 0);
        case Kind::kReal:
          return Variant(value.real != 0);
        case Kind::kText:
          return Variant(FlagOfText(value.text));
        case Kind::kNull:
          return Variant(false);
      }
      break;
    case ColumnType::kDate: {
      Date date = Date::Zero();
      if (value.kind == Kind::kText && !ParseDate(value.text, date)) date = Date::Zero();
      if (value.kind == Kind::kInteger) date = Date{static_cast<double>(value.integer)};
      if (value.kind == Kind::kReal && std::isfinite(value.real)) date = Date{value.real};
      return Variant(date);
    }
    case ColumnType::kDouble: {
      double number = 0;
      if (value.kind == Kind::kReal) return Variant(AmountOfStored(value.real));
      if (value.kind == Kind::kInteger) {
        return Variant(AmountOfStored(static_cast<double>(value.integer)));
      }
      if (value.kind == Kind::kText && AnyNumber(value.text, number)) {
        return Variant(AmountOfStored(number));
      }
      return Variant(Currency{});
    }
  }
  return Variant::Null();
}

StoredValue WriteColumn(const ColumnLayout& column, const Variant& value, int16_t schema) {
  if (value.IsNull()) return StoredValue{};
  if (value.IsObject() || value.IsArray()) Mismatch(column, value);
  try {
    switch (column.Type()) {
      case ColumnType::kText:
      case ColumnType::kMemo:
        if (value.type() == VarType::kDate) return StoredValue::Text(FormatDate(value.ToDate()));
        return StoredValue::Text(value.ToText());
      case ColumnType::kLong:
        if (value.IsString()) {
          int64_t whole = 0;
          if (WholeNumber(value.ToText(), whole)) return StoredValue::Integer(whole);
          double number = 0;
          if (!AnyNumber(value.ToText(), number)) Mismatch(column, value);
          return StoredValue::Integer(Variant(number).ToLongLong());
        }
        return StoredValue::Integer(value.ToLongLong());
      case ColumnType::kBoolean: {
        const bool flag = value.IsString() ? FlagOfText(value.ToText()) : value.ToBool();
        if (schema < schema::kFlagsAsYesNo) {
          switch (column.old_form) {
            case OldFlagForm::kTrueFalse:
              return StoredValue::Text(flag ? "True" : "False");
            case OldFlagForm::kYesNo:
              return StoredValue::Text(flag ? "yes" : "no");
            case OldFlagForm::kWonMark:
              return StoredValue::Text(flag ? "X" : "");
            case OldFlagForm::kNone:
              break;
          }
        }
        return StoredValue::Integer(flag ? 1 : 0);
      }
      case ColumnType::kDate:
        return StoredValue::Text(FormatDateTime(value.ToDate()));
      case ColumnType::kDouble:
        if (value.type() == VarType::kCurrency) {
          return StoredValue::Real(StoredOfAmount(value.ToCurrency()));
        }
        return StoredValue::Real(value.ToDouble());
    }
  } catch (const Error& error) {
    if (error.number() == errc::kTypeMismatch) Mismatch(column, value);
    throw;
  }
  return StoredValue{};
}

}  // namespace zel::store
