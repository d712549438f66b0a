// Rebuilding the caller's policies from the settings row's security switches
// and, given a PIN code, from the rights of the user who owns it.
#include <memory>
#include <string>

#include <kx4data/DataGlobal.h>
#include <kx4data/KXData.h>
#include <kx4data/User.h>

#include "session/AccessPolicies.h"

namespace kx4 {

KXErrorPtr KXData::GetAuthorization(const std::string& pstrPinCode) {
  std::shared_ptr<User> unused;
  return GetAuthorization(pstrPinCode, unused);
}

KXErrorPtr KXData::GetAuthorization(const std::string& pstrPinCode,
                                    std::shared_ptr<User>& pinsUser) {
  allowed_policies_->Reset();
  minsAddSecurity(kxsWriteJob);

  bool secure_admin = false;
  bool secure_viewer = false;
  KXErrorPtr result = DataGlobal().GetAppSecurity(*this, secure_admin, secure_viewer);
  if (!result) {
    if (!secure_admin)
      minsAddSecurity(kxsAdmin);
    if (!secure_viewer)
      minsAddSecurity(kxsReporterAll);
  }

  if (pstrPinCode.empty())
    return result;

  auto user = std::make_shared<User>();
  user->SetPinCode(pstrPinCode);
  // With a PIN the lookup decides the result, even over a failed read of the
  // switches.
  result = user->LoadByPinCode(*this);
  if (result)
    return result;
  if (!user->Active())
    return MakeError("Invalid PIN code.", KXError::kIconExclamation);

  if (user->AdminSecurity())
    minsAddSecurity(kxsAdmin);
  if (user->ReportSecurity() == kxrAllData)
    minsAddSecurity(kxsReporterAll);
  else if (user->ReportSecurity() == kxrOwnData)
    minsAddSecurity(kxsReporterOwn);
  // The session and the caller share the one object.
  authorized_user_ = user;
  pinsUser = user;
  return nullptr;
}

}  // namespace kx4
