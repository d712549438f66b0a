// Values at the boundary: the C-layout variant and the library's Variant,
// typed arguments, and the allocation functions callers free results with.
#include <kx4data/Currency.h>
#include <kx4data/DateTime.h>
#include <kx4data/RuntimeError.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "component/Object.h"

namespace kx4::component {

namespace {

// Reads the value a VT_BYREF variant points to as a by-value variant.
KX4Variant Deref(const KX4Variant& value) {
  KX4Variant plain{};
  plain.vt = static_cast<uint16_t>(value.vt & ~VT_BYREF);
  const void* p = value.u.byref;
  if (p == nullptr)
    throw BadArgument{E_POINTER, 0};
  switch (plain.vt) {
    case VT_I2:
    case VT_BOOL:
      plain.u.iVal = *static_cast<const int16_t*>(p);
      break;
    case VT_I4:
    case VT_ERROR:
      plain.u.lVal = *static_cast<const int32_t*>(p);
      break;
    case VT_R4:
      plain.u.fltVal = *static_cast<const float*>(p);
      break;
    case VT_R8:
    case VT_DATE:
      plain.u.dblVal = *static_cast<const double*>(p);
      break;
    case VT_CY:
      plain.u.cyVal = *static_cast<const int64_t*>(p);
      break;
    case VT_UI1:
      plain.u.bVal = *static_cast<const uint8_t*>(p);
      break;
    case VT_BSTR:
      plain.u.text = *static_cast<const KX4Text*>(p);
      break;
    case VT_DISPATCH:
    case VT_UNKNOWN:
      plain.u.pdispVal = *static_cast<IDispatch* const*>(p);
      break;
    case VT_VARIANT:
      return *static_cast<const KX4Variant*>(p);
    default:
      if (plain.vt & VT_ARRAY) {
        plain.u.parray = *static_cast<KX4Array* const*>(p);
        break;
      }
      throw BadArgument{DISP_E_TYPEMISMATCH, 0};
  }
  return plain;
}

std::string TextOf(const KX4Text& text) {
  return text.ptr != nullptr ? std::string(text.ptr, text.len) : std::string();
}

HRESULT ConversionCode(const RuntimeError& e) {
  return e.Number() == kErrOverflow ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH;
}

}  // namespace

KX4Text CopyText(const std::string& text) {
  KX4Text copy = KX4TextAlloc(text.data(), static_cast<uint32_t>(text.size()));
  if (copy.ptr == nullptr && !text.empty())
    throw std::bad_alloc();
  return copy;
}

Variant FromC(const KX4Variant& value) {
  if (value.vt & VT_BYREF)
    return FromC(Deref(value));
  switch (value.vt) {
    case VT_EMPTY:
      return Variant();
    case VT_NULL:
      return Variant::Null();
    case VT_I2:
      return Variant(value.u.iVal);
    case VT_I4:
      return Variant(value.u.lVal);
    case VT_R4:
      return Variant(value.u.fltVal);
    case VT_R8:
      return Variant(value.u.dblVal);
    case VT_CY:
      return Variant(Currency::FromTicks(value.u.cyVal));
    case VT_DATE:
      return Variant(DateTime::FromOADate(value.u.date));
    case VT_BSTR:
      return Variant(TextOf(value.u.text));
    case VT_BOOL:
      return Variant(value.u.boolVal != 0);
    case VT_UI1:
      return Variant(value.u.bVal);
    case VT_ARRAY | VT_VARIANT: {
      const KX4Array* array = value.u.parray;
      if (array == nullptr)
        throw BadArgument{E_POINTER, 0};
      std::vector<Variant> elements;
      elements.reserve(array->count);
      for (uint32_t i = 0; i < array->count; ++i)
        elements.push_back(FromC(array->data[i]));
      return Variant(VariantArray(std::move(elements), array->lbound));
    }
    default:
      throw BadArgument{DISP_E_TYPEMISMATCH, 0};
  }
}

Arg Coerce(const Variant& value, Type type, size_t position) {
  Arg arg;
  try {
    switch (type) {
      case Type::kBool:
        arg.value = Variant(value.ToBoolean());
        break;
      case Type::kI2:
        arg.value = Variant(value.ToInteger());
        break;
      case Type::kI4:
      case Type::kEnum:
        arg.value = Variant(value.ToLong());
        break;
      case Type::kCy:
        arg.value = Variant(value.ToCurrency());
        break;
      case Type::kDate:
        arg.value = Variant(value.ToDate());
        break;
      case Type::kText:
        arg.value = Variant(value.ToString());
        break;
      default:
        arg.value = value;
        break;
    }
  } catch (const RuntimeError& e) {
    throw BadArgument{ConversionCode(e), position};
  }
  return arg;
}

namespace {

void ValueToC(const Variant& value, KX4Variant& target) {
  if (value.IsEmpty()) {
    target.vt = VT_EMPTY;
  } else if (value.IsNull()) {
    target.vt = VT_NULL;
  } else if (const auto* v = value.Get<int16_t>()) {
    target.vt = VT_I2;
    target.u.iVal = *v;
  } else if (const auto* v = value.Get<int32_t>()) {
    target.vt = VT_I4;
    target.u.lVal = *v;
  } else if (const auto* v = value.Get<float>()) {
    target.vt = VT_R4;
    target.u.fltVal = *v;
  } else if (const auto* v = value.Get<double>()) {
    target.vt = VT_R8;
    target.u.dblVal = *v;
  } else if (const auto* v = value.Get<Currency>()) {
    target.vt = VT_CY;
    target.u.cyVal = v->Ticks();
  } else if (const auto* v = value.Get<DateTime>()) {
    target.vt = VT_DATE;
    target.u.date = v->ToOADate();
  } else if (const auto* v = value.Get<std::string>()) {
    target.u.text = CopyText(*v);
    target.vt = VT_BSTR;
  } else if (const auto* v = value.Get<bool>()) {
    target.vt = VT_BOOL;
    target.u.boolVal = *v ? -1 : 0;
  } else if (const auto* v = value.Get<uint8_t>()) {
    target.vt = VT_UI1;
    target.u.bVal = *v;
  } else {
    const VariantArray& array = value.Array();
    KX4Array* copy = KX4ArrayCreate(array.LBound(), static_cast<uint32_t>(array.Size()));
    if (copy == nullptr)
      throw std::bad_alloc();
    target.vt = VT_ARRAY | VT_VARIANT;
    target.u.parray = copy;
    for (size_t i = 0; i < array.Size(); ++i)
      ValueToC(array.Elements()[i], copy->data[i]);
  }
}

}  // namespace

void* HandOut(const Arg& arg) {
  if (arg.unknown) {
    arg.unknown->vtbl->AddRef(arg.unknown.get());
    return arg.unknown.get();
  }
  return ObjectRef(arg.object).Detach();
}

void ToC(const Arg& arg, Type type, KX4Variant& target) {
  KX4VariantClear(&target);
  switch (type) {
    case Type::kObject:
      target.vt = VT_DISPATCH;
      target.u.pdispVal = static_cast<IDispatch*>(HandOut(arg));
      return;
    case Type::kUnknown:
      target.vt = VT_UNKNOWN;
      target.u.punkVal = static_cast<IUnknown*>(HandOut(arg));
      return;
    case Type::kVariant:
      if (arg.object) {
        target.vt = VT_DISPATCH;
        target.u.pdispVal = static_cast<IDispatch*>(HandOut(arg));
        return;
      }
      ValueToC(arg.value, target);
      return;
    default:
      ValueToC(arg.value, target);
      return;
  }
}

}  // namespace kx4::component

using kx4::component::ObjectRef;

extern "C" {

KX4Text KX4TextAlloc(const char* utf8, uint32_t len) {
  KX4Text text{nullptr, 0};
  if (len == 0 && utf8 == nullptr)
    return text;
  char* copy = static_cast<char*>(std::malloc(size_t{len} + 1));
  if (copy == nullptr)
    return text;
  if (len != 0)
    std::memcpy(copy, utf8, len);
  copy[len] = '\0';
  text.ptr = copy;
  text.len = len;
  return text;
}

void KX4TextFree(KX4Text* text) {
  if (text == nullptr)
    return;
  std::free(text->ptr);
  text->ptr = nullptr;
  text->len = 0;
}

KX4Array* KX4ArrayCreate(int32_t lbound, uint32_t count) {
  auto* array = static_cast<KX4Array*>(std::calloc(1, sizeof(KX4Array)));
  if (array == nullptr)
    return nullptr;
  array->lbound = lbound;
  array->count = count;
  if (count != 0) {
    array->data = static_cast<KX4Variant*>(std::calloc(count, sizeof(KX4Variant)));
    if (array->data == nullptr) {
      std::free(array);
      return nullptr;
    }
  }
  return array;
}

void KX4ArrayFree(KX4Array* array) {
  if (array == nullptr)
    return;
  for (uint32_t i = 0; i < array->count; ++i)
    KX4VariantClear(&array->data[i]);
  std::free(array->data);
  std::free(array);
}

void KX4VariantInit(KX4Variant* value) {
  if (value != nullptr)
    *value = KX4Variant{};
}

void KX4VariantClear(KX4Variant* value) {
  if (value == nullptr)
    return;
  if ((value->vt & VT_BYREF) == 0) {
    if (value->vt == VT_BSTR) {
      KX4TextFree(&value->u.text);
    } else if (value->vt & VT_ARRAY) {
      KX4ArrayFree(value->u.parray);
    } else if ((value->vt == VT_DISPATCH || value->vt == VT_UNKNOWN) &&
               value->u.punkVal != nullptr) {
      // Any interface pointer releases through its own table.
      auto* unknown = reinterpret_cast<kx4::component::AnyUnknown*>(value->u.punkVal);
      unknown->vtbl->Release(unknown);
    }
  }
  *value = KX4Variant{};
}

void KX4ExcepInfoClear(KX4ExcepInfo* info) {
  if (info == nullptr)
    return;
  KX4TextFree(&info->source);
  KX4TextFree(&info->description);
  KX4TextFree(&info->helpFile);
  *info = KX4ExcepInfo{};
}

}  // extern "C"
