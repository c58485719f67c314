// The Python face of library objects, built from the member tables alone: no class is bound by
// hand, so a class added to the catalogue is usable from Python without touching this file.
#include <pybind11/stl.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bindings.h"
#include "catalogue/catalog.h"
#include "frame/class_docs.h"
#include "frame/collection.h"
#include "frame/text.h"

namespace zelpy {
namespace {

using zel::ObjectPtr;

// A member taken from an object by attribute access, waiting for its arguments.
struct BoundMember {
  ObjectPtr object;
  const zel::Member* member;  // lives in the class's static table
};

// What a for loop over a library object walks.
struct ItemIterator {
  std::shared_ptr<zel::Enumerator> enumerator;
};

// The module attribute of one public class: calling it creates an object.
struct ClassFactory {
  const zel::ClassInfo* info;
};

// The scripting-safety pair every object answers, which lives outside the member tables.
constexpr const char* kGetSafety = "GetInterfaceSafetyOptions";
constexpr const char* kSetSafety = "SetInterfaceSafetyOptions";

bool NeedsArguments(const zel::Member& member) {
  for (const zel::Parameter& param : member.params) {
    if (!param.optional) return true;
  }
  return false;
}

[[noreturn]] void ThrowUnknownMember(const zel::Object& object, const std::string& name) {
  ThrowLibraryError(zel::errc::kUnknownMember, "Object doesn't support this property or method: " +
                                                   object.Class().name() + "." + name);
}

py::object Call(zel::Object& object, const zel::Member& member, const py::args& args,
                const py::kwargs& kwargs) {
  zel::Args positional;
  positional.reserve(args.size());
  for (py::handle arg : args) positional.push_back(FromPython(arg));
  std::vector<zel::NamedArg> named;
  for (auto [name, value] : kwargs) {
    named.push_back(zel::NamedArg{name.cast<std::string>(), FromPython(value)});
  }
  return ToPython(zel::InvokeMember(object, member, zel::CallKind::kCall, std::move(positional),
                                    std::move(named)));
}

const zel::Member& DefaultMember(const zel::Object& object, const char* use) {
  const zel::Member* member = object.Class().DefaultMember();
  if (!member) throw py::type_error("'" + object.Class().name() + "' object is not " + use);
  return *member;
}

py::object SafetyMember(const ObjectPtr& object, const std::string& name) {
  if (zel::EqualsIgnoreCase(name, kGetSafety)) {
    return py::cpp_function(
        [object](const py::object& interface_id) {
          const zel::InterfaceSafety safety = object->GetInterfaceSafetyOptions(
              interface_id.is_none() ? std::string() : py::str(interface_id).cast<std::string>());
          return py::make_tuple(safety.supported, safety.enabled);
        },
        py::name(kGetSafety), py::arg("iid") = py::none(),
        "(supported, enabled) scripting-safety options; the interface asked about is ignored.");
  }
  if (zel::EqualsIgnoreCase(name, kSetSafety)) {
    return py::cpp_function(
        [object](const py::args&, const py::kwargs&) {
          object->SetInterfaceSafetyOptions({}, 0, 0);
        },
        py::name(kSetSafety), "Accepts any request and stores nothing.");
  }
  return py::object();
}

py::object GetAttribute(const ObjectPtr& self, const std::string& name) {
  const zel::Member* member = self->Class().Find(name);
  if (!member) {
    if (py::object safety = SafetyMember(self, name)) return safety;
    ThrowUnknownMember(*self, name);
  }
  if (member->kind == zel::MemberKind::kProperty && !NeedsArguments(*member)) {
    return ToPython(zel::InvokeMember(*self, *member, zel::CallKind::kGet, {}));
  }
  return py::cast(BoundMember{self, member});
}

void SetAttribute(const ObjectPtr& self, const std::string& name, const py::handle& value) {
  const zel::Member* member = self->Class().Find(name);
  if (!member) ThrowUnknownMember(*self, name);
  if (member->kind != zel::MemberKind::kProperty || (!member->let && !member->set)) {
    throw py::attribute_error(
        self->Class().name() + "." + member->name +
        (member->kind == zel::MemberKind::kProperty ? " is read-only" : " is a method"));
  }
  zel::Variant converted = FromPython(value);
  zel::CallKind kind = converted.IsObject() ? zel::CallKind::kSet : zel::CallKind::kLet;
  // None given to a property that only holds objects clears the reference.
  if (converted.IsEmpty() && member->set && !member->let) {
    converted = zel::Variant(ObjectPtr());
    kind = zel::CallKind::kSet;
  }
  zel::InvokeMember(*self, *member, kind, {std::move(converted)});
}

// What dir() lists for an object of the class, and for the class itself.
py::list MemberNames(const zel::ClassInfo& info) {
  py::list names;
  for (const zel::Member& member : info.members()) names.append(member.name);
  names.append(kGetSafety);
  names.append(kSetSafety);
  names.append("class_name");
  return names;
}

ItemIterator Iterate(const ObjectPtr& self) {
  // An enumerator taken out by hand (obj.NewEnum) walks on from where it stands.
  if (auto enumerator = std::dynamic_pointer_cast<zel::Enumerator>(self)) return {enumerator};
  const zel::Member* member = self->Class().EnumeratorMember();
  if (!member) throw py::type_error("'" + self->Class().name() + "' object is not iterable");
  const zel::Variant result = zel::InvokeMember(*self, *member, zel::CallKind::kGet, {});
  auto enumerator = std::dynamic_pointer_cast<zel::Enumerator>(result.ToObject());
  if (!enumerator) {
    throw std::logic_error(self->Class().name() + "." + member->name +
                           " did not return an enumerator");
  }
  return ItemIterator{std::move(enumerator)};
}

std::string Repr(const zel::Object& object) {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(&object));
  return "<zelcontrol." + object.Class().name() + " object at " + address + ">";
}

void BindObjectType(py::module_& module) {
  py::class_<zel::Object, ObjectPtr>(module, "Object",
                                     "A ZelControl object. Members are reached by name, ignoring "
                                     "case, as the object's class declares them.")
      .def("__getattr__", &GetAttribute)
      .def("__setattr__", &SetAttribute)
      .def("__dir__", [](const zel::Object& self) { return MemberNames(self.Class()); })
      .def_property_readonly("class_name",
                             [](const zel::Object& self) { return self.Class().name(); })
      .def_property_readonly("__doc__",
                             [](const zel::Object& self) { return zel::ClassHelp(self.Class()); })
      .def("__call__",
           [](zel::Object& self, const py::args& args, const py::kwargs& kwargs) {
             return Call(self, DefaultMember(self, "callable"), args, kwargs);
           })
      .def("__getitem__",
           [](zel::Object& self, const py::object& index) {
             py::tuple args =
                 py::isinstance<py::tuple>(index) ? py::tuple(index) : py::make_tuple(index);
             return Call(self, DefaultMember(self, "subscriptable"), py::args(args), py::kwargs());
           })
      .def("__len__",
           [](zel::Object& self) {
             const zel::Member* count = self.Class().Find("Count");
             if (!count || count->kind != zel::MemberKind::kProperty) {
               throw py::type_error("object of type '" + self.Class().name() + "' has no len()");
             }
             const int32_t length =
                 zel::InvokeMember(self, *count, zel::CallKind::kGet, {}).ToLong();
             if (length < 0) throw std::logic_error(self.Class().name() + ".Count is negative");
             return length;
           })
      .def("__iter__", &Iterate)
      // An object is true whatever it holds: None, not an empty collection, stands for nothing.
      .def("__bool__", [](const zel::Object&) { return true; })
      .def("__eq__",
           [](const zel::Object& self, const py::object& other) -> py::object {
             if (!py::isinstance<zel::Object>(other)) {
               return py::reinterpret_borrow<py::object>(Py_NotImplemented);
             }
             return py::bool_(&self == &other.cast<const zel::Object&>());
           })
      .def("__ne__",
           [](const zel::Object& self, const py::object& other) -> py::object {
             if (!py::isinstance<zel::Object>(other)) {
               return py::reinterpret_borrow<py::object>(Py_NotImplemented);
             }
             return py::bool_(&self != &other.cast<const zel::Object&>());
           })
      .def("__hash__", [](const zel::Object& self) { return std::hash<const void*>()(&self); })
      .def("__repr__", [](const zel::Object& self) { return Repr(self); });
}

void BindHelperTypes(py::module_& module) {
  py::class_<BoundMember>(module, "_BoundMember")
      .def("__call__",
           [](const BoundMember& self, const py::args& args, const py::kwargs& kwargs) {
             return Call(*self.object, *self.member, args, kwargs);
           })
      .def_property_readonly("name", [](const BoundMember& self) { return self.member->name; })
      .def_property_readonly("__doc__",
                             [](const BoundMember& self) {
                               return zel::MemberSignature(*self.member) + "  -- " +
                                      zel::MemberKind(*self.member);
                             })
      .def_property_readonly("__self__", [](const BoundMember& self) { return self.object; })
      .def("__repr__", [](const BoundMember& self) {
        return "<bound member " + self.object->Class().name() + "." +
               zel::MemberSignature(*self.member) + ">";
      });

  py::class_<ItemIterator>(module, "_Iterator")
      .def("__iter__", [](py::object self) { return self; })
      .def("__next__", [](ItemIterator& self) {
        zel::Variant item;
        if (!self.enumerator->Next(item)) throw py::stop_iteration();
        return ToPython(item);
      });

  py::class_<ClassFactory>(module, "_Class")
      .def("__call__",
           [](const ClassFactory& self) {
             ObjectPtr object = self.info->Create();
             if (!object) {
               throw py::type_error(self.info->name() +
                                    " objects cannot be created; they are obtained from other "
                                    "objects");
             }
             return object;
           })
      .def_property_readonly("name", [](const ClassFactory& self) { return self.info->name(); })
      .def_property_readonly("creatable",
                             [](const ClassFactory& self) { return self.info->creatable(); })
      // help() and dir() of a class show what its objects have.
      .def_property_readonly("__doc__",
                             [](const ClassFactory& self) { return zel::ClassHelp(*self.info); })
      .def("__dir__", [](const ClassFactory& self) { return MemberNames(*self.info); })
      .def("__instancecheck__",
           [](const ClassFactory& self, const py::object& candidate) {
             return py::isinstance<zel::Object>(candidate) &&
                    &candidate.cast<const zel::Object&>().Class() == self.info;
           })
      .def("__repr__",
           [](const ClassFactory& self) { return "<zelcontrol class " + self.info->name() + ">"; });
}

}  // namespace

void BindObjects(py::module_& module) {
  BindObjectType(module);
  BindHelperTypes(module);
  py::list exported;
  for (const zel::ClassInfo* info : zel::PublicClasses()) {
    if (py::hasattr(module, info->name().c_str())) {
      throw std::logic_error("public class " + info->name() + " hides a module attribute");
    }
    module.attr(info->name().c_str()) = ClassFactory{info};
    exported.append(info->name());
  }
  module.attr("_public_classes") = exported;
}

}  // namespace zelpy
