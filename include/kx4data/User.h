// One row of tblUsers: a person who identifies by PIN code, may have a print
// quota and may hold administrator and report rights.
#ifndef KX4DATA_USER_H_
#define KX4DATA_USER_H_

#include <cstdint>
#include <string>

#include <kx4data/Currency.h>
#include <kx4data/KXEnums.h>
#include <kx4data/KXError.h>

namespace kx4 {

class KXData;
class DataGlobal;

namespace ado {
class Recordset;
}

class User {
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
  int32_t ReportSecurity() const { return report_security_; }  // KXReportSecurity
  void SetReportSecurity(int32_t value) { report_security_ = value; }
  bool Authorized() const { return authorized_; }

  // Sets Active, UseQuota, QuotaRemaining and ReportSecurity on every user
  // listed in `pstrIds`: decimal ids separated by commas.
  KXErrorPtr BatchUpdate(KXData& pinsData, const std::string& pstrIds);
  KXErrorPtr Load(KXData& pinsData, int32_t plngId);
  KXErrorPtr Save(KXData& pinsData);
  KXErrorPtr Delete(KXData& pinsData);

 private:
  friend class KXData;
  friend class DataGlobal;

  // The plain PIN; only the library itself may read it.
  const std::string& PinCode() const { return pin_code_; }
  void SetAuthorized(bool value) { authorized_ = value; }
  // The user whose stored PIN equals this object's PIN enciphered; no access
  // check, Id not reset first.
  KXErrorPtr LoadByPinCode(KXData& pinsData);

  KXErrorPtr EncipheredPin(std::string& rstrPin) const;
  KXErrorPtr FillFromRow(const ado::Recordset& rs);
  // Sets `rblnLast` unless the count statement fails.
  KXErrorPtr IsLastAdministrator(KXData& pinsData, bool& rblnLast) const;
  KXErrorPtr Insert(KXData& pinsData, const std::string& pstrPin);

  std::string BuildSelectSQL(const KXData& pinsData) const;
  std::string BuildLoadSQL(const KXData& pinsData) const;
  std::string BuildLoadByPinCodeSQL(const KXData& pinsData) const;
  std::string BuildUpdateSQL(const KXData& pinsData) const;
  std::string BuildInsertSQL(const KXData& pinsData) const;
  std::string BuildAdminCountSQL(const KXData& pinsData) const;
  std::string BuildDeleteSQL(const KXData& pinsData) const;
  std::string BuildBatchUpdateSQL(const KXData& pinsData, const std::string& pstrIds) const;

  int32_t id_ = -1;
  std::string pin_code_;
  std::string name_;
  bool use_quota_ = false;
  Currency quota_remaining_;
  bool active_ = true;
  bool admin_security_ = false;
  int32_t report_security_ = kxrNone;
  bool authorized_ = false;
};

}  // namespace kx4

#endif  // KX4DATA_USER_H_
