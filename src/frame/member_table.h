// Building a class's member table from its C++ member functions.
//
//   const ClassInfo& ZelInfo::Info() {
//     static const ClassInfo info = ClassBuilder<ZelInfo>("ZelInfo")
//         .Creatable()
//         .WithReflection(Reflection::kPlain)
//         .Property("Name", &ZelInfo::Name, &ZelInfo::SetName)
//         .Method("Add", &ZelInfos::Add, {Param("Name"), Param("Value")})
//         .Build();
//     return info;
//   }
//
// Members are listed in interface order. Arguments reach the C++ function converted from Variant by
// the platform rules (FromVariant below); results are wrapped back into a Variant. A setter taking
// a std::shared_ptr becomes a property set (object reference), any other setter a property let.
#pragma once

#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "frame/error.h"
#include "frame/object.h"
#include "frame/reflection.h"

namespace zel {

template <class T>
struct IsSharedPtr : std::false_type {};
template <class T>
struct IsSharedPtr<std::shared_ptr<T>> : std::true_type {};

// A Variant converted to the C++ type of a parameter.
template <class T>
T FromVariant(const Variant& value) {
  if constexpr (std::is_same_v<T, Variant>) {
    return value;
  } else if constexpr (std::is_same_v<T, bool>) {
    return value.ToBool();
  } else if constexpr (std::is_same_v<T, int16_t>) {
    return value.ToInteger();
  } else if constexpr (std::is_same_v<T, int32_t>) {
    return value.ToLong();
  } else if constexpr (std::is_same_v<T, int64_t>) {
    return value.ToLongLong();
  } else if constexpr (std::is_same_v<T, double>) {
    return value.ToDouble();
  } else if constexpr (std::is_same_v<T, Currency>) {
    return value.ToCurrency();
  } else if constexpr (std::is_same_v<T, Date>) {
    return value.ToDate();
  } else if constexpr (std::is_same_v<T, std::string>) {
    return value.ToText();
  } else if constexpr (IsSharedPtr<T>::value) {
    ObjectPtr object = value.ToObject();
    if (!object) return nullptr;
    auto typed = std::dynamic_pointer_cast<typename T::element_type>(object);
    if (!typed) Raise(errc::kTypeMismatch);
    return typed;
  } else {
    static_assert(sizeof(T) == 0, "no Variant conversion for this parameter type");
  }
}

// A C++ result as a Variant.
template <class T>
Variant ToVariant(T&& value) {
  using D = std::decay_t<T>;
  if constexpr (IsSharedPtr<D>::value && !std::is_same_v<D, std::shared_ptr<Array>>) {
    return Variant(ObjectPtr(std::forward<T>(value)));
  } else {
    return Variant(std::forward<T>(value));
  }
}

// Storage for a converted argument: texts arrive as std::string even where the function takes a
// view.
template <class A>
using ArgStorage = std::conditional_t<std::is_same_v<std::decay_t<A>, std::string_view>,
                                      std::string, std::decay_t<A>>;

template <class F>
struct MemberFunction;
template <class R, class... A>
struct MemberFunction<R (*)(A...)> {
  using Result = R;
  static constexpr size_t kArity = sizeof...(A);
  static constexpr bool kStatic = true;  // a static member: called without the object
  using ArgTuple = std::tuple<ArgStorage<A>...>;
};
template <class C, class R, class... A>
struct MemberFunction<R (C::*)(A...)> : MemberFunction<R (*)(A...)> {
  static constexpr bool kStatic = false;
};
template <class C, class R, class... A>
struct MemberFunction<R (C::*)(A...) const> : MemberFunction<R (C::*)(A...)> {};

// Calls `fn` on `self` with `args` converted to its parameter types.
template <class C, class F>
Variant CallConverted(C& self, F fn, const Args& args) {
  using Traits = MemberFunction<F>;
  using Tuple = typename Traits::ArgTuple;
  if (args.size() != Traits::kArity) Raise(errc::kWrongArguments);
  auto call = [&]<size_t... I>(std::index_sequence<I...>)->Variant {
    Tuple converted{FromVariant<std::tuple_element_t<I, Tuple>>(args[I])...};
    auto invoke = [&]() -> decltype(auto) {
      if constexpr (Traits::kStatic) {
        (void)self;
        return fn(std::get<I>(converted)...);
      } else {
        return (self.*fn)(std::get<I>(converted)...);
      }
    };
    if constexpr (std::is_void_v<typename Traits::Result>) {
      invoke();
      return {};
    } else {
      return ToVariant(invoke());
    }
  };
  return call(std::make_index_sequence<Traits::kArity>{});
}

// A required parameter, and an optional one with the value used when it is not given.
inline Parameter Param(std::string name) { return Parameter{std::move(name), false, {}}; }
inline Parameter Optional(std::string name, Variant default_value = {}) {
  return Parameter{std::move(name), true, std::move(default_value)};
}

template <class C>
class ClassBuilder {
 public:
  explicit ClassBuilder(std::string name) : name_(std::move(name)) {}

  // Callers may create objects of the class by name.
  ClassBuilder& Creatable() {
    factory_ = [] { return ObjectPtr(std::make_shared<C>()); };
    return *this;
  }

  // Puts GetPropertyList, ReadProperty and WriteProperty at the head of the interface.
  ClassBuilder& WithReflection(Reflection form) {
    reflection_ = form;
    for (Member& member : ReflectionMembers()) members_.push_back(std::move(member));
    return *this;
  }

  // Read-only property.
  template <class G>
  ClassBuilder& Get(std::string name, G getter) {
    Member member;
    member.name = std::move(name);
    member.kind = MemberKind::kProperty;
    member.get = [getter](Object& self, const Args& args) {
      return CallConverted(static_cast<C&>(self), getter, args);
    };
    members_.push_back(std::move(member));
    return *this;
  }

  // Read/write property; the setter's parameter type decides between let and set.
  template <class G, class S>
  ClassBuilder& Property(std::string name, G getter, S setter) {
    Get(std::move(name), getter);
    AttachSetter(members_.back(), setter);
    return *this;
  }

  // Property that takes both a value (let) and an object reference (set).
  template <class G, class L, class S>
  ClassBuilder& Property(std::string name, G getter, L letter, S setter) {
    Get(std::move(name), getter);
    AttachSetter(members_.back(), letter);
    AttachSetter(members_.back(), setter);
    return *this;
  }

  template <class F>
  ClassBuilder& Method(std::string name, F fn, std::vector<Parameter> params = {}) {
    static_assert(MemberFunction<F>::kArity <= 8, "too many parameters");
    if (params.size() != MemberFunction<F>::kArity) {
      throw std::logic_error("member table of " + name_ + "." + name + ": parameter count");
    }
    Member member;
    member.name = std::move(name);
    member.kind = MemberKind::kMethod;
    member.params = std::move(params);
    member.get = [fn](Object& self, const Args& args) {
      return CallConverted(static_cast<C&>(self), fn, args);
    };
    members_.push_back(std::move(member));
    return *this;
  }

  // A member written by hand, for the few that need the raw arguments.
  ClassBuilder& Raw(Member member) {
    members_.push_back(std::move(member));
    return *this;
  }

  // Marks the member added last as the default member (Item).
  ClassBuilder& Default() {
    members_.back().is_default = true;
    return *this;
  }
  // Marks the member added last as the enumerator (NewEnum).
  ClassBuilder& Enumerator() {
    members_.back().is_enumerator = true;
    return *this;
  }

  ClassInfo Build() { return ClassInfo(name_, std::move(members_), reflection_, factory_); }

 private:
  template <class S>
  static void AttachSetter(Member& member, S setter) {
    using Traits = MemberFunction<S>;
    static_assert(Traits::kArity == 1, "a setter takes one value");
    using Value = std::tuple_element_t<0, typename Traits::ArgTuple>;
    auto assign = [setter](Object& self, const Variant& value) {
      CallConverted(static_cast<C&>(self), setter, Args{value});
    };
    if constexpr (IsSharedPtr<Value>::value) {
      member.set = assign;
    } else {
      member.let = assign;
    }
  }

  std::string name_;
  std::vector<Member> members_;
  Reflection reflection_ = Reflection::kNone;
  std::function<ObjectPtr()> factory_;
};

}  // namespace zel
