// The caller's access policies and the access check of guarded operations.
#ifndef KX4DATA_SESSION_SECURITY_H_
#define KX4DATA_SESSION_SECURITY_H_

#include <cstdint>

#include <kx4data/KXEnums.h>
#include <kx4data/KXError.h>

#include "session/AccessPolicies.h"

namespace kx4 {

class KXData;

// Null when allowed, else "You do not have the proper access to execute this
// method." with icon 48.
[[nodiscard]] KXErrorPtr CheckMethodAccess(const AccessPolicies& policies, KXSecurity policy);
[[nodiscard]] KXErrorPtr CheckMethodAccess(const KXData& pinsData, KXSecurity policy);

}  // namespace kx4

#endif  // KX4DATA_SESSION_SECURITY_H_
