#include "frame/object.h"

#include "frame/error.h"
#include "frame/text.h"

namespace zel {

InterfaceSafety Object::GetInterfaceSafetyOptions(std::string_view) const { return {}; }

void Object::SetInterfaceSafetyOptions(std::string_view, uint32_t, uint32_t) {}

ClassInfo::ClassInfo(std::string name, std::vector<Member> members, Reflection reflection,
                     std::function<ObjectPtr()> factory)
    : name_(std::move(name)),
      members_(std::move(members)),
      reflection_(reflection),
      factory_(std::move(factory)) {
  for (size_t i = 0; i < members_.size(); ++i) {
    by_lower_name_.emplace(ToLower(members_[i].name), i);
  }
}

const Member* ClassInfo::Find(std::string_view name) const {
  auto it = by_lower_name_.find(ToLower(name));
  return it == by_lower_name_.end() ? nullptr : &members_[it->second];
}

const Member* ClassInfo::DefaultMember() const {
  for (const Member& member : members_) {
    if (member.is_default) return &member;
  }
  return nullptr;
}

const Member* ClassInfo::EnumeratorMember() const {
  for (const Member& member : members_) {
    if (member.is_enumerator) return &member;
  }
  return nullptr;
}

Args BindArguments(const Member& member, Args positional, std::vector<NamedArg> named) {
  const auto& params = member.params;
  if (positional.size() > params.size()) Raise(errc::kWrongArguments);
  Args args(params.size());
  std::vector<bool> given(params.size(), false);
  for (size_t i = 0; i < positional.size(); ++i) {
    args[i] = std::move(positional[i]);
    given[i] = true;
  }
  for (NamedArg& arg : named) {
    size_t i = 0;
    while (i < params.size() && !EqualsIgnoreCase(params[i].name, arg.name)) ++i;
    if (i == params.size() || given[i]) Raise(errc::kWrongArguments);
    args[i] = std::move(arg.value);
    given[i] = true;
  }
  for (size_t i = 0; i < params.size(); ++i) {
    if (given[i]) continue;
    if (!params[i].optional) {
      Raise(errc::kArgumentNotOptional,
            "Argument not optional: " + member.name + " needs " + params[i].name);
    }
    args[i] = params[i].default_value;
  }
  return args;
}

Variant InvokeMember(Object& object, const Member& member, CallKind kind, Args positional,
                     std::vector<NamedArg> named) {
  switch (kind) {
    case CallKind::kGet:
    case CallKind::kCall:
      if (!member.get) Raise(errc::kWrongArguments);
      return member.get(object, BindArguments(member, std::move(positional), std::move(named)));
    case CallKind::kLet:
    case CallKind::kSet: {
      if (positional.size() != 1 || !named.empty()) Raise(errc::kWrongArguments);
      const Variant& value = positional.front();
      const bool by_reference = kind == CallKind::kSet || value.IsObject();
      if (by_reference && member.set) {
        member.set(object, value);
      } else if (!by_reference && member.let) {
        member.let(object, value);
      } else if (member.let || member.set) {
        Raise(errc::kTypeMismatch);
      } else {
        Raise(errc::kWrongArguments);
      }
      return {};
    }
  }
  return {};
}

Variant Invoke(Object& object, std::string_view member_name, CallKind kind, Args positional,
               std::vector<NamedArg> named) {
  const Member* member = object.Class().Find(member_name);
  if (!member) {
    Raise(errc::kUnknownMember, "Object doesn't support this property or method: " +
                                    object.Class().name() + "." + std::string(member_name));
  }
  return InvokeMember(object, *member, kind, std::move(positional), std::move(named));
}

}  // namespace zel
