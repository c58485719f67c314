// Variant: the value type that crosses every scriptable interface of the library.
//
// A Variant holds one of: Empty (never assigned), Null (no value, as read from a database),
// Boolean, Integer (16-bit), Long (32-bit), LongLong (64-bit, the whole numbers a catalogue's
// integer columns may hold), Double, Currency (64-bit fixed point with four decimals), Date (days
// since 1899-12-30, time of day as the fraction), String (UTF-8), an Object reference or an array.
// The To* conversions follow the rules of the scripting platform and are the only place where those
// rules live: out-of-range numbers raise Overflow, texts that are not numbers, booleans or dates
// raise Type mismatch, and Null raises Invalid use of Null.
#pragma once

#include <compare>
#include <concepts>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zel {

class Object;
using ObjectPtr = std::shared_ptr<Object>;
class Array;

// Fixed-point amount: the value times 10,000.
struct Currency {
  int64_t scaled = 0;

  static Currency FromDouble(double value);  // rounds half to even; Overflow when out of range
  double ToDouble() const { return static_cast<double>(scaled) / 10000.0; }
  // "-12.3400": every digit, four decimals, a point whatever the locale; never a binary fraction.
  std::string DecimalText() const;
  auto operator<=>(const Currency&) const = default;
};

// Point in time: whole days since 1899-12-30 plus the time of day as a fraction.
struct Date {
  double serial = 0;

  // The zero date, 1899-12-30, which the catalogue uses for "no date".
  static constexpr Date Zero() { return Date{0}; }
  // Calendar date and time; no range check beyond what the arithmetic needs.
  static Date FromParts(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
  // Splits into calendar parts, rounding to the nearest second.
  void ToParts(int& year, int& month, int& day, int& hour, int& minute, int& second) const;
  bool HasTime() const;
  auto operator<=>(const Date&) const = default;
};

enum class VarType : uint8_t {
  kEmpty,
  kNull,
  kBoolean,
  kInteger,
  kLong,
  kLongLong,
  kDouble,
  kCurrency,
  kDate,
  kString,
  kObject,
  kArray,
};

class Variant {
 public:
  Variant() = default;
  static Variant Null();

  // Only a real bool makes a Boolean; pointers and numbers must not decay into one.
  template <class T>
  requires std::same_as<T, bool> Variant(T value) : value_(value) {}
  Variant(int16_t value) : value_(value) {}
  Variant(int32_t value) : value_(value) {}
  Variant(int64_t value) : value_(value) {}
  Variant(double value) : value_(value) {}
  Variant(Currency value) : value_(value) {}
  Variant(Date value) : value_(value) {}
  Variant(std::string value) : value_(std::move(value)) {}
  Variant(std::string_view value) : value_(std::string(value)) {}
  Variant(const char* value) : value_(std::string(value)) {}
  Variant(ObjectPtr value);
  template <class T>
  requires std::derived_from<T, Object> Variant(std::shared_ptr<T> value)
      : Variant(ObjectPtr(std::move(value))) {}
  Variant(std::shared_ptr<Array> value) : value_(std::move(value)) {}

  VarType type() const { return static_cast<VarType>(value_.index()); }
  bool IsEmpty() const { return type() == VarType::kEmpty; }
  bool IsNull() const { return type() == VarType::kNull; }
  bool IsString() const { return type() == VarType::kString; }
  // The text held, where it is, when the value is a String; nullptr otherwise. Valid while the
  // value is neither changed nor destroyed.
  const std::string* StringIf() const { return std::get_if<std::string>(&value_); }
  bool IsObject() const { return type() == VarType::kObject; }
  bool IsArray() const { return type() == VarType::kArray; }
  bool IsNumeric() const;  // Boolean, Integer, Long, LongLong, Double or Currency

  // Conversions with the platform's rules (see the file comment).
  bool ToBool() const;
  int16_t ToInteger() const;
  int32_t ToLong() const;
  int64_t ToLongLong() const;
  double ToDouble() const;
  Currency ToCurrency() const;
  Date ToDate() const;
  std::string ToText() const;
  // Text of the value, with Null read as the empty text (the usual way of reading a column).
  std::string ToTextOrEmpty() const;
  // The object held; nullptr for Empty or a null reference. Any other value: Type mismatch.
  ObjectPtr ToObject() const;
  const Array& AsArray() const;  // Type mismatch unless an array
  std::shared_ptr<Array> ArrayPtr() const;

  // Name of the held type as the platform spells it ("Empty", "Integer", "String", ...).
  std::string TypeName() const;

  // Same type and same value; objects compare by identity.
  bool operator==(const Variant& other) const;

 private:
  struct NullTag {
    bool operator==(const NullTag&) const = default;
  };
  std::variant<std::monostate, NullTag, bool, int16_t, int32_t, int64_t, double, Currency, Date,
               std::string, ObjectPtr, std::shared_ptr<Array>>
      value_;
};

// Array of variants with one or two dimensions, lower bound 0 in each.
class Array {
 public:
  explicit Array(size_t length) : dims_{length}, elements_(length) {}
  Array(size_t first, size_t second) : dims_{first, second}, elements_(first * second) {}

  size_t Dimensions() const { return dims_.size(); }
  size_t Length(size_t dimension = 0) const { return dims_.at(dimension); }
  Variant& At(size_t i) { return elements_.at(i); }
  const Variant& At(size_t i) const { return elements_.at(i); }
  // Element (i, j) of a two-dimensional array.
  Variant& At(size_t i, size_t j) { return elements_.at(Index(i, j)); }
  const Variant& At(size_t i, size_t j) const { return elements_.at(Index(i, j)); }

 private:
  size_t Index(size_t i, size_t j) const;
  std::vector<size_t> dims_;
  std::vector<Variant> elements_;
};

// Parses a number written by a person: optional blanks, sign, digits, the user's decimal separator
// (or "."), exponent. Returns false when the text is not a number.
bool ParseNumber(std::string_view text, double& out);
// Parses a date and time: ISO forms (2024-05-01, 2024-05-01 13:45[:10], 2024-05-01T13:45:10),
// US forms (5/1/2024 [1:45:10 PM]) and a time alone. Returns false when the text is not a date.
bool ParseDate(std::string_view text, Date& out);
// ISO text of a date: "YYYY-MM-DD", followed by " HH:MM:SS" when it has a time of day.
std::string FormatDate(Date date);
// ISO text with the time always present, the form the catalogue file stores.
std::string FormatDateTime(Date date);
// Text of a double as the platform writes it: up to 15 significant digits, user's decimal
// separator.
std::string FormatDouble(double value);

}  // namespace zel
