#include "records/RecordCommon.h"

#include <cstdint>

#include "session/Common.h"
#include "session/KXDataInternal.h"

namespace kx4 {

namespace {

constexpr int32_t kDuplicateKey = 2601;
constexpr int32_t kLowestStorableModifier = INT16_MIN + 100;

}  // namespace

std::string TextField(const ado::Recordset& rs, const char* name) {
  return FieldValue(rs.Fields(name), Variant(static_cast<int32_t>(vbString))).ToString();
}

KXErrorPtr SelectRow(KXData& pinsData, const std::string& pstrSQL, const std::string& pstrNotFound,
                     std::shared_ptr<ado::Recordset>& rs) {
  if (KXErrorPtr error = KXDataInternal::ExecuteSQL(pinsData, rs, pstrSQL))
    return error;
  if (!IsEmpty(*rs))
    return nullptr;
  rs->Close();
  return MakeError(pstrNotFound, KXError::kIconStop, erRecordExpected);
}

KXErrorPtr CheckStorableModifier(int16_t modifier, const std::string& refused,
                                 const std::string& which) {
  if (modifier >= kLowestStorableModifier)
    return nullptr;
  return MakeError(refused + ": " + which + " " + std::to_string(modifier) + " is below " +
                       std::to_string(kLowestStorableModifier) +
                       ", the lowest modifier that can be stored.",
                   KXError::kIconStop);
}

void MarkDuplicate(const KXErrorPtr& result, const std::string& message) {
  if (!result || result->Number() != kDuplicateKey)
    return;
  result->SetKXErrorNumber(erDataValueExists);
  result->SetMessage(message);
  result->SetIconType(KXError::kIconExclamation);
}

KXErrorPtr ValidateIdList(const std::string& pstrIds) {
  // States: before an id (blanks allowed), in an id, after an id (blanks).
  enum { kBefore, kIn, kAfter } state = kBefore;
  bool any = false;
  for (char c : pstrIds) {
    if (c >= '0' && c <= '9' && state != kAfter) {
      state = kIn;
      any = true;
    } else if (c == ' ' || c == '\t') {
      if (state == kIn)
        state = kAfter;
    } else if (c == ',' && state != kBefore) {
      state = kBefore;
    } else {
      state = kBefore;
      any = false;
      break;
    }
  }
  if (any && state != kBefore)
    return nullptr;
  return MakeError(
      "The id list \"" + pstrIds + "\" is not valid: use decimal ids separated by commas.",
      KXError::kIconStop);
}

}  // namespace kx4
