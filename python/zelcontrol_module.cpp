// The zelcontrol module: every public class of the library, its objects driven by member name.
#include <new>
#include <stdexcept>
#include <string>

#include "bindings.h"
#include "catalogue/catalog.h"
#include "frame/message.h"

namespace zelpy {
namespace {

const char* IconName(zel::MessageIcon icon) {
  switch (icon) {
    case zel::MessageIcon::kWarning:
      return "warning";
    case zel::MessageIcon::kError:
      return "error";
    case zel::MessageIcon::kInformation:
      break;
  }
  return "information";
}

zel::MessageIcon IconFromName(const std::string& name) {
  if (name == "information") return zel::MessageIcon::kInformation;
  if (name == "warning") return zel::MessageIcon::kWarning;
  if (name == "error") return zel::MessageIcon::kError;
  throw py::value_error("icon must be 'information', 'warning' or 'error', not '" + name + "'");
}

// The Python handlers, one per thread like the library's own handler, keyed by thread identifier.
// The registry holds the strong reference; the library's handler keeps only the pointer, so nothing
// has to release a Python object from a thread-exit or program-exit destructor.
py::dict& Handlers() {
  static py::dict* handlers = new py::dict();
  return *handlers;
}

void CallHandler(PyObject* callable, zel::MessageIcon icon, std::string_view title,
                 std::string_view text) {
  py::gil_scoped_acquire gil;
  try {
    py::reinterpret_borrow<py::object>(callable)(IconName(icon), TextToPython(title),
                                                 TextToPython(text));
  } catch (py::error_already_set& failure) {
    // The library is in the middle of an operation that a failing handler must not break.
    failure.discard_as_unraisable("zelcontrol message handler");
  }
}

py::object InstallMessageHandler(const py::object& handler) {
  if (!handler.is_none() && !PyCallable_Check(handler.ptr())) {
    throw py::type_error("the message handler must be callable or None");
  }
  py::dict& handlers = Handlers();
  py::object thread = py::module_::import("threading").attr("get_ident")();
  py::object previous = py::none();
  if (handlers.contains(thread)) previous = handlers[thread];
  if (handler.is_none()) {
    zel::SetMessageHandler({});
    if (handlers.contains(thread)) PyDict_DelItem(handlers.ptr(), thread.ptr());
  } else {
    handlers[thread] = handler;
    PyObject* callable = handler.ptr();
    zel::SetMessageHandler(
        [callable](zel::MessageIcon icon, std::string_view title, std::string_view text) {
          CallHandler(callable, icon, title, text);
        });
  }
  return previous;
}

void TranslateException(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const zel::Error& error) {
    SetPythonError(error);
  } catch (const py::builtin_exception&) {
    throw;  // pybind11's own translation knows these
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& error) {
    PyErr_SetString(PyExc_RuntimeError, error.what());
  }
}

}  // namespace
}  // namespace zelpy

PYBIND11_MODULE(zelcontrol, module) {
  namespace py = pybind11;
  module.doc() =
      "ZelControl: the disc catalogue library. Each public class is a module attribute; calling it "
      "creates an object (zelcontrol.Collection()). Members are reached by name, ignoring case; "
      "properties read and assign as attributes, methods take positional and keyword arguments by "
      "parameter name. Library errors raise zelcontrol.Error with .number and .description. "
      "zelcontrol.classes() names the classes; help(zelcontrol.ZelProfile) lists a class's "
      "members with their parameters.";
  module.attr("__version__") = ZEL_VERSION_TEXT;

  zelpy::DefineErrorClasses(module);
  py::register_local_exception_translator(&zelpy::TranslateException);
  zelpy::BindObjects(module);

  module.def("set_message_handler", &zelpy::InstallMessageHandler, py::arg("handler"),
             "Sends the library's messages for a person to handler(icon, title, text) on this "
             "thread, icon being 'information', 'warning' or 'error'. None restores the default, "
             "a line on standard error. Returns the handler it replaces. Exceptions raised by the "
             "handler are reported as unraisable and do not stop the library's operation.");
  module.def(
      "_show_message",
      [](const std::string& icon, const std::string& title, const std::string& text) {
        zel::ShowMessage(zelpy::IconFromName(icon), title, text);
      },
      py::arg("icon"), py::arg("title"), py::arg("text"),
      "Shows a message as the library does, through the installed handler (for checking a "
      "handler).");

  module.def(
      "classes",
      [] {
        py::list names;
        for (const zel::ClassInfo* info : zel::PublicClasses()) names.append(info->name());
        return names;
      },
      "The names of the public classes; each is a module attribute, and help() of it lists its "
      "members with their parameters.");

  py::list names = module.attr("_public_classes");
  for (const char* name :
       {"Error", "MemberError", "ArgumentError", "Object", "set_message_handler", "classes"}) {
    names.append(name);
  }
  module.attr("__all__") = names;
}
