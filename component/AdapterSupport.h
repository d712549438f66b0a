// What the adapters share: property handlers made from a class's accessor
// pair, data operations that take only the session, and record sets handed
// back through out-parameters.
#ifndef KX4DATA_COMPONENT_ADAPTERSUPPORT_H_
#define KX4DATA_COMPONENT_ADAPTERSUPPORT_H_

#include <kx4data/Currency.h>
#include <kx4data/DateTime.h>
#include <kx4data/KXError.h>
#include <kx4data/ado/Recordset.h>

#include <memory>
#include <string>
#include <type_traits>

#include "component/Object.h"
#include "component/VTable.h"

namespace kx4::component {

template <typename>
struct MemberOf;
template <typename R, typename C>
struct MemberOf<R (C::*)() const> {
  using Class = C;
};
template <typename C, typename A>
struct MemberOf<void (C::*)(A)> {
  using Class = C;
  using Argument = std::remove_cvref_t<A>;
};
template <typename C>
struct MemberOf<KXErrorPtr (C::*)(KXData&)> {
  using Class = C;
};

template <typename T>
Variant ToVariant(const T& value) {
  if constexpr (std::is_enum_v<T>)
    return Variant(static_cast<int32_t>(value));
  else
    return Variant(value);
}

template <typename A>
A FromArg(const Arg& arg) {
  if constexpr (std::is_same_v<A, bool>)
    return arg.value.ToBoolean();
  else if constexpr (std::is_same_v<A, int16_t>)
    return arg.value.ToInteger();
  else if constexpr (std::is_same_v<A, int32_t>)
    return arg.value.ToLong();
  else if constexpr (std::is_enum_v<A>)
    return static_cast<A>(arg.value.ToLong());
  else if constexpr (std::is_same_v<A, Currency>)
    return arg.value.ToCurrency();
  else if constexpr (std::is_same_v<A, DateTime>)
    return arg.value.ToDate();
  else
    return arg.value.ToString();
}

template <auto Getter>
void GetProperty(Object& self, Call& call) {
  using C = typename MemberOf<decltype(Getter)>::Class;
  call.Return(ToVariant((self.As<C>().*Getter)()));
}

template <auto Setter>
void LetProperty(Object& self, Call& call) {
  using M = MemberOf<decltype(Setter)>;
  (self.As<typename M::Class>().*Setter)(FromArg<typename M::Argument>(call.Value()));
}

// A data operation whose only parameter is the session.
template <auto Operation>
void SessionOperation(Object& self, Call& call) {
  using C = typename MemberOf<decltype(Operation)>::Class;
  call.ReturnError((self.As<C>().*Operation)(call.Session(0)));
}

// The record set an in/out parameter held when the call began.
inline std::shared_ptr<ado::Recordset> RecordsetArg(const Call& call, size_t i) {
  return call.Target<ado::Recordset>(i, kIRecordset);
}

// Hands `records` back through parameter `i`, unless it is the one passed in.
inline void OutRecordset(Call& call, size_t i, const std::shared_ptr<ado::Recordset>& records) {
  if (records == RecordsetArg(call, i) && (records || !call.Obj(i)))
    return;
  call.OutObject(i, records ? MakeObject(kIRecordset, records) : ObjectRef());
}

}  // namespace kx4::component

// Rows of an adapter table, named as the class table names them.
#define KX4_LET(Class, Name)                                               \
  ::kx4::component::Adapter {                                              \
#Name, ::kx4::component::Kind::kLet, &LetProperty < &Class::Set##Name> \
  }
#define KX4_GET(Class, Name)                                          \
  ::kx4::component::Adapter {                                         \
#Name, ::kx4::component::Kind::kGet, &GetProperty < &Class::Name> \
  }
#define KX4_LET_GET(Class, Name) KX4_LET(Class, Name), KX4_GET(Class, Name)
#define KX4_GET_LET(Class, Name) KX4_GET(Class, Name), KX4_LET(Class, Name)
#define KX4_OPERATION(Class, Name)                                            \
  ::kx4::component::Adapter {                                                 \
#Name, ::kx4::component::Kind::kMethod, &SessionOperation < &Class::Name> \
  }
#define KX4_METHOD(Name, ...)                           \
  ::kx4::component::Adapter {                           \
#Name, ::kx4::component::Kind::kMethod, __VA_ARGS__ \
  }
#define KX4_GET_WITH(Name, ...)                      \
  ::kx4::component::Adapter {                        \
#Name, ::kx4::component::Kind::kGet, __VA_ARGS__ \
  }

// The binding of interface `Index` from its adapter table, checked against
// the class table at compile time.
#define KX4_BINDING(Index, Adapters)                                                      \
  static_assert(::kx4::component::Matches(::kx4::component::Index, Adapters),             \
                "the adapters of " #Index " differ from the class table");                \
  extern const ::kx4::component::Binding Index##Binding;                                  \
  const ::kx4::component::Binding Index##Binding {                                        \
    ::kx4::component::Index, Adapters, &::kx4::component::VTable<::kx4::component::Index> \
  }

#endif  // KX4DATA_COMPONENT_ADAPTERSUPPORT_H_
