#include "web/cells.h"

#include <cmath>

#include "frame/text.h"

namespace zel::web {

std::optional<double> NumberAt(const store::PlainStatement& row, int column) {
  switch (sqlite3_column_type(row.get(), column)) {
    case SQLITE_INTEGER:
      return static_cast<double>(row.Int(column));
    case SQLITE_FLOAT: {
      const double value = row.Real(column);
      return std::isfinite(value) ? std::optional(value) : std::nullopt;
    }
    case SQLITE_TEXT: {
      double value = 0;
      if (ParseNumber(row.Text(column), value) && std::isfinite(value)) return value;
      return std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

std::optional<int64_t> WholeNumberAt(const store::PlainStatement& row, int column) {
  if (sqlite3_column_type(row.get(), column) == SQLITE_INTEGER) return row.Int(column);
  const std::optional<double> value = NumberAt(row, column);
  // Beyond 2^62 a double no longer tells whole numbers apart; such a cell is nothing sensible.
  if (!value || *value != std::floor(*value) || std::fabs(*value) > 4.6e18) return std::nullopt;
  return static_cast<int64_t>(*value);
}

int64_t BoundedAt(const store::PlainStatement& row, int column, int64_t low, int64_t high) {
  const std::optional<int64_t> value = WholeNumberAt(row, column);
  return value && *value >= low && *value <= high ? *value : 0;
}

Date DateAt(const store::PlainStatement& row, int column) {
  if (sqlite3_column_type(row.get(), column) != SQLITE_TEXT) return Date::Zero();
  Date date;
  return ParseDate(row.Text(column), date) ? date : Date::Zero();
}

bool FlagAt(const store::PlainStatement& row, int column) {
  switch (sqlite3_column_type(row.get(), column)) {
    case SQLITE_INTEGER:
      return row.Int(column) != 0;
    case SQLITE_FLOAT:
      return row.Real(column) != 0;
    case SQLITE_TEXT: {
      const std::string text = ToLower(Trim(row.Text(column)));
      return text == "true" || text == "yes" || text == "-1" || text == "1";
    }
    default:
      return false;
  }
}

std::optional<int64_t> UnitsAt(const store::PlainStatement& row, int column) {
  const std::optional<double> value = NumberAt(row, column);
  if (!value || std::fabs(*value) > 9e14) return std::nullopt;
  return std::llround(*value * 10000.0);
}

}  // namespace zel::web
