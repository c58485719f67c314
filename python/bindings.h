// Internal interface of the zelcontrol module: how values and failures cross between the library
// and Python, and how the object wrapper types are registered. Every function here runs with the
// GIL held.
#pragma once

#include <pybind11/eval.h>
#include <pybind11/pybind11.h>

#include <string>
#include <string_view>

#include "frame/error.h"
#include "frame/object.h"
#include "frame/variant.h"

namespace zelpy {

namespace py = pybind11;

// A library value as a Python object (see the module documentation for the mapping).
py::object ToPython(const zel::Variant& value);

// A Python object as a library value. Raises TypeError for objects the library cannot hold,
// OverflowError for numbers beyond 64 bits and decimals beyond a Currency, ValueError for
// non-finite decimals and for texts with a lone surrogate.
zel::Variant FromPython(py::handle value);

// A library text as a Python str. Texts are UTF-8; bytes that are not (written by another program)
// become lone surrogates (surrogateescape), so reading never fails. A str holding a lone surrogate
// is not Unicode text and is refused on its way into the library (ValueError).
py::str TextToPython(std::string_view text);

// Creates zelcontrol.Error and its two subclasses in `module` (once, at import).
void DefineErrorClasses(py::module_& module);

// Sets the Python error matching a library error: zelcontrol.Error, or its subclass that is also an
// AttributeError (438: no such member) or a TypeError (449, 450: arguments that do not bind).
void SetPythonError(const zel::Error& error);

// Sets the Python error for `number` and `description` and throws so pybind11 reports it.
[[noreturn]] void ThrowLibraryError(int32_t number, const std::string& description);

// Registers the object wrapper, bound members, iterators and class factories, and one module
// attribute per public class.
void BindObjects(py::module_& module);

}  // namespace zelpy
