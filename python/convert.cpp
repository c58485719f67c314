// Values and errors crossing between the library and Python.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

#include "bindings.h"

// After Python.h, which bindings.h brings in.
#include <datetime.h>

namespace zelpy {
namespace {

// Python objects the conversions need on every call. They are created once and never released:
// releasing them from a static destructor would run after the interpreter has finished.
struct PythonTypes {
  py::object decimal_class;
  py::object decimal_context;  // enough digits for any amount, rounding half to even
  py::object one_ten_thousandth;
  py::object one_second;
};

const PythonTypes& Types() {
  static const PythonTypes* types = [] {
    if (!PyDateTimeAPI) {
      PyDateTime_IMPORT;
      if (!PyDateTimeAPI) throw py::error_already_set();
    }
    py::module_ decimal = py::module_::import("decimal");
    py::module_ datetime = py::module_::import("datetime");
    auto* created = new PythonTypes;
    created->decimal_class = decimal.attr("Decimal");
    created->decimal_context = decimal.attr("Context")(
        py::arg("prec") = 40, py::arg("rounding") = decimal.attr("ROUND_HALF_EVEN"));
    created->one_ten_thousandth = created->decimal_class("0.0001");
    created->one_second = datetime.attr("timedelta")(py::arg("seconds") = 1);
    return created;
  }();
  return *types;
}

struct ErrorClasses {
  py::object error;
  py::object member_error;
  py::object argument_error;
};
ErrorClasses* error_classes = nullptr;

// The serial days of 0001-01-01 and 9999-12-31, the range datetime can hold.
constexpr double kFirstDatetimeSerial = -693593;
constexpr double kLastDatetimeSerial = 2958465;

py::object CurrencyToPython(zel::Currency amount) {
  // From the digits of the scaled integer, so no amount passes through a binary fraction.
  return Types().decimal_class(amount.DecimalText());
}

py::object DateToPython(zel::Date date) {
  if (!std::isfinite(date.serial) || date.serial < kFirstDatetimeSerial - 1 ||
      date.serial > kLastDatetimeSerial + 1) {
    throw py::value_error("date serial " + std::to_string(date.serial) +
                          " is outside the years 1 to 9999");
  }
  int year, month, day, hour, minute, second;
  date.ToParts(year, month, day, hour, minute, second);
  if (year < 1 || year > 9999) {
    throw py::value_error("date serial " + std::to_string(date.serial) +
                          " is outside the years 1 to 9999");
  }
  Types();
  PyObject* result = PyDateTime_FromDateAndTime(year, month, day, hour, minute, second, 0);
  if (!result) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(result);
}

py::object ArrayToPython(const zel::Array& array) {
  if (array.Dimensions() == 1) {
    py::list items(array.Length(0));
    for (size_t i = 0; i < array.Length(0); ++i) items[i] = ToPython(array.At(i));
    return items;
  }
  // Two dimensions come from GetRows: the first is the column, the second the row, and callers
  // index them in that order (rows[column][row]).
  py::list columns(array.Length(0));
  for (size_t i = 0; i < array.Length(0); ++i) {
    py::list column(array.Length(1));
    for (size_t j = 0; j < array.Length(1); ++j) column[j] = ToPython(array.At(i, j));
    columns[i] = std::move(column);
  }
  return columns;
}

zel::Variant IntegerFromPython(py::handle value) {
  int overflow = 0;
  const long long number = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
  if (number == -1 && PyErr_Occurred()) throw py::error_already_set();
  if (overflow == 0) {
    if (number >= std::numeric_limits<int32_t>::min() &&
        number <= std::numeric_limits<int32_t>::max()) {
      return zel::Variant(static_cast<int32_t>(number));
    }
    return zel::Variant(static_cast<int64_t>(number));
  }
  const std::string message = "integer " + py::str(value).cast<std::string>() +
                              " is outside the 64-bit range the library holds";
  PyErr_SetString(PyExc_OverflowError, message.c_str());
  throw py::error_already_set();
}

zel::Variant DecimalFromPython(py::handle value) {
  const PythonTypes& types = Types();
  if (!value.attr("is_finite")().cast<bool>()) {
    throw py::value_error("a Decimal that is not a finite number cannot become a Currency");
  }
  // Amounts end below 10^15; anything larger is refused before rounding, which keeps the
  // rounding context clear of its precision limit.
  if (!value.attr("is_zero")().cast<bool>() && value.attr("adjusted")().cast<long>() > 15) {
    PyErr_SetString(PyExc_OverflowError, "Decimal too large for a Currency");
    throw py::error_already_set();
  }
  py::object rounded =
      value.attr("quantize")(types.one_ten_thousandth, py::arg("context") = types.decimal_context);
  py::object scaled = rounded.attr("scaleb")(4, py::arg("context") = types.decimal_context);
  py::int_ whole(scaled);
  int overflow = 0;
  const long long number = PyLong_AsLongLongAndOverflow(whole.ptr(), &overflow);
  if (number == -1 && PyErr_Occurred()) throw py::error_already_set();
  if (overflow != 0) {
    PyErr_SetString(PyExc_OverflowError, "Decimal too large for a Currency");
    throw py::error_already_set();
  }
  return zel::Variant(zel::Currency{number});
}

zel::Variant DatetimeFromPython(py::handle value) {
  if (!value.attr("tzinfo").is_none()) {
    throw py::value_error(
        "dates with a time zone are not supported; convert to a naive local time first");
  }
  py::object moment = py::reinterpret_borrow<py::object>(value);
  // The library keeps dates to the second; round rather than cut the microseconds.
  if (PyDateTime_DATE_GET_MICROSECOND(value.ptr()) >= 500000) moment = moment + Types().one_second;
  return zel::Variant(zel::Date::FromParts(
      PyDateTime_GET_YEAR(moment.ptr()), PyDateTime_GET_MONTH(moment.ptr()),
      PyDateTime_GET_DAY(moment.ptr()), PyDateTime_DATE_GET_HOUR(moment.ptr()),
      PyDateTime_DATE_GET_MINUTE(moment.ptr()), PyDateTime_DATE_GET_SECOND(moment.ptr())));
}

std::string TextFromPython(py::handle value) {
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(value.ptr(), &size);
  if (data) return std::string(data, static_cast<size_t>(size));
  // Only a lone surrogate keeps a str from being UTF-8; the catalogue keeps texts as UTF-8, so such
  // a text is refused rather than stored as bytes no other program reads as text.
  PyErr_Clear();
  const Py_ssize_t length = PyUnicode_GetLength(value.ptr());
  Py_ssize_t position = 0;
  Py_UCS4 code = 0;
  for (; position < length; ++position) {
    code = PyUnicode_ReadChar(value.ptr(), position);
    if (code >= 0xD800 && code <= 0xDFFF) break;
  }
  char described[64];
  std::snprintf(described, sizeof described, "U+%04X at position %zd", static_cast<unsigned>(code),
                position);
  throw py::value_error(std::string("text holds a lone surrogate (") + described +
                        ") and is not valid Unicode; the catalogue stores only Unicode text");
}

}  // namespace

py::str TextToPython(std::string_view text) {
  PyObject* result =
      PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogateescape");
  if (!result) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(result);
}

py::object ToPython(const zel::Variant& value) {
  switch (value.type()) {
    case zel::VarType::kEmpty:
    case zel::VarType::kNull:
      return py::none();
    case zel::VarType::kBoolean:
      return py::bool_(value.ToBool());
    case zel::VarType::kInteger:
    case zel::VarType::kLong:
      return py::int_(value.ToLong());
    case zel::VarType::kLongLong:
      return py::reinterpret_steal<py::object>(PyLong_FromLongLong(value.ToLongLong()));
    case zel::VarType::kDouble:
      return py::float_(value.ToDouble());
    case zel::VarType::kCurrency:
      return CurrencyToPython(value.ToCurrency());
    case zel::VarType::kDate:
      return DateToPython(value.ToDate());
    case zel::VarType::kString:
      return TextToPython(value.ToText());
    case zel::VarType::kObject: {
      zel::ObjectPtr object = value.ToObject();
      if (!object) return py::none();
      return py::cast(std::move(object));
    }
    case zel::VarType::kArray: {
      std::shared_ptr<zel::Array> array = value.ArrayPtr();
      if (!array) return py::none();
      return ArrayToPython(*array);
    }
  }
  throw std::logic_error("value of unknown type");
}

zel::Variant FromPython(py::handle value) {
  PyObject* raw = value.ptr();
  if (value.is_none()) return {};
  if (PyBool_Check(raw)) return zel::Variant(raw == Py_True);
  if (PyLong_Check(raw)) return IntegerFromPython(value);
  if (PyFloat_Check(raw)) return zel::Variant(PyFloat_AS_DOUBLE(raw));
  if (PyUnicode_Check(raw)) return zel::Variant(TextFromPython(value));
  if (py::isinstance<zel::Object>(value)) return zel::Variant(value.cast<zel::ObjectPtr>());
  const PythonTypes& types = Types();
  if (py::isinstance(value, types.decimal_class)) return DecimalFromPython(value);
  if (PyDateTime_Check(raw)) return DatetimeFromPython(value);
  if (PyDate_Check(raw)) {
    return zel::Variant(zel::Date::FromParts(PyDateTime_GET_YEAR(raw), PyDateTime_GET_MONTH(raw),
                                             PyDateTime_GET_DAY(raw)));
  }
  if (PyList_Check(raw) || PyTuple_Check(raw)) {
    py::sequence items = py::reinterpret_borrow<py::sequence>(value);
    auto array = std::make_shared<zel::Array>(items.size());
    for (size_t i = 0; i < items.size(); ++i) array->At(i) = FromPython(items[i]);
    return zel::Variant(std::move(array));
  }
  throw py::type_error("cannot pass a " + std::string(Py_TYPE(raw)->tp_name) +
                       " to ZelControl; use None, bool, int, float, str, Decimal, datetime, date, "
                       "a list or a ZelControl object");
}

void DefineErrorClasses(py::module_& module) {
  py::dict scope;
  scope["__name__"] = "zelcontrol";
  py::exec(R"py(
class Error(Exception):
    """An error reported by the library, with its number and description."""

    def __init__(self, number, description):
        super().__init__(number, description)
        self.number = number
        self.description = description

    def __str__(self):
        return f"{self.description} (error {self.number})"


class MemberError(Error, AttributeError):
    """Error 438: the object has no member of that name."""


class ArgumentError(Error, TypeError):
    """Errors 449 and 450: the arguments do not fit the member's parameters."""
)py",
           scope);
  error_classes = new ErrorClasses{scope["Error"], scope["MemberError"], scope["ArgumentError"]};
  module.attr("Error") = error_classes->error;
  module.attr("MemberError") = error_classes->member_error;
  module.attr("ArgumentError") = error_classes->argument_error;
}

void SetPythonError(const zel::Error& error) {
  try {
    const py::object* cls = &error_classes->error;
    if (error.number() == zel::errc::kUnknownMember) {
      cls = &error_classes->member_error;
    } else if (error.number() == zel::errc::kArgumentNotOptional ||
               error.number() == zel::errc::kWrongArguments) {
      cls = &error_classes->argument_error;
    }
    py::object instance = (*cls)(error.number(), TextToPython(error.description()));
    PyErr_SetObject(cls->ptr(), instance.ptr());
  } catch (py::error_already_set& failure) {
    failure.restore();
  }
}

void ThrowLibraryError(int32_t number, const std::string& description) {
  SetPythonError(zel::Error(number, description));
  throw py::error_already_set();
}

}  // namespace zelpy
