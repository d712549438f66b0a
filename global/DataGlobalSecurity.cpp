// The switches of the settings row: application security and the global
// application-tracking switch.
#include <string>

#include <kx4data/DataGlobal.h>
#include <kx4data/KXData.h>
#include <kx4data/ado/Recordset.h>

#include "records/RecordCommon.h"
#include "session/KXDataInternal.h"
#include "session/Security.h"

namespace kx4 {

namespace {

std::string BuildGetAppSecuritySQL(const KXData& pinsData) {
  return "SELECT SecureAdmin, SecureViewer FROM " + KXDataInternal::OwnerPrefix(pinsData) +
         "tblSettings";
}

std::string BuildAdminCountSQL(const KXData& pinsData) {
  return "SELECT COUNT(*) AS AdminCount FROM " + KXDataInternal::OwnerPrefix(pinsData) +
         "tblUsers WHERE AdminSecurity = 1 ";
}

std::string BuildSetAppSecuritySQL(const KXData& pinsData, bool pblnSecureAdmin,
                                   bool pblnSecureViewer) {
  return "UPDATE " + KXDataInternal::OwnerPrefix(pinsData) +
         "tblSettings SET SecureAdmin = " + FlagSQL(pblnSecureAdmin) + ", " +
         "SecureViewer = " + FlagSQL(pblnSecureViewer);
}

std::string BuildSetApplicationTrackSQL(const KXData& pinsData, bool pblnIgnore) {
  return "UPDATE " + KXDataInternal::OwnerPrefix(pinsData) +
         "tblSettings SET ApplicationIgnore = " + FlagSQL(pblnIgnore);
}

std::string BuildGetApplicationTrackSQL(const KXData& pinsData) {
  return "SELECT ApplicationIgnore FROM " + KXDataInternal::OwnerPrefix(pinsData) + "tblSettings";
}

// Runs `sql` on the settings table.  A database without its settings row
// cannot say how it is set; an error object says so instead of a failed read
// of a missing row.
[[nodiscard]] KXErrorPtr ReadSettingsRow(KXData& pinsData, const std::string& sql,
                                         std::shared_ptr<ado::Recordset>& rs) {
  KXErrorPtr result = KXDataInternal::ExecuteSQL(pinsData, rs, sql);
  if (result)
    return result;
  if (IsEmpty(*rs)) {
    rs->Close();
    return MakeError(
        "Kestrix could not find your settings information. Please contact your technical "
        "support.",
        KXError::kIconStop);
  }
  return nullptr;
}

// Either output may be null.
[[nodiscard]] KXErrorPtr ReadAppSecurity(KXData& pinsData, bool* pblnSecureAdmin,
                                         bool* pblnSecureViewer) {
  std::shared_ptr<ado::Recordset> rs;
  if (KXErrorPtr result = ReadSettingsRow(pinsData, BuildGetAppSecuritySQL(pinsData), rs))
    return result;
  // Convert both before assigning either, so a failed conversion leaves both.
  const bool secure_admin = rs->Fields("SecureAdmin").Value().ToBoolean();
  const bool secure_viewer = rs->Fields("SecureViewer").Value().ToBoolean();
  rs->Close();
  if (pblnSecureAdmin)
    *pblnSecureAdmin = secure_admin;
  if (pblnSecureViewer)
    *pblnSecureViewer = secure_viewer;
  return nullptr;
}

}  // namespace

KXErrorPtr DataGlobal::GetAppSecurity(KXData& pinsData) {
  return ReadAppSecurity(pinsData, nullptr, nullptr);
}

KXErrorPtr DataGlobal::GetAppSecurity(KXData& pinsData, bool& pblnSecureAdmin) {
  return ReadAppSecurity(pinsData, &pblnSecureAdmin, nullptr);
}

KXErrorPtr DataGlobal::GetAppSecurity(KXData& pinsData, bool& pblnSecureAdmin,
                                      bool& pblnSecureViewer) {
  return ReadAppSecurity(pinsData, &pblnSecureAdmin, &pblnSecureViewer);
}

KXErrorPtr DataGlobal::GetAppSecurity(KXData& pinsData, std::nullopt_t, bool& pblnSecureViewer) {
  return ReadAppSecurity(pinsData, nullptr, &pblnSecureViewer);
}

KXErrorPtr DataGlobal::SetAppSecurity(KXData& pinsData, bool pblnSecureAdmin,
                                      bool pblnSecureViewer) {
  KXErrorPtr result = CheckMethodAccess(pinsData, kxsAdmin);
  if (result)
    return result;
  if (pblnSecureAdmin) {
    std::shared_ptr<ado::Recordset> rs;
    result = KXDataInternal::ExecuteSQL(pinsData, rs, BuildAdminCountSQL(pinsData));
    if (result)
      return result;
    const int32_t admin_count = rs->Fields("AdminCount").Value().ToLong();
    rs->Close();
    if (admin_count == 0) {
      return MakeError(
          "You cannot secure the administrator as there are no users in the database with "
          "admin security.",
          KXError::kIconExclamation);
    }
  }
  int32_t affected = 0;
  return KXDataInternal::ExecuteNoRecords(
      pinsData, BuildSetAppSecuritySQL(pinsData, pblnSecureAdmin, pblnSecureViewer), affected);
}

KXErrorPtr DataGlobal::SetApplicationTrack(KXData& pinsData, bool pblnIgnore) {
  if (KXErrorPtr refused = CheckMethodAccess(pinsData, kxsAdmin))
    return refused;
  int32_t affected = 0;
  return KXDataInternal::ExecuteNoRecords(
      pinsData, BuildSetApplicationTrackSQL(pinsData, pblnIgnore), affected);
}

KXErrorPtr DataGlobal::GetApplicationTrack(KXData& pinsData, bool& pblnIgnore) {
  std::shared_ptr<ado::Recordset> rs;
  if (KXErrorPtr result = ReadSettingsRow(pinsData, BuildGetApplicationTrackSQL(pinsData), rs))
    return result;
  const bool ignore = rs->Fields("ApplicationIgnore").Value().ToBoolean();
  rs->Close();
  pblnIgnore = ignore;
  return nullptr;
}

}  // namespace kx4
