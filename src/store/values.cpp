// Conversion of written values to the stored form of their column, and of stored values back to
// typed values, as the original engine did them.
#include <cfenv>
#include <charconv>
#include <cmath>
#include <limits>

#include "frame/error.h"
#include "frame/text.h"
#include "store/engine_errors.h"
#include "store/engine_internal.h"

namespace zel::store {
namespace {

std::string ColumnName(const TableDef* table, const ColumnDef& column) {
  return table ? table->name + "." + column.name : column.name;
}

[[noreturn]] void Mismatch(const TableDef* table, const ColumnDef& column, std::string_view value) {
  Raise(engine_errc::kDataTypeMismatch, "Data type mismatch: '" + std::string(value) +
                                            "' is not a valid value for column " +
                                            ColumnName(table, column) + ".");
}

// Parses a number; overflow of the double range counts as not a number of the column.
bool Number(std::string_view text, double& out) {
  try {
    return ParseNumber(text, out);
  } catch (const Error&) {
    return false;
  }
}

// A number for an integer column: whole numbers of 64 bits, the range the file's integers have
// (written digit for digit when `written` is one), others rounded half to even.
SqlValue ToLongValue(const TableDef* table, const ColumnDef& column, double number,
                     std::string_view written) {
  int64_t whole = 0;
  const std::string digits = Trim(written);
  const char* end = digits.data() + digits.size();
  const auto [ptr, error] = std::from_chars(digits.data(), end, whole);
  if (!digits.empty() && error == std::errc() && ptr == end) return SqlValue::Integer(whole);
  const double rounded = std::nearbyint(number);  // the default rounding mode: half to even
  if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0)) {
    Raise(engine_errc::kNumericOverflow, "Numeric overflow: '" + std::string(written) +
                                             "' is outside the range of column " +
                                             ColumnName(table, column) + ".");
  }
  return SqlValue::Integer(static_cast<int64_t>(rounded));
}

std::string DateText(double serial) { return FormatDateTime(Date{serial}); }

// A text converted to the column's stored form.
SqlValue FromText(const TableDef* table, const ColumnDef& column, const std::string& text) {
  if (column.type == ColumnType::kText || column.type == ColumnType::kMemo) {
    return SqlValue::Text(text);
  }
  if (Trim(text).empty()) return SqlValue{};
  double number = 0;
  switch (column.type) {
    case ColumnType::kLong:
      if (!Number(text, number)) Mismatch(table, column, text);
      return ToLongValue(table, column, number, text);
    case ColumnType::kDouble:
      if (!Number(text, number)) Mismatch(table, column, text);
      return SqlValue::Real(number);
    case ColumnType::kBoolean: {
      const std::string word = ToLower(Trim(text));
      if (word == "true" || word == "yes" || word == "on") return SqlValue::Integer(1);
      if (word == "false" || word == "no" || word == "off") return SqlValue::Integer(0);
      if (!Number(text, number)) Mismatch(table, column, text);
      return SqlValue::Integer(number != 0 ? 1 : 0);
    }
    case ColumnType::kDate: {
      Date date;
      if (ParseDate(text, date)) return SqlValue::Text(FormatDateTime(date));
      if (!Number(text, number)) Mismatch(table, column, text);
      return SqlValue::Text(DateText(number));
    }
    default:
      return SqlValue::Text(text);
  }
}

size_t CharacterCount(std::string_view text) {
  size_t count = 0;
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

}  // namespace

SqlValue ConvertLiteral(const Literal& literal, std::string&& text) {
  if (literal.column) {
    if (literal.kind == Literal::Kind::kNumber && literal.column->type != ColumnType::kText &&
        literal.column->type != ColumnType::kMemo) {
      // Numbers of the statement are written with a point whatever the user's separator.
      const double number = std::strtod(text.c_str(), nullptr);
      switch (literal.column->type) {
        case ColumnType::kLong:
          return ToLongValue(literal.table, *literal.column, number, text);
        case ColumnType::kBoolean:
          return SqlValue::Integer(number != 0 ? 1 : 0);
        case ColumnType::kDate:
          return SqlValue::Text(DateText(number));
        default:
          return SqlValue::Real(number);
      }
    }
    if (literal.column->type == ColumnType::kText || literal.column->type == ColumnType::kMemo) {
      return SqlValue::Text(std::move(text));
    }
    return FromText(literal.table, *literal.column, text);
  }
  if (literal.kind == Literal::Kind::kNumber) {
    const bool integral = text.find_first_of(".eE") == std::string::npos;
    if (integral) {
      errno = 0;
      const long long value = std::strtoll(text.c_str(), nullptr, 10);
      if (errno == 0) return SqlValue::Integer(value);
    }
    return SqlValue::Real(std::strtod(text.c_str(), nullptr));
  }
  return SqlValue::Text(std::move(text));
}

SqlValue ConvertVariant(const TableDef& table, const ColumnDef& column, const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      return SqlValue{};
    case VarType::kString:
      return FromText(&table, column, value.ToText());
    case VarType::kObject:
    case VarType::kArray:
      Mismatch(&table, column, value.TypeName());
    default:
      break;
  }
  // Booleans, numbers and dates.
  if (column.type == ColumnType::kText || column.type == ColumnType::kMemo) {
    if (value.type() == VarType::kDate) return SqlValue::Text(FormatDate(value.ToDate()));
    return SqlValue::Text(value.ToText());
  }
  const double number = value.type() == VarType::kDate ? value.ToDate().serial : value.ToDouble();
  switch (column.type) {
    case ColumnType::kLong:
      if (value.type() == VarType::kLongLong) return SqlValue::Integer(value.ToLongLong());
      return ToLongValue(&table, column, number, value.ToText());
    case ColumnType::kBoolean:
      return SqlValue::Integer(number != 0 ? 1 : 0);
    case ColumnType::kDate:
      return SqlValue::Text(DateText(number));
    default:
      return SqlValue::Real(number);
  }
}

void CheckLength(const TableDef& table, const ColumnDef& column, const SqlValue& value) {
  if (value.kind == SqlValue::Kind::kText) CheckTextLength(table, column, value.text);
}

void CheckTextLength(const TableDef& table, const ColumnDef& column, std::string_view text) {
  if (column.type != ColumnType::kText || column.max_length <= 0) return;
  // A text of no more bytes than the column's characters fits, whatever its characters.
  if (text.size() <= static_cast<size_t>(column.max_length)) return;
  const size_t length = CharacterCount(text);
  if (length > static_cast<size_t>(column.max_length)) {
    Raise(engine_errc::kValueTooLong,
          "The field " + table.name + "." + column.name +
              " is too small to accept the amount of data you attempted to add: " +
              std::to_string(length) + " characters, at most " + std::to_string(column.max_length) +
              ".");
  }
}

Variant ReadValue(sqlite3_stmt* statement, int column, const std::optional<ColumnType>& declared) {
  const int storage = sqlite3_column_type(statement, column);
  if (storage == SQLITE_NULL) return Variant::Null();
  auto text = [&] {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return std::string(bytes ? bytes : "",
                       static_cast<size_t>(sqlite3_column_bytes(statement, column)));
  };
  auto by_storage = [&]() -> Variant {
    switch (storage) {
      case SQLITE_INTEGER: {
        const int64_t value = sqlite3_column_int64(statement, column);
        if (value >= std::numeric_limits<int32_t>::min() &&
            value <= std::numeric_limits<int32_t>::max()) {
          return Variant(static_cast<int32_t>(value));
        }
        return Variant(value);
      }
      case SQLITE_FLOAT:
        return Variant(sqlite3_column_double(statement, column));
      default:
        return Variant(text());
    }
  };
  if (!declared) return by_storage();
  switch (*declared) {
    case ColumnType::kBoolean:
      if (storage == SQLITE_TEXT) {
        const std::string word = ToLower(Trim(text()));
        if (word == "true" || word == "yes" || word == "on") return Variant(true);
        if (word == "false" || word == "no" || word == "off" || word.empty()) return Variant(false);
      }
      return Variant(sqlite3_column_double(statement, column) != 0);
    case ColumnType::kDate: {
      if (storage == SQLITE_TEXT) {
        Date date;
        if (ParseDate(text(), date)) return Variant(date);
        return Variant(text());
      }
      return Variant(Date{sqlite3_column_double(statement, column)});
    }
    case ColumnType::kLong:
    case ColumnType::kDouble: {
      if (storage == SQLITE_TEXT) return Variant(text());
      if (*declared == ColumnType::kDouble) {
        return Variant(sqlite3_column_double(statement, column));
      }
      return by_storage();
    }
    default:
      return Variant(text());
  }
}

}  // namespace zel::store
