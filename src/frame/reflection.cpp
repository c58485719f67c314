#include "frame/reflection.h"

#include "frame/error.h"

namespace zel {

std::shared_ptr<Array> GetPropertyList(const Object& object) {
  std::vector<const Member*> readable;
  for (const Member& member : object.Class().members()) {
    if (member.IsReadableProperty()) readable.push_back(&member);
  }
  auto names = std::make_shared<Array>(readable.size());
  for (size_t i = 0; i < readable.size(); ++i) names->At(i) = Variant(readable[i]->name);
  return names;
}

Variant ReadProperty(Object& object, std::string_view property_name) {
  if (object.Class().reflection() != Reflection::kTolerant) {
    return Invoke(object, property_name, CallKind::kGet);
  }
  Variant result;
  try {
    result = Invoke(object, property_name, CallKind::kGet);
    // The second read asks for an object reference; for a plain value it fails and the first stays.
    Variant again = Invoke(object, property_name, CallKind::kGet);
    if (again.IsObject()) result = again;
  } catch (const std::exception&) {
  }
  return result;
}

void WriteProperty(Object& object, std::string_view property_name, const Variant& value) {
  const Member* member = object.Class().Find(property_name);
  if (!member) {
    Raise(errc::kUnknownMember, "Object doesn't support this property or method: " +
                                    object.Class().name() + "." + std::string(property_name));
  }
  if (member->kind != MemberKind::kProperty || !member->let) Raise(errc::kWrongArguments);
  member->let(object, value);
}

std::vector<Member> ReflectionMembers() {
  std::vector<Member> members(3);
  members[0].name = "GetPropertyList";
  members[0].get = [](Object& self, const Args&) { return Variant(GetPropertyList(self)); };
  members[1].name = "ReadProperty";
  members[1].params = {Parameter{"PropertyName"}};
  members[1].get = [](Object& self, const Args& args) {
    return ReadProperty(self, args.at(0).ToText());
  };
  members[2].name = "WriteProperty";
  members[2].params = {Parameter{"PropertyName"}, Parameter{"PropertyValue"}};
  members[2].get = [](Object& self, const Args& args) {
    WriteProperty(self, args.at(0).ToText(), args.at(1));
    return Variant();
  };
  return members;
}

}  // namespace zel
