#include "records/RecordCommon.h"

namespace kx4 {

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
