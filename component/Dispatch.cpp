// Objects, their reference counts and thread, and the two ways into a
// member: IDispatch::Invoke by dispatch identifier, and the virtual table.
// Both end in the member's handler with the same typed arguments; nothing
// thrown inside ever crosses the C boundary.
#include <kx4data/KXData.h>
#include <kx4data/RuntimeError.h>

#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "component/Object.h"
#include "component/VTable.h"
#include "variant/Utf8.h"

namespace kx4::component {

std::atomic<int64_t>& LiveObjects() {
  static std::atomic<int64_t> count{0};
  return count;
}

bool SameGuid(const GUID& a, const GUID& b) {
  return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

bool SameGuid(const GUID& a, const char* text) {
  const Guid g = ParseGuid(text);
  return a.Data1 == g.data1 && a.Data2 == g.data2 && a.Data3 == g.data3 &&
         std::memcmp(a.Data4, g.data4.data(), 8) == 0;
}

ObjectRef MakeObject(InterfaceIndex index, std::shared_ptr<void> target, int32_t position) {
  const Binding& binding = BindingOf(index);
  auto* object = new Object{binding.vtable(),  {1},     &binding, std::this_thread::get_id(),
                            std::move(target), position};
  LiveObjects().fetch_add(1);
  return ObjectRef::Adopt(object);
}

Object* FromPointer(const void* pointer) {
  if (pointer == nullptr)
    return nullptr;
  // One of ours when its table is the table of one of our interfaces.
  const void* const* vtbl = *static_cast<const void* const* const*>(pointer);
  for (size_t i = 0; i < kInterfaceCount; ++i) {
    if (BindingOf(static_cast<InterfaceIndex>(i)).vtable() == vtbl)
      return static_cast<Object*>(const_cast<void*>(pointer));
  }
  return nullptr;
}

uint32_t AddRef(Object* object) {
  return object->refs.fetch_add(1) + 1;
}

uint32_t Release(Object* object) {
  const uint32_t left = object->refs.fetch_sub(1) - 1;
  if (left == 0) {
    delete object;
    LiveObjects().fetch_sub(1);
  }
  return left;
}

bool WrongThread(const Object& object) {
  return object.owner != std::this_thread::get_id();
}

KXData& Call::Session(size_t i) const {
  Object* object = Obj(i);
  if (object == nullptr || object->binding->index != kIKXData)
    throw BadArgument{DISP_E_TYPEMISMATCH, i};
  if (WrongThread(*object))
    throw BadArgument{RPC_E_WRONG_THREAD, i};
  return object->As<KXData>();
}

void Call::ReturnError(const KXErrorPtr& error) {
  result.object = error ? MakeObject(kIKXError, error) : ObjectRef();
}

void Run(Object& self, size_t member, Call& call) {
  self.binding->adapters[member].handler(self, call);
}

// --- Failures ---

namespace {

struct LastFailure {
  bool failed = false;
  std::string source;
  std::string description;
  HRESULT code = S_OK;
};

LastFailure& Last() {
  thread_local LastFailure last;
  return last;
}

// Run-time errors travel as the HRESULTs callers know for them; others keep
// their number in the control facility, as classic components report them.
HRESULT CodeFor(int32_t number) {
  switch (number) {
    case kErrTypeMismatch:
      return DISP_E_TYPEMISMATCH;
    case kErrOverflow:
      return DISP_E_OVERFLOW;
    case kErrSubscriptOutOfRange:
      return DISP_E_BADINDEX;
    default:
      if (number > 0 && number <= 0xFFFF)
        return static_cast<HRESULT>(0x800A0000u | static_cast<uint32_t>(number));
      return number < 0 ? number : E_FAIL;
  }
}

}  // namespace

HRESULT CurrentFailure(std::string& description) {
  try {
    throw;
  } catch (const RuntimeError& e) {
    description = e.what();
    return CodeFor(e.Number());
  } catch (const std::bad_alloc&) {
    description = "Out of memory";
    return E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    description = e.what();
    return E_FAIL;
  } catch (...) {
    description = "Unexpected failure";
    return E_FAIL;
  }
}

void RememberFailure(const std::string& source, const std::string& description, HRESULT code) {
  LastFailure& last = Last();
  last.failed = true;
  last.source = source;
  last.description = description;
  last.code = code;
}

void ForgetFailure() {
  Last().failed = false;
}

namespace {

std::string SourceOf(const Object& object) {
  return std::string(kLibrary.progid_prefix) + (object.Iface().name + 1);
}

// --- Arguments through the virtual table ---

template <typename T>
T* Pointee(void* address) {
  return *static_cast<T**>(address);
}

// Reads parameter `p` (declared `param`) from the address the entry gave.
void ReadArg(const Param& param, void* address, Arg& arg, size_t p) {
  const bool by_ref = (param.flags & kByRef) != 0 && param.type != Type::kVariant;
  void* storage = address;
  if (by_ref) {
    storage = *static_cast<void**>(address);
    if (storage == nullptr) {
      if (!(param.flags & kOptional))
        throw BadArgument{E_POINTER, p};
      arg.present = false;
      return;
    }
  }
  switch (param.type) {
    case Type::kBool:
      arg.value = Variant(*static_cast<VARIANT_BOOL*>(storage) != 0);
      return;
    case Type::kI2:
      arg.value = Variant(*static_cast<int16_t*>(storage));
      return;
    case Type::kI4:
    case Type::kEnum:
      arg.value = Variant(*static_cast<int32_t*>(storage));
      return;
    case Type::kCy:
      arg.value = Variant(Currency::FromTicks(*static_cast<KX4CY*>(storage)));
      return;
    case Type::kDate:
      arg.value = Variant(DateTime::FromOADate(*static_cast<KX4DATE*>(storage)));
      return;
    case Type::kText: {
      const KX4Text& text = *static_cast<KX4Text*>(storage);
      arg.value = Variant(text.ptr ? std::string(text.ptr, text.len) : std::string());
      return;
    }
    case Type::kVariant: {
      const KX4Variant* value = *static_cast<KX4Variant**>(storage);
      if (value == nullptr || (value->vt == VT_ERROR && value->u.scode == DISP_E_PARAMNOTFOUND)) {
        if (!(param.flags & kOptional))
          throw BadArgument{DISP_E_PARAMNOTOPTIONAL, p};
        arg.present = false;
        return;
      }
      try {
        arg.value = FromC(*value);
      } catch (BadArgument& bad) {
        bad.position = p;
        throw;
      }
      return;
    }
    case Type::kObject:
    case Type::kUnknown: {
      void* pointer = *static_cast<void**>(storage);
      Object* object = FromPointer(pointer);
      if (pointer != nullptr && object == nullptr)
        throw BadArgument{E_INVALIDARG, p};
      arg.object = ObjectRef::Borrow(object);
      return;
    }
    case Type::kVoid:
      return;
  }
}

// Writes a result or out-parameter of type `type` to `storage`.
void WriteValue(Type type, const Arg& arg, void* storage) {
  switch (type) {
    case Type::kBool:
      *static_cast<VARIANT_BOOL*>(storage) = arg.value.ToBoolean() ? -1 : 0;
      return;
    case Type::kI2:
      *static_cast<int16_t*>(storage) = arg.value.ToInteger();
      return;
    case Type::kI4:
    case Type::kEnum:
      *static_cast<int32_t*>(storage) = arg.value.ToLong();
      return;
    case Type::kCy:
      *static_cast<KX4CY*>(storage) = arg.value.ToCurrency().Ticks();
      return;
    case Type::kDate:
      *static_cast<KX4DATE*>(storage) = arg.value.ToDate().ToOADate();
      return;
    case Type::kText:
      *static_cast<KX4Text*>(storage) = CopyText(arg.value.ToString());
      return;
    case Type::kVariant:
      ToC(arg, type, *static_cast<KX4Variant*>(storage));
      return;
    case Type::kObject:
    case Type::kUnknown: {
      void*& slot = *static_cast<void**>(storage);
      if (slot != nullptr && slot == arg.object.get())
        return;  // handed back unchanged
      Object* old = FromPointer(slot);
      slot = HandOut(arg);
      if (old != nullptr)
        Release(old);
      return;
    }
    case Type::kVoid:
      return;
  }
}

// Out-parameters of `member` back to the caller's storage.
void WriteOuts(const Member& member, const Call& call, void* const* arguments) {
  for (size_t p = 0; p < member.param_count; ++p) {
    const Param& param = member.params[p];
    if (!(param.flags & kOut) || !call.args[p].present)
      continue;
    WriteValue(param.type, call.args[p], *static_cast<void**>(arguments[p]));
  }
}

}  // namespace

HRESULT CallFromVtable(void* self, InterfaceIndex index, size_t member, void* const* arguments,
                       void* result) {
  Object& object = *static_cast<Object*>(self);
  if (WrongThread(object))
    return RPC_E_WRONG_THREAD;
  const Member& m = kInterfaces[index].members[member];
  const bool let = m.kind == Kind::kLet;
  if (!let && m.type != Type::kVoid && result == nullptr)
    return E_POINTER;
  try {
    Call call;
    call.args.resize(m.param_count + (let ? 1 : 0));
    for (size_t p = 0; p < m.param_count; ++p)
      ReadArg(m.params[p], arguments[p], call.args[p], p);
    if (let)
      ReadArg(Param{"value", m.type, kIn, m.type_name}, arguments[m.param_count], call.args.back(),
              m.param_count);
    Run(object, member, call);
    WriteOuts(m, call, arguments);
    if (!let && m.type != Type::kVoid) {
      if (m.type == Type::kObject || m.type == Type::kUnknown)
        *static_cast<void**>(result) = nullptr;
      WriteValue(m.type, call.result, result);
    }
    ForgetFailure();
    return S_OK;
  } catch (const BadArgument& bad) {
    RememberFailure(SourceOf(object), "Invalid argument", bad.code);
    return bad.code;
  } catch (...) {
    std::string description;
    const HRESULT code = CurrentFailure(description);
    RememberFailure(SourceOf(object), description, code);
    return code;
  }
}

// --- IUnknown and IDispatch ---

namespace {

HRESULT QueryInterface(void* self, const IID* riid, void** ppv) {
  if (ppv == nullptr)
    return E_POINTER;
  *ppv = nullptr;
  if (riid == nullptr)
    return E_INVALIDARG;
  Object& object = *static_cast<Object*>(self);
  if (SameGuid(*riid, IID_IUnknown) || SameGuid(*riid, IID_IDispatch) ||
      SameGuid(*riid, object.Iface().iid)) {
    AddRef(&object);
    *ppv = self;
    return S_OK;
  }
  return E_NOINTERFACE;
}

uint32_t AddRefEntry(void* self) {
  return AddRef(static_cast<Object*>(self));
}

uint32_t ReleaseEntry(void* self) {
  return Release(static_cast<Object*>(self));
}

HRESULT GetTypeInfoCount(void*, uint32_t* pctinfo) {
  if (pctinfo == nullptr)
    return E_POINTER;
  *pctinfo = 0;  // the type description is KXDataAccess.idl beside the library
  return S_OK;
}

HRESULT GetTypeInfo(void*, uint32_t, LCID, void** ppTInfo) {
  if (ppTInfo != nullptr)
    *ppTInfo = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT GetIDsOfNames(void* self, const IID*, const char* const* names, uint32_t count, LCID,
                      DISPID* ids) {
  if (count == 0)
    return S_OK;
  if (names == nullptr || ids == nullptr)
    return E_POINTER;
  const Interface& iface = static_cast<Object*>(self)->Iface();
  const Member* found = nullptr;
  for (const Member& m : iface.members) {
    if (names[0] != nullptr && EqualsAsciiNoCase(m.name, names[0]) &&
        (found == nullptr || m.param_count > found->param_count))
      found = &m;
  }
  HRESULT hr = S_OK;
  ids[0] = found ? found->dispid : DISPID_UNKNOWN;
  if (!found)
    hr = DISP_E_UNKNOWNNAME;
  // Further names are the member's parameters, identified by position.
  for (uint32_t n = 1; n < count; ++n) {
    ids[n] = DISPID_UNKNOWN;
    for (size_t p = 0; found && p < found->param_count; ++p) {
      if (names[n] != nullptr && EqualsAsciiNoCase(found->params[p].name, names[n]))
        ids[n] = static_cast<DISPID>(p);
    }
    if (ids[n] == DISPID_UNKNOWN)
      hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

// The member `id` names for the kind of call `flags` asks for.
const Member* FindMember(const Interface& iface, DISPID id, uint16_t flags, size_t& index) {
  for (size_t i = 0; i < iface.members.size(); ++i) {
    const Member& m = iface.members[i];
    if (m.dispid != id)
      continue;
    const bool fits = m.kind == Kind::kLet
                          ? (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0
                          : (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) != 0;
    if (fits) {
      index = i;
      return &m;
    }
  }
  return nullptr;
}

bool Missing(const KX4Variant* value) {
  return value == nullptr || (value->vt == VT_ERROR && value->u.scode == DISP_E_PARAMNOTFOUND);
}

// The variant an argument refers to when it is VT_BYREF | VT_VARIANT.
const KX4Variant& Referred(const KX4Variant& value) {
  if (value.vt == (VT_BYREF | VT_VARIANT) && value.u.pvarVal != nullptr)
    return Referred(*value.u.pvarVal);
  return value;
}

Arg ArgFromVariant(const KX4Variant& given, Type type, size_t position) {
  const KX4Variant& value = Referred(given);
  if (type == Type::kObject || type == Type::kUnknown) {
    const uint16_t base = static_cast<uint16_t>(value.vt & ~VT_BYREF);
    if (base == VT_EMPTY || base == VT_NULL)
      return Arg{};
    if (base != VT_DISPATCH && base != VT_UNKNOWN)
      throw BadArgument{DISP_E_TYPEMISMATCH, position};
    void* pointer = (value.vt & VT_BYREF) ? *static_cast<void**>(value.u.byref)
                                          : static_cast<void*>(value.u.pdispVal);
    Object* object = FromPointer(pointer);
    if (pointer != nullptr && object == nullptr)
      throw BadArgument{DISP_E_TYPEMISMATCH, position};
    Arg arg;
    arg.object = ObjectRef::Borrow(object);
    return arg;
  }
  Variant plain;
  try {
    plain = FromC(value);
  } catch (BadArgument& bad) {
    bad.position = position;
    throw;
  }
  return Coerce(plain, type, position);
}

// Writes an out-parameter back when the caller passed it by reference.
void WriteBack(KX4Variant& given, const Arg& arg, Type type) {
  if (!(given.vt & VT_BYREF))
    return;  // passed by value: the caller keeps no result
  if (given.vt == (VT_BYREF | VT_VARIANT)) {
    KX4Variant* target = given.u.pvarVal;
    while (target->vt == (VT_BYREF | VT_VARIANT))
      target = target->u.pvarVal;
    if (target->vt & VT_BYREF) {
      WriteBack(*target, arg, type);
      return;
    }
    if ((type == Type::kObject || type == Type::kUnknown) &&
        (target->vt == VT_DISPATCH || target->vt == VT_UNKNOWN) &&
        static_cast<void*>(target->u.pdispVal) == arg.object.get())
      return;  // handed back unchanged
    ToC(arg, type, *target);
    return;
  }
  switch (given.vt & ~VT_BYREF) {
    case VT_BOOL:
      WriteValue(Type::kBool, arg, given.u.byref);
      return;
    case VT_I2:
      WriteValue(Type::kI2, arg, given.u.byref);
      return;
    case VT_I4:
      WriteValue(Type::kI4, arg, given.u.byref);
      return;
    case VT_CY:
      WriteValue(Type::kCy, arg, given.u.byref);
      return;
    case VT_DATE:
      WriteValue(Type::kDate, arg, given.u.byref);
      return;
    case VT_R8:
      *static_cast<double*>(given.u.byref) = arg.value.ToDouble();
      return;
    case VT_BSTR: {
      auto* text = static_cast<KX4Text*>(given.u.byref);
      KX4Text copy = CopyText(arg.value.ToString());
      KX4TextFree(text);
      *text = copy;
      return;
    }
    case VT_DISPATCH:
    case VT_UNKNOWN:
      WriteValue(Type::kObject, arg, given.u.byref);
      return;
    default:
      throw BadArgument{DISP_E_TYPEMISMATCH, 0};
  }
}

void FillException(KX4ExcepInfo* info, const std::string& source, const std::string& description,
                   HRESULT code) {
  if (info == nullptr)
    return;
  *info = KX4ExcepInfo{};
  info->source = KX4TextAlloc(source.data(), static_cast<uint32_t>(source.size()));
  info->description = KX4TextAlloc(description.data(), static_cast<uint32_t>(description.size()));
  info->scode = code;
}

HRESULT Invoke(void* self, DISPID id, const IID*, LCID, uint16_t flags, KX4DispParams* params,
               KX4Variant* result, KX4ExcepInfo* exception, uint32_t* arg_error) {
  Object& object = *static_cast<Object*>(self);
  if (WrongThread(object))
    return RPC_E_WRONG_THREAD;
  const Interface& iface = object.Iface();
  size_t index = 0;
  const Member* m = FindMember(iface, id, flags, index);
  if (m == nullptr)
    return DISP_E_MEMBERNOTFOUND;
  const KX4DispParams none{nullptr, nullptr, 0, 0};
  const KX4DispParams& given = params ? *params : none;
  if (given.cNamedArgs > given.cArgs || (given.cArgs && given.rgvarg == nullptr))
    return E_INVALIDARG;
  const bool let = m->kind == Kind::kLet;
  const size_t formal = m->param_count + (let ? 1 : 0);

  // Each formal parameter's variant and its place in rgvarg.
  std::vector<KX4Variant*> slots(formal, nullptr);
  std::vector<uint32_t> places(formal, 0);
  for (uint32_t k = 0; k < given.cNamedArgs; ++k) {
    const DISPID named = given.rgdispidNamedArgs ? given.rgdispidNamedArgs[k] : DISPID_UNKNOWN;
    size_t slot = formal;
    if (named == DISPID_PROPERTYPUT && let)
      slot = formal - 1;
    else if (named >= 0 && static_cast<size_t>(named) < m->param_count)
      slot = static_cast<size_t>(named);
    if (slot == formal) {
      if (arg_error)
        *arg_error = k;
      return DISP_E_PARAMNOTFOUND;
    }
    slots[slot] = &given.rgvarg[k];
    places[slot] = k;
  }
  const uint32_t positional = given.cArgs - given.cNamedArgs;
  if (positional > formal)
    return DISP_E_BADPARAMCOUNT;
  for (uint32_t j = 0; j < positional; ++j) {
    // The last positional argument of a put is its value when not named.
    size_t slot = j;
    if (let && slots[formal - 1] == nullptr && j + 1 == positional)
      slot = formal - 1;
    if (slots[slot] != nullptr)
      return DISP_E_BADPARAMCOUNT;
    slots[slot] = &given.rgvarg[given.cArgs - 1 - j];
    places[slot] = given.cArgs - 1 - j;
  }

  try {
    Call call;
    call.args.resize(formal);
    for (size_t p = 0; p < formal; ++p) {
      const bool value_slot = let && p + 1 == formal;
      const Type type = value_slot ? m->type : m->params[p].type;
      if (Missing(slots[p])) {
        if (value_slot || !(m->params[p].flags & kOptional))
          return DISP_E_BADPARAMCOUNT;
        call.args[p].present = false;
        continue;
      }
      try {
        call.args[p] = ArgFromVariant(*slots[p], type, p);
      } catch (const BadArgument& bad) {
        if (arg_error)
          *arg_error = places[p];
        return bad.code;
      }
    }
    Run(object, index, call);
    for (size_t p = 0; p < m->param_count; ++p) {
      if ((m->params[p].flags & kOut) && call.args[p].present)
        WriteBack(*slots[p], call.args[p], m->params[p].type);
    }
    if (result != nullptr) {
      if (!let && m->type != Type::kVoid)
        ToC(call.result, m->type, *result);
      else
        KX4VariantClear(result);
    }
    ForgetFailure();
    return S_OK;
  } catch (const BadArgument& bad) {
    if (arg_error)
      *arg_error = bad.position < formal ? places[bad.position] : 0;
    return bad.code;
  } catch (...) {
    std::string description;
    const HRESULT code = CurrentFailure(description);
    RememberFailure(SourceOf(object), description, code);
    FillException(exception, SourceOf(object), description, code);
    return DISP_E_EXCEPTION;
  }
}

}  // namespace

const AnyFunction kDispatchEntries[7] = {
    reinterpret_cast<AnyFunction>(&QueryInterface),
    reinterpret_cast<AnyFunction>(&AddRefEntry),
    reinterpret_cast<AnyFunction>(&ReleaseEntry),
    reinterpret_cast<AnyFunction>(&GetTypeInfoCount),
    reinterpret_cast<AnyFunction>(&GetTypeInfo),
    reinterpret_cast<AnyFunction>(&GetIDsOfNames),
    reinterpret_cast<AnyFunction>(&Invoke),
};

}  // namespace kx4::component

extern "C" HRESULT KX4GetErrorInfo(KX4ExcepInfo* info) {
  if (info == nullptr)
    return E_POINTER;
  const auto& last = kx4::component::Last();
  if (!last.failed)
    return S_FALSE;
  kx4::component::FillException(info, last.source, last.description, last.code);
  return S_OK;
}
