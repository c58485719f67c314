// The object runtime: reference-counted objects whose members are described by one table per class.
//
// Every scriptable class derives from Object and returns its ClassInfo from Class(). The
// ClassInfo's member table (name, kind, parameters with defaults, in interface order) is the single
// description of the class: late-bound calls (Invoke), property reflection, the Python module and
// the command line all read it, so no member list is written twice. Objects are owned through
// std::shared_ptr; an object ends with its last reference. Objects are used on the thread that
// created them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "frame/variant.h"

namespace zel {

class ClassInfo;

// Answer of the scripting-safety query: 1 = safe for untrusted callers, 2 = safe for untrusted
// data.
struct InterfaceSafety {
  uint32_t supported = 3;
  uint32_t enabled = 3;
};

class Object : public std::enable_shared_from_this<Object> {
 public:
  virtual ~Object() = default;
  virtual const ClassInfo& Class() const = 0;

  // Every class is safe for scripting, whatever interface is asked about.
  InterfaceSafety GetInterfaceSafetyOptions(std::string_view interface_id) const;
  // Accepts any request and stores nothing.
  void SetInterfaceSafetyOptions(std::string_view interface_id, uint32_t option_mask,
                                 uint32_t enabled_options);
};

enum class MemberKind : uint8_t { kProperty, kMethod };

struct Parameter {
  std::string name;
  bool optional = false;
  // Value used when an optional argument is not given; Empty stands for "missing".
  Variant default_value;
};

using Args = std::vector<Variant>;

struct Member {
  std::string name;
  MemberKind kind = MemberKind::kMethod;
  std::vector<Parameter> params;
  // Property get, or the method itself. Receives every declared parameter, defaults filled in.
  std::function<Variant(Object&, const Args&)> get;
  // Property let (a value); empty when the property cannot be assigned a value.
  std::function<void(Object&, const Variant&)> let;
  // Property set (an object reference); empty when the property holds no object.
  std::function<void(Object&, const Variant&)> set;
  bool is_default = false;     // the member a script reaches by calling the object (Item)
  bool is_enumerator = false;  // the member a for-each loop asks for (NewEnum)

  bool IsReadableProperty() const { return kind == MemberKind::kProperty && get != nullptr; }
};

// How a class answers ReadProperty (see reflection.h).
enum class Reflection : uint8_t { kNone, kPlain, kTolerant };

class ClassInfo {
 public:
  ClassInfo(std::string name, std::vector<Member> members, Reflection reflection,
            std::function<ObjectPtr()> factory);

  const std::string& name() const { return name_; }
  const std::vector<Member>& members() const { return members_; }
  Reflection reflection() const { return reflection_; }
  bool creatable() const { return factory_ != nullptr; }
  // A new object of the class; nullptr when callers may not create it.
  ObjectPtr Create() const { return factory_ ? factory_() : nullptr; }

  // The member of that name, compared without regard to case; nullptr when there is none.
  const Member* Find(std::string_view name) const;
  const Member* DefaultMember() const;
  const Member* EnumeratorMember() const;

 private:
  std::string name_;
  std::vector<Member> members_;
  Reflection reflection_;
  std::function<ObjectPtr()> factory_;
  std::unordered_map<std::string, size_t> by_lower_name_;
};

enum class CallKind : uint8_t { kGet, kLet, kSet, kCall };

struct NamedArg {
  std::string name;
  Variant value;
};

// Late-bound use of a member by name (case-insensitive). kGet reads a property or calls a method;
// kCall calls a method or reads a property with arguments; kLet and kSet assign the last argument.
// Unknown member: error 438. Missing required argument: 449. Too many or unknown named
// arguments, or an assignment the member does not take: 450.
Variant Invoke(Object& object, std::string_view member_name, CallKind kind, Args positional = {},
               std::vector<NamedArg> named = {});

// The full argument list of `member` from positional and named arguments, defaults filled in.
Args BindArguments(const Member& member, Args positional, std::vector<NamedArg> named);

// Calls a member found in the table; the other checks of Invoke apply.
Variant InvokeMember(Object& object, const Member& member, CallKind kind, Args positional,
                     std::vector<NamedArg> named = {});

}  // namespace zel
