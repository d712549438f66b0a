// One row of tblUsers: a person who identifies by PIN code, may have a print
// quota and may hold administrator and report rights.
#ifndef KX4DATA_USER_H_
#define KX4DATA_USER_H_

#include <cstdint>
#include <string>

#include <kx4data/Currency.h>
#include <kx4data/Export.h>
#include <kx4data/KXEnums.h>
#include <kx4data/KXError.h>

namespace kx4 {

class KXData;
class DataGlobal;

namespace ado {
class Recordset;
}

class KX4DATA_API User {
 public:
  int32_t Id() const { return id_; }
  void SetId(int32_t value) { id_ = value; }
  // Write only from outside the library; blanks trimmed.
  void SetPinCode(const std::string& value);
  const std::string& Name() const { return name_; }
  void SetName(const std::string& value);  // trimmed
  bool UseQuota() const { return use_quota_; }
  void SetUseQuota(bool value) { use_quota_ = value; }
  Currency QuotaRemaining() const { return quota_remaining_; }
  void SetQuotaRemaining(Currency value) { quota_remaining_ = value; }
  bool Active() const { return active_; }
  void SetActive(bool value) { active_ = value; }
  bool AdminSecurity() const { return admin_security_; }
  void SetAdminSecurity(bool value) { admin_security_ = value; }
  // Not validated: any 32-bit number is stored as it is.
  KXReportSecurity ReportSecurity() const { return report_security_; }
  void SetReportSecurity(KXReportSecurity value) { report_security_ = value; }
  bool Authorized() const { return authorized_; }

  // Sets Active, UseQuota, QuotaRemaining and ReportSecurity on every user
  // listed in `pstrIds`: decimal ids separated by commas.
  [[nodiscard]] KXErrorPtr BatchUpdate(KXData& pinsData, const std::string& pstrIds);
  [[nodiscard]] KXErrorPtr Load(KXData& pinsData, int32_t plngId);
  [[nodiscard]] KXErrorPtr Save(KXData& pinsData);
  [[nodiscard]] KXErrorPtr Delete(KXData& pinsData);

 private:
  friend class KXData;
  friend class DataGlobal;

  // The plain PIN; only the library itself may read it.
  const std::string& PinCode() const { return pin_code_; }
  void SetAuthorized(bool value) { authorized_ = value; }
  // The user whose stored PIN equals this object's PIN enciphered; no access
  // check, Id not reset first.
  [[nodiscard]] KX4DATA_LOCAL KXErrorPtr LoadByPinCode(KXData& pinsData);

  [[nodiscard]] KX4DATA_LOCAL KXErrorPtr EncipheredPin(std::string& rstrPin) const;
  [[nodiscard]] KX4DATA_LOCAL KXErrorPtr FillFromRow(const ado::Recordset& rs);

  int32_t id_ = -1;
  std::string pin_code_;
  std::string name_;
  bool use_quota_ = false;
  Currency quota_remaining_;
  bool active_ = true;
  bool admin_security_ = false;
  KXReportSecurity report_security_ = kxrNone;
  bool authorized_ = false;
};

}  // namespace kx4

#endif  // KX4DATA_USER_H_
