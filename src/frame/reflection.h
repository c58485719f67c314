// Property reflection: GetPropertyList, ReadProperty and WriteProperty, answered from member
// tables.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "frame/object.h"

namespace zel {

// Names of the readable properties of the object's interface, in interface order (methods are not
// listed); an object without readable properties gives an empty array.
std::shared_ptr<Array> GetPropertyList(const Object& object);

// Reads a property by name. The plain form lets every failure reach the caller. The tolerant form
// (classes with object-valued properties) ignores every failure, so an unknown name gives Empty,
// and returns the object when the property holds one.
Variant ReadProperty(Object& object, std::string_view property_name);

// Assigns a value to a property by name (a property let). An unknown name, a read-only property, an
// object-valued property or a value of the wrong type fails with the platform's error for that
// case.
void WriteProperty(Object& object, std::string_view property_name, const Variant& value);

// The three reflection members, for the head of a member table.
std::vector<Member> ReflectionMembers();

}  // namespace zel
