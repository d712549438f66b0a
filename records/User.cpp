#include <kx4data/User.h>

#include <exception>
#include <memory>
#include <string>

#include <kx4data/DataGlobal.h>
#include <kx4data/KXData.h>
#include <kx4data/Variant.h>
#include <kx4data/ado/Recordset.h>

#include "records/RecordCommon.h"
#include "records/TransactionGuard.h"
#include "session/Common.h"
#include "session/Security.h"
#include "session/Text.h"

namespace kx4 {

namespace {

// The job list's PIN filter enciphers with the same phrase.
constexpr const char* kPinKey = "T9W35K614)p";
constexpr int32_t kDuplicateKey = 2601;

Variant Flag16(bool value) {
  return Variant(static_cast<int16_t>(value ? -1 : 0));
}

}  // namespace

void User::SetPinCode(const std::string& value) {
  pin_code_ = TrimSpaces(value);
}

void User::SetName(const std::string& value) {
  name_ = TrimSpaces(value);
}

// An empty PIN is stored as NULL and never looked up, so a user without a PIN
// can never be matched.  A PIN that the cipher library cannot encipher (it is
// missing, or the PIN is too long for it) is refused: storing or comparing
// the empty text instead would drop the PIN or match the wrong rows.
KXErrorPtr User::EncipheredPin(std::string& rstrPin) const {
  rstrPin.clear();
  if (pin_code_.empty())
    return nullptr;
  std::string enciphered = EncipherText(pin_code_, kPinKey);
  if (enciphered.empty()) {
    return MakeError("The PIN code could not be enciphered. Please contact your technical support.",
                     KXError::kIconStop);
  }
  rstrPin = std::move(enciphered);
  return nullptr;
}

KXErrorPtr User::FillFromRow(const ado::Recordset& rs) {
  // Everything is read before anything is assigned: a row that cannot be
  // read leaves the object as it was.
  const int32_t id = rs.Fields("UserId").Value().ToLong();
  const std::string stored_pin =
      FieldValue(rs.Fields("PinCode"), Variant(static_cast<int32_t>(vbString))).ToString();
  std::string pin;
  if (!stored_pin.empty()) {
    pin = DecipherText(stored_pin, kPinKey);
    // An empty result is a failed decipher unless the stored text is the
    // empty PIN enciphered; taking it as "no PIN" would let the next Save
    // wipe the user's PIN.
    if (pin.empty() && EncipherText("", kPinKey) != stored_pin) {
      return MakeError(
          "The PIN code of this user could not be deciphered. Please contact your technical "
          "support.",
          KXError::kIconStop);
    }
  }
  const std::string name =
      FieldValue(rs.Fields("Name"), Variant(static_cast<int32_t>(vbString))).ToString();
  const bool use_quota = rs.Fields("UseQuota").Value().ToBoolean();
  const Currency quota_remaining = rs.Fields("QuotaRemaining").Value().ToCurrency();
  const bool active = rs.Fields("Active").Value().ToBoolean();
  const bool admin_security = rs.Fields("AdminSecurity").Value().ToBoolean();
  const int32_t report_security = rs.Fields("ReportSecurity").Value().ToLong();

  id_ = id;
  pin_code_ = pin;
  name_ = name;
  use_quota_ = use_quota;
  quota_remaining_ = quota_remaining;
  active_ = active;
  admin_security_ = admin_security;
  report_security_ = report_security;
  return nullptr;
}

KXErrorPtr User::Load(KXData& pinsData, int32_t plngId) {
  KXErrorPtr result = CheckMethodAccess(pinsData, kxsAdmin);
  if (result)
    return result;
  id_ = plngId;
  std::shared_ptr<ado::Recordset> rs;
  result = pinsData.ExecuteSQL(rs, BuildLoadSQL(pinsData));
  if (result)
    return result;
  if (IsEmpty(*rs)) {
    result = MakeError("User record expected: id - " + std::to_string(id_), KXError::kIconStop,
                       erRecordExpected);
  } else {
    result = FillFromRow(*rs);
  }
  rs->Close();
  return result;
}

KXErrorPtr User::LoadByPinCode(KXData& pinsData) {
  std::string pin;
  KXErrorPtr result = EncipheredPin(pin);
  if (result)
    return result;
  if (pin.empty())
    return MakeError("User record expected.", KXError::kIconStop, erRecordExpected);
  std::shared_ptr<ado::Recordset> rs;
  result = pinsData.ExecuteSQL(rs, BuildLoadByPinCodeSQL(pinsData), VariantArray{Variant(pin)});
  if (result)
    return result;
  if (IsEmpty(*rs))
    result = MakeError("User record expected.", KXError::kIconStop, erRecordExpected);
  else
    result = FillFromRow(*rs);
  rs->Close();
  return result;
}

KXErrorPtr User::IsLastAdministrator(KXData& pinsData, bool& rblnLast) const {
  std::shared_ptr<ado::Recordset> rs;
  KXErrorPtr result = pinsData.ExecuteSQL(rs, BuildAdminCountSQL(pinsData));
  if (result)
    return result;
  const int32_t admin_count = rs->Fields("AdminCount").Value().ToLong();
  rs->Close();
  rblnLast = !(admin_count > 0);
  return nullptr;
}

KXErrorPtr User::Insert(KXData& pinsData, const std::string& pstrPin) {
  const VariantArray params{Variant(pstrPin),          Variant(name_),  Flag16(use_quota_),
                            Variant(quota_remaining_), Flag16(active_), Flag16(admin_security_),
                            Variant(report_security_)};
  return InsertReturningNewId(pinsData, BuildInsertSQL(pinsData), Variant(params), id_);
}

KXErrorPtr User::Save(KXData& pinsData) {
  KXErrorPtr result = CheckMethodAccess(pinsData, kxsAdmin);
  std::string pin;
  if (!result)
    result = EncipheredPin(pin);
  if (!result && id_ != -1) {
    if (!admin_security_ || !active_) {
      bool secure_admin = false;
      result = DataGlobal().GetAppSecurity(pinsData, &secure_admin);
      if (!result && secure_admin) {
        bool last = false;
        result = IsLastAdministrator(pinsData, last);
        if (!result && last) {
          result = MakeError(
              "You cannot save this user. You must have at least one active administrator.",
              KXError::kIconExclamation, erRecordExpected);
        }
      }
    }
    if (!result) {
      int32_t affected = 0;
      result = pinsData.ExecuteNoRecords(
          BuildUpdateSQL(pinsData), Variant(VariantArray{Variant(pin), Variant(quota_remaining_)}),
          affected);
    }
  } else if (!result) {
    result = Insert(pinsData, pin);
  }
  // The unique index on PinCode is the only guard against a shared PIN.
  if (result && result->Number() == kDuplicateKey) {
    result->SetKXErrorNumber(erDataValueExists);
    result->SetMessage("This pin number already exists in the database.");
    result->SetIconType(KXError::kIconExclamation);
  }
  return result;
}

KXErrorPtr User::Delete(KXData& pinsData) {
  KXErrorPtr result = CheckMethodAccess(pinsData, kxsAdmin);
  if (result || id_ == -1)
    return result;
  bool jobs_exist = true;
  result = pinsData.DataValueExists(jobs_exist, "tblPrintJobs", "UserId", Variant(id_));
  if (result)
    return result;
  if (jobs_exist) {
    return MakeError(
        "You cannot delete this user as it has jobs in the database.\r\n"
        "You can make the value inactive instead.",
        KXError::kIconExclamation, erChildrenExist);
  }
  bool secure_admin = false;
  result = DataGlobal().GetAppSecurity(pinsData, &secure_admin);
  if (result)
    return result;
  if (secure_admin) {
    bool last = false;
    result = IsLastAdministrator(pinsData, last);
    if (result)
      return result;
    if (last) {
      return MakeError(
          "You cannot delete this user as it is the last administrator in the database.",
          KXError::kIconExclamation, erRecordExpected);
    }
  }
  int32_t affected = 0;
  return pinsData.ExecuteNoRecords(BuildDeleteSQL(pinsData), affected);
}

KXErrorPtr User::BatchUpdate(KXData& pinsData, const std::string& pstrIds) {
  KXErrorPtr result = CheckMethodAccess(pinsData, kxsAdmin);
  if (result)
    return result;
  // The list becomes part of the statement text, so it is checked first.
  result = ValidateIdList(pstrIds);
  if (result)
    return result;
  int32_t affected = 0;
  return pinsData.ExecuteNoRecords(BuildBatchUpdateSQL(pinsData, pstrIds),
                                   Variant(VariantArray{Variant(quota_remaining_)}), affected);
}

std::string User::BuildSelectSQL(const KXData& pinsData) const {
  return std::string(
             "SELECT UserId, PinCode, Name, UseQuota, QuotaRemaining, Active, "
             "AdminSecurity, ReportSecurity ") +
         "FROM " + pinsData.OwnerPrefix() + "tblUsers ";
}

std::string User::BuildLoadSQL(const KXData& pinsData) const {
  return BuildSelectSQL(pinsData) + "WHERE UserId = " + std::to_string(id_);
}

std::string User::BuildLoadByPinCodeSQL(const KXData& pinsData) const {
  return BuildSelectSQL(pinsData) + "WHERE PinCode = ?";
}

std::string User::BuildUpdateSQL(const KXData& pinsData) const {
  return "UPDATE " + pinsData.OwnerPrefix() + "tblUsers SET " + "PinCode = ?, " +
         "Name = " + QuoteSQL(name_) + ", " + "UseQuota = " + FlagSQL(use_quota_) + ", " +
         "QuotaRemaining = ?, " + "Active = " + FlagSQL(active_) + ", " +
         "AdminSecurity = " + FlagSQL(admin_security_) + ", " +
         "ReportSecurity = " + std::to_string(report_security_) + " " +
         "WHERE UserId = " + std::to_string(id_);
}

std::string User::BuildInsertSQL(const KXData& pinsData) const {
  return "SET NOCOUNT ON " + std::string("INSERT INTO ") + pinsData.OwnerPrefix() +
         "tblUsers(PinCode, Name, UseQuota, QuotaRemaining, Active, AdminSecurity, "
         "ReportSecurity) " +
         "VALUES (?, ?, ?, ?, ?, ?, ?) " + "SET NOCOUNT OFF " + "SELECT @@IDENTITY AS NewId";
}

std::string User::BuildAdminCountSQL(const KXData& pinsData) const {
  return "SELECT COUNT(*) AS AdminCount FROM " + pinsData.OwnerPrefix() +
         "tblUsers WHERE AdminSecurity = 1 AND UserId <> " + std::to_string(id_);
}

std::string User::BuildDeleteSQL(const KXData& pinsData) const {
  return "DELETE FROM " + pinsData.OwnerPrefix() + "tblUsers WHERE UserId = " + std::to_string(id_);
}

std::string User::BuildBatchUpdateSQL(const KXData& pinsData, const std::string& pstrIds) const {
  return "UPDATE " + pinsData.OwnerPrefix() + "tblUsers SET Active = " + FlagSQL(active_) + ", " +
         "UseQuota = " + FlagSQL(use_quota_) + ", " + "QuotaRemaining = ?, " +
         "ReportSecurity = " + std::to_string(report_security_) + " " + "WHERE UserId IN (" +
         pstrIds + ")";
}

}  // namespace kx4
