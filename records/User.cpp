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
#include "session/KXDataInternal.h"
#include "session/Security.h"
#include "session/Text.h"

namespace kx4 {

namespace {

// The job list's PIN filter enciphers with the same phrase.
constexpr const char* kPinKey = "T9W35K614)p";

Variant Flag16(bool value) {
  return Variant(static_cast<int16_t>(value ? -1 : 0));
}

std::string BuildSelectSQL(const std::string& prefix) {
  return std::string(
             "SELECT UserId, PinCode, Name, UseQuota, QuotaRemaining, Active, "
             "AdminSecurity, ReportSecurity ") +
         "FROM " + prefix + "tblUsers ";
}

std::string BuildLoadSQL(const std::string& prefix, const User& user) {
  return BuildSelectSQL(prefix) + "WHERE UserId = " + std::to_string(user.Id());
}

std::string BuildLoadByPinCodeSQL(const std::string& prefix) {
  return BuildSelectSQL(prefix) + "WHERE PinCode = ?";
}

std::string BuildUpdateSQL(const std::string& prefix, const User& user) {
  return "UPDATE " + prefix + "tblUsers SET " + "PinCode = ?, " +
         "Name = " + QuoteSQL(user.Name()) + ", " + "UseQuota = " + FlagSQL(user.UseQuota()) +
         ", " + "QuotaRemaining = ?, " + "Active = " + FlagSQL(user.Active()) + ", " +
         "AdminSecurity = " + FlagSQL(user.AdminSecurity()) + ", " +
         "ReportSecurity = " + std::to_string(user.ReportSecurity()) + " " +
         "WHERE UserId = " + std::to_string(user.Id());
}

std::string BuildInsertSQL(const std::string& prefix) {
  return "SET NOCOUNT ON " + std::string("INSERT INTO ") + prefix +
         "tblUsers(PinCode, Name, UseQuota, QuotaRemaining, Active, AdminSecurity, "
         "ReportSecurity) " +
         "VALUES (?, ?, ?, ?, ?, ?, ?) " + "SET NOCOUNT OFF " + "SELECT @@IDENTITY AS NewId";
}

std::string BuildAdminCountSQL(const std::string& prefix, const User& user) {
  return "SELECT COUNT(*) AS AdminCount FROM " + prefix +
         "tblUsers WHERE AdminSecurity = 1 AND UserId <> " + std::to_string(user.Id());
}

std::string BuildDeleteSQL(const std::string& prefix, const User& user) {
  return "DELETE FROM " + prefix + "tblUsers WHERE UserId = " + std::to_string(user.Id());
}

std::string BuildBatchUpdateSQL(const std::string& prefix, const User& user,
                                const std::string& pstrIds) {
  return "UPDATE " + prefix + "tblUsers SET Active = " + FlagSQL(user.Active()) + ", " +
         "UseQuota = " + FlagSQL(user.UseQuota()) + ", " + "QuotaRemaining = ?, " +
         "ReportSecurity = " + std::to_string(user.ReportSecurity()) + " " + "WHERE UserId IN (" +
         pstrIds + ")";
}

// Sets `rblnLast` unless the count statement fails.
[[nodiscard]] KXErrorPtr IsLastAdministrator(KXData& pinsData, const User& user, bool& rblnLast) {
  std::shared_ptr<ado::Recordset> rs;
  KXErrorPtr result = KXDataInternal::ExecuteSQL(
      pinsData, rs, BuildAdminCountSQL(KXDataInternal::OwnerPrefix(pinsData), user));
  if (result)
    return result;
  const int32_t admin_count = rs->Fields("AdminCount").Value().ToLong();
  rs->Close();
  rblnLast = !(admin_count > 0);
  return nullptr;
}

// `pstrPin` is the PIN enciphered; `id` takes the key once committed.
[[nodiscard]] KXErrorPtr Insert(KXData& pinsData, const User& user, const std::string& pstrPin,
                                int32_t& id) {
  const VariantArray params{Variant(pstrPin),
                            Variant(user.Name()),
                            Flag16(user.UseQuota()),
                            Variant(user.QuotaRemaining()),
                            Flag16(user.Active()),
                            Flag16(user.AdminSecurity()),
                            Variant(static_cast<int32_t>(user.ReportSecurity()))};
  return InsertReturningNewId(pinsData, BuildInsertSQL(KXDataInternal::OwnerPrefix(pinsData)),
                              Variant(params), id);
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
  const auto report_security = KXReportSecurity{rs.Fields("ReportSecurity").Value().ToLong()};

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
  result = KXDataInternal::ExecuteSQL(pinsData, rs,
                                      BuildLoadSQL(KXDataInternal::OwnerPrefix(pinsData), *this));
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
  result = KXDataInternal::ExecuteSQL(pinsData, rs,
                                      BuildLoadByPinCodeSQL(KXDataInternal::OwnerPrefix(pinsData)),
                                      VariantArray{Variant(pin)});
  if (result)
    return result;
  if (IsEmpty(*rs))
    result = MakeError("User record expected.", KXError::kIconStop, erRecordExpected);
  else
    result = FillFromRow(*rs);
  rs->Close();
  return result;
}

KXErrorPtr User::Save(KXData& pinsData) {
  KXErrorPtr result = CheckMethodAccess(pinsData, kxsAdmin);
  std::string pin;
  if (!result)
    result = EncipheredPin(pin);
  if (!result && id_ != -1) {
    if (!admin_security_ || !active_) {
      bool secure_admin = false;
      result = DataGlobal().GetAppSecurity(pinsData, secure_admin);
      if (!result && secure_admin) {
        bool last = false;
        result = IsLastAdministrator(pinsData, *this, last);
        if (!result && last) {
          result = MakeError(
              "You cannot save this user. You must have at least one active administrator.",
              KXError::kIconExclamation, erRecordExpected);
        }
      }
    }
    if (!result) {
      int32_t affected = 0;
      result = KXDataInternal::ExecuteNoRecords(
          pinsData, BuildUpdateSQL(KXDataInternal::OwnerPrefix(pinsData), *this),
          Variant(VariantArray{Variant(pin), Variant(quota_remaining_)}), affected);
    }
  } else if (!result) {
    result = Insert(pinsData, *this, pin, id_);
  }
  // The unique index on PinCode is the only guard against a shared PIN.
  MarkDuplicate(result, "This pin number already exists in the database.");
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
  result = DataGlobal().GetAppSecurity(pinsData, secure_admin);
  if (result)
    return result;
  if (secure_admin) {
    bool last = false;
    result = IsLastAdministrator(pinsData, *this, last);
    if (result)
      return result;
    if (last) {
      return MakeError(
          "You cannot delete this user as it is the last administrator in the database.",
          KXError::kIconExclamation, erRecordExpected);
    }
  }
  int32_t affected = 0;
  return KXDataInternal::ExecuteNoRecords(
      pinsData, BuildDeleteSQL(KXDataInternal::OwnerPrefix(pinsData), *this), affected);
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
  return KXDataInternal::ExecuteNoRecords(
      pinsData, BuildBatchUpdateSQL(KXDataInternal::OwnerPrefix(pinsData), *this, pstrIds),
      Variant(VariantArray{Variant(quota_remaining_)}), affected);
}

}  // namespace kx4
