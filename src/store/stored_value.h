// Values as the catalogue file holds them, and their exact reading into properties and back.
//
// A StoredValue is what SQLite keeps in one cell: Null, a 64-bit integer, a double or a text. It is
// kept exactly as read, so that a save can tell whether a row still holds what it was read as.
//
// Reading (ReadColumn) never fails: a cell reads as the value of its column's property type, and a
// cell the property cannot hold (Null, a text in a number column, a date text that is no date)
// reads as that type's empty value ("", 0, false, the zero date). Such a cell stays in the file
// until the property is changed, since saves write only what changed. Amounts keep four decimals:
// a stored double reads as the nearest amount with four decimals, and only an amount that comes
// back the same from the stored double can be set (RequireStorableAmount).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "frame/variant.h"

namespace zel::store {

struct ColumnLayout;

struct StoredValue {
  enum class Kind { kNull, kInteger, kReal, kText };
  Kind kind = Kind::kNull;
  int64_t integer = 0;
  double real = 0;
  std::string text;

  static StoredValue Integer(int64_t value) { return {Kind::kInteger, value, 0, {}}; }
  static StoredValue Real(double value) { return {Kind::kReal, 0, value, {}}; }
  static StoredValue Text(std::string value) { return {Kind::kText, 0, 0, std::move(value)}; }
  bool IsNull() const { return kind == Kind::kNull; }
  // Same kind and same value, texts compared byte by byte.
  bool operator==(const StoredValue& other) const;
  // The value as a text for messages ("NULL" for Null).
  std::string Describe() const;
};

// The cell read into the property type of `column` (see the file comment). Null reads as
// `null_value` when that is not Empty (a property whose missing value means something else).
Variant ReadColumn(const ColumnLayout& column, const StoredValue& value,
                   const Variant& null_value = {});
// The stored form of a property value for `column` in a file of schema `schema`. Yes/no columns of
// files before schema::kFlagsAsYesNo take their old text form. A value that does not convert to the
// column's type raises the engine's kDataTypeMismatch, naming the column.
StoredValue WriteColumn(const ColumnLayout& column, const Variant& value, int16_t schema);

// The nearest amount with four decimals to a stored double, exactly (no intermediate rounding);
// beyond the range of Currency the nearest end of it.
Currency AmountOfStored(double stored);
// The double an amount is stored as: the nearest one to its decimal value.
double StoredOfAmount(Currency amount);
// Raises kOverflow, naming `what`, for an amount that would not read back the same from the
// double it is stored as (beyond about 4e11 not every amount with four decimals has its double).
void RequireStorableAmount(Currency amount, std::string_view what);

}  // namespace zel::store
