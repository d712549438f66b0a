#include <kx4data/ValidatedValue.h>

#include <memory>
#include <string>

#include <kx4data/KXData.h>
#include <kx4data/Variant.h>
#include <kx4data/ado/Recordset.h>

#include "records/RecordCommon.h"
#include "records/TransactionGuard.h"
#include "session/Common.h"
#include "session/KXDataInternal.h"
#include "session/Security.h"

namespace kx4 {
namespace {

std::string BuildLoadSQL(const std::string& prefix, const ValidatedValue& value) {
  return "SELECT Code, Description, (CostModifier + 100) AS Modifier, Active " +
         std::string("FROM ") + prefix + "tblValidatedValues " +
         "WHERE ValidatedId = " + std::to_string(value.Id());
}

std::string BuildLoadByCodeSQL(const std::string& prefix, const ValidatedValue& value) {
  return "SELECT ValidatedId, Code, Description, (CostModifier + 100) AS Modifier, Active " +
         std::string("FROM ") + prefix + "tblValidatedValues " +
         "WHERE Code = " + QuoteSQL(value.Code());
}

// The modifier goes in as a quoted literal, which the server converts.
std::string BuildInsertSQL(const std::string& prefix, const ValidatedValue& value) {
  return "SET NOCOUNT ON " + std::string("INSERT INTO ") + prefix +
         "tblValidatedValues (Description, Code, CostModifier, Active) " + "VALUES (" +
         QuoteSQL(value.Description()) + ", " + QuoteSQL(value.Code()) + ", " + "'" +
         StoredModifier(value.CostModifier()) + "', " + FlagSQL(value.Active()) + ") " +
         "SET NOCOUNT OFF " + "SELECT @@IDENTITY AS NewId";
}

std::string BuildUpdateSQL(const std::string& prefix, const ValidatedValue& value) {
  return "UPDATE " + prefix +
         "tblValidatedValues SET Description = " + QuoteSQL(value.Description()) + ", " +
         "Code = " + QuoteSQL(value.Code()) + ", " +
         "CostModifier = " + StoredModifier(value.CostModifier()) + ", " +
         "Active = " + FlagSQL(value.Active()) + " " +
         "WHERE ValidatedId = " + std::to_string(value.Id());
}

std::string BuildDeleteSQL(const std::string& prefix, const ValidatedValue& value) {
  return "DELETE FROM " + prefix +
         "tblValidatedValues WHERE ValidatedId = " + std::to_string(value.Id());
}

std::string BuildBatchUpdateSQL(const std::string& prefix, const ValidatedValue& value,
                                const std::string& pstrIds) {
  return "UPDATE " + prefix + "tblValidatedValues SET Active = " + FlagSQL(value.Active()) + ", " +
         "CostModifier = '" + StoredModifier(value.CostModifier()) + "' " +
         "WHERE ValidatedId IN (" + pstrIds + ")";
}

}  // namespace

KXErrorPtr ValidatedValue::BatchUpdate(KXData& pinsData, const std::string& pstrIds) {
  if (KXErrorPtr error = CheckMethodAccess(pinsData, kxsAdmin))
    return error;
  // The list goes into the statement as it stands, so only ids and commas
  // may reach it.
  if (KXErrorPtr error = ValidateIdList(pstrIds))
    return error;
  if (KXErrorPtr error = CheckStorableModifier(
          cost_modifier_, "The validated values were not updated", "the cost modifier"))
    return error;
  int32_t affected = 0;
  return KXDataInternal::ExecuteNoRecords(
      pinsData, BuildBatchUpdateSQL(KXDataInternal::OwnerPrefix(pinsData), *this, pstrIds),
      affected);
}

KXErrorPtr ValidatedValue::Save(KXData& pinsData) {
  if (KXErrorPtr error = CheckMethodAccess(pinsData, kxsAdmin))
    return error;
  if (KXErrorPtr error = CheckStorableModifier(cost_modifier_, "The validated value was not saved",
                                               "its cost modifier"))
    return error;
  const std::string prefix = KXDataInternal::OwnerPrefix(pinsData);
  KXErrorPtr result;
  if (id_ == -1) {
    result = InsertReturningNewId(pinsData, BuildInsertSQL(prefix, *this), Variant(), id_);
  } else {
    int32_t affected = 0;
    result = KXDataInternal::ExecuteNoRecords(pinsData, BuildUpdateSQL(prefix, *this), affected);
  }
  MarkDuplicate(result, "This code already exists in the database.");
  return result;
}

KXErrorPtr ValidatedValue::Delete(KXData& pinsData) {
  if (KXErrorPtr error = CheckMethodAccess(pinsData, kxsAdmin))
    return error;
  if (id_ == -1)
    return nullptr;
  bool used = true;
  if (KXErrorPtr error =
          pinsData.DataValueExists(used, "tblPrintJobs", "ValidatedId", Variant(id_)))
    return error;
  if (used) {
    return MakeError(
        "You cannot delete this value as it has jobs in the database.\r\n"
        "You can make the value inactive instead.",
        KXError::kIconExclamation, erChildrenExist);
  }
  int32_t affected = 0;
  return KXDataInternal::ExecuteNoRecords(
      pinsData, BuildDeleteSQL(KXDataInternal::OwnerPrefix(pinsData), *this), affected);
}

KXErrorPtr ValidatedValue::Load(KXData& pinsData, int32_t plngId) {
  id_ = plngId;
  std::shared_ptr<ado::Recordset> rs;
  if (KXErrorPtr error =
          SelectRow(pinsData, BuildLoadSQL(KXDataInternal::OwnerPrefix(pinsData), *this),
                    "Validated value record expected. ID: " + std::to_string(id_), rs))
    return error;
  // Read first, assign after: a row that cannot be read changes nothing.
  std::string code = TextField(*rs, "Code");
  std::string description = TextField(*rs, "Description");
  const int16_t modifier = rs->Fields("Modifier").Value().ToInteger();
  const bool active = rs->Fields("Active").Value().ToBoolean();
  rs->Close();
  code_ = std::move(code);
  description_ = std::move(description);
  cost_modifier_ = modifier;
  active_ = active;
  return nullptr;
}

KXErrorPtr ValidatedValue::LoadByCode(KXData& pinsData, const std::string& pstrCode) {
  code_ = pstrCode;
  std::shared_ptr<ado::Recordset> rs;
  if (KXErrorPtr error =
          SelectRow(pinsData, BuildLoadByCodeSQL(KXDataInternal::OwnerPrefix(pinsData), *this),
                    "Validated value record expected. Code: " + code_, rs))
    return error;
  const int32_t id = rs->Fields("ValidatedId").Value().ToLong();
  std::string description = TextField(*rs, "Description");
  const int16_t modifier = rs->Fields("Modifier").Value().ToInteger();
  const bool active = rs->Fields("Active").Value().ToBoolean();
  rs->Close();
  id_ = id;
  description_ = std::move(description);
  cost_modifier_ = modifier;
  active_ = active;
  return nullptr;
}

}  // namespace kx4
