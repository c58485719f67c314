// Reading the cells of a catalogue row as the pages need them, whatever the file holds: SQLite
// keeps any value in any column, and another program may have written text into a year, a price
// or a date. A cell that does not read as what its column means reads as "not given" (no year, no
// price, no date), never as an error, so one odd cell changes what is shown of one title and
// nothing else.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "frame/variant.h"
#include "store/plain_database.h"

namespace zel::web {

// A whole number: an integer, a real without a fraction or a text holding one; nullopt otherwise
// (null, words, fractions, numbers beyond 64 bits).
std::optional<int64_t> WholeNumberAt(const store::PlainStatement& row, int column);
// A number: an integer, a real or a text holding one; nullopt otherwise.
std::optional<double> NumberAt(const store::PlainStatement& row, int column);
// A whole number from `low` to `high`, or 0.
int64_t BoundedAt(const store::PlainStatement& row, int column, int64_t low, int64_t high);
// A year from 1 to 9999, or 0 for none.
inline int64_t YearAt(const store::PlainStatement& row, int column) {
  return BoundedAt(row, column, 1, 9999);
}
// A date or date and time in any form ParseDate reads; Date::Zero() for none.
Date DateAt(const store::PlainStatement& row, int column);
// A yes/no cell: a non-zero number or the texts true, yes, -1 and 1 (letter case aside).
bool FlagAt(const store::PlainStatement& row, int column);
// An amount in the catalogue's fixed point (ten-thousandths), or nullopt.
std::optional<int64_t> UnitsAt(const store::PlainStatement& row, int column);

}  // namespace zel::web
