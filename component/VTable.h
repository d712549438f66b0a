// Virtual tables built from the class table: the seven entries of IUnknown
// and IDispatch, then one entry per member with the C signature its row
// gives.  Each entry only collects the addresses of its arguments and hands
// them to one runtime routine that reads them by the table's types, so the
// order and the shapes are those of the table by construction.
#ifndef KX4DATA_COMPONENT_VTABLE_H_
#define KX4DATA_COMPONENT_VTABLE_H_

#include <kx4data/Component.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <typeinfo>
#include <utility>

#include "component/ClassTable.h"

namespace kx4::component {

using AnyFunction = void (*)();

// QueryInterface, AddRef, Release, GetTypeInfoCount, GetTypeInfo,
// GetIDsOfNames, Invoke (Dispatch.cpp).
extern const AnyFunction kDispatchEntries[7];

// The C++ class of interface `index` (the generated abstract class), which
// the tables name as their objects' dynamic type (Types.cpp).
const std::type_info& InterfaceType(InterfaceIndex index);

// Member `member` of `self`, called through the virtual table: `arguments`
// holds the address of each parameter (and of a let's value), `result` the
// final out-parameter.
HRESULT CallFromVtable(void* self, InterfaceIndex index, size_t member, void* const* arguments,
                       void* result);

// The C type of a value passed by value.
template <Type T>
struct CValue {
  using type = void*;  // interface pointers
};
template <>
struct CValue<Type::kBool> {
  using type = VARIANT_BOOL;
};
template <>
struct CValue<Type::kI2> {
  using type = int16_t;
};
template <>
struct CValue<Type::kI4> {
  using type = int32_t;
};
template <>
struct CValue<Type::kEnum> {
  using type = int32_t;
};
template <>
struct CValue<Type::kCy> {
  using type = KX4CY;
};
template <>
struct CValue<Type::kDate> {
  using type = KX4DATE;
};
template <>
struct CValue<Type::kText> {
  using type = KX4Text;
};
template <>
struct CValue<Type::kVariant> {
  using type = KX4Variant*;  // variants always travel by pointer
};

template <Type T, bool ByRef>
using CArg = std::conditional_t<ByRef && T != Type::kVariant, typename CValue<T>::type*,
                                typename CValue<T>::type>;

template <InterfaceIndex I, size_t M,
          typename = std::make_index_sequence<kInterfaces[I].members[M].param_count>>
struct Thunk;

template <InterfaceIndex I, size_t M, size_t... P>
struct Thunk<I, M, std::index_sequence<P...>> {
  static constexpr const Member& kMember = kInterfaces[I].members[M];
  template <size_t K>
  using Param = CArg<kMember.params[K].type, (kMember.params[K].flags & kByRef) != 0>;

  static HRESULT WithResult(void* self, Param<P>... args, void* result) {
    void* const pointers[] = {static_cast<void*>(&args)..., nullptr};
    return CallFromVtable(self, I, M, pointers, result);
  }
  static HRESULT WithValue(void* self, Param<P>... args,
                           typename CValue<kMember.type>::type value) {
    void* const pointers[] = {static_cast<void*>(&args)..., static_cast<void*>(&value)};
    return CallFromVtable(self, I, M, pointers, nullptr);
  }
  static HRESULT Plain(void* self, Param<P>... args) {
    void* const pointers[] = {static_cast<void*>(&args)..., nullptr};
    return CallFromVtable(self, I, M, pointers, nullptr);
  }

  static AnyFunction Entry() {
    if constexpr (kMember.kind == Kind::kLet)
      return reinterpret_cast<AnyFunction>(&WithValue);
    else if constexpr (kMember.type != Type::kVoid)
      return reinterpret_cast<AnyFunction>(&WithResult);
    else
      return reinterpret_cast<AnyFunction>(&Plain);
  }
};

// The table is laid out as C++ lays out a class's: the offset to the top
// and the type information come before the entries the object points at,
// so that C++ callers' run-time type checks see the interface's class.
template <InterfaceIndex I, size_t... M>
const void* const* BuildVTable(std::index_sequence<M...>) {
  static const void* const table[] = {nullptr,
                                      &InterfaceType(I),
                                      reinterpret_cast<const void*>(kDispatchEntries[0]),
                                      reinterpret_cast<const void*>(kDispatchEntries[1]),
                                      reinterpret_cast<const void*>(kDispatchEntries[2]),
                                      reinterpret_cast<const void*>(kDispatchEntries[3]),
                                      reinterpret_cast<const void*>(kDispatchEntries[4]),
                                      reinterpret_cast<const void*>(kDispatchEntries[5]),
                                      reinterpret_cast<const void*>(kDispatchEntries[6]),
                                      reinterpret_cast<const void*>(Thunk<I, M>::Entry())...};
  return table + 2;
}

// The virtual table of interface I.
template <InterfaceIndex I>
const void* const* VTable() {
  return BuildVTable<I>(std::make_index_sequence<kInterfaces[I].members.size()>());
}

}  // namespace kx4::component

#endif  // KX4DATA_COMPONENT_VTABLE_H_
