#include "session/Security.h"

namespace kx4 {

bool AccessPolicies::Contains(int32_t policy) const {
  // Index 0 is the placeholder, never a held policy.
  for (int32_t i = 1; i <= UBound(); ++i) {
    if (policies_[static_cast<size_t>(i)] == policy)
      return true;
  }
  return false;
}

KXErrorPtr CheckMethodAccess(const AccessPolicies& policies, KXSecurity policy) {
  if (policies.Contains(policy))
    return nullptr;
  auto error = std::make_shared<KXError>();
  error->SetMessage("You do not have the proper access to execute this method.");
  error->SetIconType(KXError::kIconExclamation);
  return error;
}

}  // namespace kx4
