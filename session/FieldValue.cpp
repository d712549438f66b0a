#include <kx4data/ado/Recordset.h>

#include "session/Common.h"

namespace kx4 {

Variant FieldValue(const ado::Field& pinsField, const std::optional<Variant>& pvntType) {
  Variant value = pinsField.Value();
  if (!value.IsNull())
    return value;
  if (pvntType) {
    // The hint is compared by value, so 8 of any numeric type asks for text.
    if (pvntType->IsNumeric() && pvntType->ToDouble() == static_cast<double>(vbString))
      return Variant(std::string());
    return Variant(static_cast<int16_t>(0));
  }
  switch (pinsField.Type()) {
    case ado::adDate:
    case ado::adVariant:
    case ado::adFileTime:
    case ado::adDBDate:
    case ado::adDBTime:
    case ado::adDBTimeStamp:
    case ado::adDBFileTime:
    case ado::adPropVariant:
      return Variant::Null();
    case ado::adBSTR:
    case ado::adChar:
    case ado::adWChar:
    case ado::adVarChar:
    case ado::adLongVarChar:
    case ado::adVarWChar:
    case ado::adLongVarWChar:
      return Variant(std::string());
    case ado::adBoolean:
      return Variant(false);
    default:
      return Variant(static_cast<int16_t>(0));
  }
}

}  // namespace kx4
