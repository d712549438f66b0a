// The session's side of the security policy.
#include <kx4data/KXData.h>

#include "session/Security.h"

namespace kx4 {

bool KXData::CheckSecurity(KXSecurity pintPolicy) const {
  return allowed_policies_->Contains(pintPolicy);
}

void KXData::minsAddSecurity(int32_t policy) {
  allowed_policies_->Add(policy);
}

KXErrorPtr CheckMethodAccess(const KXData& pinsData, KXSecurity policy) {
  if (pinsData.CheckSecurity(policy))
    return nullptr;
  // An empty list refuses every policy, so the refusal is built in one place.
  return CheckMethodAccess(AccessPolicies(), policy);
}

}  // namespace kx4
