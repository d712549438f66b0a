// The objects of the component boundary.  Every object is one Object: a
// pointer to its interface's virtual table first (so that callers see
// COM's layout), a reference count, the thread that created it, and the
// public C++ object it adapts, shared with whoever else holds it.  What its
// members do lives in one adapter per interface (Adapter*.cpp): a handler
// per member of the class table, in table order.
#ifndef KX4DATA_COMPONENT_OBJECT_H_
#define KX4DATA_COMPONENT_OBJECT_H_

#include <kx4data/Component.h>
#include <kx4data/KXError.h>
#include <kx4data/Variant.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "component/ClassTable.h"

namespace kx4 {
class KXData;
}  // namespace kx4

namespace kx4::component {

struct Object;
struct Call;

using Handler = void (*)(Object& self, Call& call);

// A member's handler, named so that the adapter can be checked against the
// table at compile time.
struct Adapter {
  const char* name;
  Kind kind;
  Handler handler;
};

// Whether `adapters` lists the members of interface `index` by name and
// kind in table order.
template <size_t N>
constexpr bool Matches(InterfaceIndex index, const Adapter (&adapters)[N]) {
  const Interface& iface = kInterfaces[index];
  if (iface.members.size() != N)
    return false;
  for (size_t i = 0; i < N; ++i) {
    if (!NamesEqual(iface.members[i].name, adapters[i].name) ||
        iface.members[i].kind != adapters[i].kind)
      return false;
  }
  return true;
}

// What an interface's objects are made of.
struct Binding {
  InterfaceIndex index;
  std::span<const Adapter> adapters;
  const void* const* (*vtable)();
};

// The binding of interface `index` (Bindings.cpp).
const Binding& BindingOf(InterfaceIndex index);

// Any interface pointer, seen as IUnknown through its virtual table.
struct AnyUnknown;
struct UnknownTable {
  HRESULT (*QueryInterface)(AnyUnknown* self, const IID* riid, void** ppv);
  uint32_t (*AddRef)(AnyUnknown* self);
  uint32_t (*Release)(AnyUnknown* self);
};
struct AnyUnknown {
  const UnknownTable* vtbl;
};

bool SameGuid(const GUID& a, const char* text);
bool SameGuid(const GUID& a, const GUID& b);

// Objects alive and factories locked, for DllCanUnloadNow.
std::atomic<int64_t>& LiveObjects();

// IUnknown for the library's C++ implementations of a standard interface I
// (class factories, enumerators): counted among the live objects, deleted
// as a Derived when the last reference goes.
template <typename Derived, typename I>
class CountedUnknown : public I {
 public:
  CountedUnknown() { LiveObjects().fetch_add(1); }

  HRESULT QueryInterface(const IID& riid, void** ppv) override {
    if (ppv == nullptr)
      return E_POINTER;
    *ppv = nullptr;
    if (!SameGuid(riid, IID_IUnknown) && !SameGuid(riid, Derived::kIid))
      return E_NOINTERFACE;
    AddRef();
    *ppv = static_cast<I*>(this);
    return S_OK;
  }
  uint32_t AddRef() override { return refs_.fetch_add(1) + 1; }
  uint32_t Release() override {
    const uint32_t left = refs_.fetch_sub(1) - 1;
    if (left == 0) {
      delete static_cast<Derived*>(this);
      LiveObjects().fetch_sub(1);
    }
    return left;
  }

 private:
  std::atomic<uint32_t> refs_{1};
};

struct Object {
  const void* const* vtbl;  // first: callers read the virtual table from here
  std::atomic<uint32_t> refs{1};
  const Binding* binding;
  std::thread::id owner;
  std::shared_ptr<void> target;  // the adapted C++ object
  int32_t index = 0;             // a field's column, an enumerator's position

  template <typename T>
  T& As() const {
    return *static_cast<T*>(target.get());
  }
  template <typename T>
  std::shared_ptr<T> Shared() const {
    return std::static_pointer_cast<T>(target);
  }
  const Interface& Iface() const { return kInterfaces[binding->index]; }
};

uint32_t AddRef(Object* object);
uint32_t Release(Object* object);

// An owned reference.
class ObjectRef {
 public:
  ObjectRef() = default;
  // Takes over a reference the caller owns.
  static ObjectRef Adopt(Object* object) { return ObjectRef(object); }
  // Adds a reference of its own.
  static ObjectRef Borrow(Object* object) {
    if (object)
      AddRef(object);
    return ObjectRef(object);
  }
  ObjectRef(const ObjectRef& other) : object_(other.object_) {
    if (object_)
      AddRef(object_);
  }
  ObjectRef(ObjectRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ObjectRef& operator=(ObjectRef other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~ObjectRef() {
    if (object_)
      Release(object_);
  }
  Object* get() const { return object_; }
  Object* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // Hands the reference to the caller.
  Object* Detach() { return std::exchange(object_, nullptr); }

 private:
  explicit ObjectRef(Object* object) : object_(object) {}
  Object* object_ = nullptr;
};

// A new object of interface `index` over `target`, owned by this thread.
ObjectRef MakeObject(InterfaceIndex index, std::shared_ptr<void> target, int32_t position = 0);
// `pointer` (from a caller) as one of this library's objects, or null.
Object* FromPointer(const void* pointer);

// One argument or result at the boundary, already of its declared type.
struct Arg {
  bool present = true;  // false: an optional parameter left out
  Variant value;
  ObjectRef object;                     // interface-typed values
  std::shared_ptr<AnyUnknown> unknown;  // an interface that is no Object
};

// A new reference to the interface `arg` holds (null when none), for a caller.
void* HandOut(const Arg& arg);

// A call's parameters in table order (for a let, its value last) and its
// result.
struct Call {
  std::vector<Arg> args;
  Arg result;

  // Arguments were converted to their declared types; these read them so.
  bool Present(size_t i) const { return args[i].present; }
  bool Bool(size_t i) const { return args[i].value.ToBoolean(); }
  int16_t I2(size_t i) const { return args[i].value.ToInteger(); }
  int32_t I4(size_t i) const { return args[i].value.ToLong(); }
  Currency Cy(size_t i) const { return args[i].value.ToCurrency(); }
  DateTime Date(size_t i) const { return args[i].value.ToDate(); }
  std::string Text(size_t i) const { return args[i].value.ToString(); }
  const Variant& Var(size_t i) const { return args[i].value; }
  Object* Obj(size_t i) const { return args[i].object.get(); }
  // The session argument; a missing or foreign one is a bad argument.
  KXData& Session(size_t i) const;
  // The object argument as the C++ object of interface `index`, or null.
  template <typename T>
  std::shared_ptr<T> Target(size_t i, InterfaceIndex index) const {
    Object* object = Obj(i);
    return object && object->binding->index == index ? object->Shared<T>() : nullptr;
  }
  // A let's value.
  const Arg& Value() const { return args.back(); }

  void Return(Variant value) { result.value = std::move(value); }
  void ReturnObject(ObjectRef object) { result.object = std::move(object); }
  // Takes over the reference `owned` carries.
  void ReturnUnknown(AnyUnknown* owned) {
    result.unknown.reset(owned, [](AnyUnknown* u) { u->vtbl->Release(u); });
  }
  // A data operation's result: the error object, or nothing on success.
  void ReturnError(const KXErrorPtr& error);
  // Writes an out-parameter.
  void Out(size_t i, Variant value) { args[i].value = std::move(value); }
  void OutObject(size_t i, ObjectRef object) { args[i].object = std::move(object); }
};

// A wrong argument: the COM code for it and the parameter's position.
struct BadArgument {
  HRESULT code;
  size_t position;
};

// Converts `value` to the declared type of a parameter (throws BadArgument
// at `position`).
Arg Coerce(const Variant& value, Type type, size_t position);

// The C-layout variant as a value (VT_BYREF followed); objects are left to
// the caller.
Variant FromC(const KX4Variant& value);
// Writes `arg` of type `type` into `target` (cleared first).
void ToC(const Arg& arg, Type type, KX4Variant& target);
// Text for the caller: a copy it frees with KX4TextFree.
KX4Text CopyText(const std::string& text);

// Runs member `member` of `self`'s interface with `call`; exceptions pass.
void Run(Object& self, size_t member, Call& call);

// The failing HRESULT for the exception in flight, its text in
// `description` (and kept for KX4GetErrorInfo).
HRESULT CurrentFailure(std::string& description);
void RememberFailure(const std::string& source, const std::string& description, HRESULT code);
void ForgetFailure();

// Called from a thread other than the object's creator.
bool WrongThread(const Object& object);

}  // namespace kx4::component

#endif  // KX4DATA_COMPONENT_OBJECT_H_
