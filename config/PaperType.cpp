#include <kx4data/PaperType.h>

#include <memory>
#include <string>

#include <kx4data/KXData.h>
#include <kx4data/RuntimeError.h>
#include <kx4data/Variant.h>
#include <kx4data/ado/Recordset.h>

#include "records/RecordCommon.h"
#include "records/TransactionGuard.h"
#include "session/Common.h"
#include "session/Security.h"

namespace kx4 {

namespace {

constexpr int32_t kDuplicateKey = 2601;

// Modifiers are stored relative to the neutral 100.
std::string StoredModifier(int16_t modifier) {
  return std::to_string(static_cast<int32_t>(modifier) - 100);
}

}  // namespace

KXErrorPtr PaperType::Load(KXData& pinsData, int32_t plngId) {
  id_ = plngId;
  std::shared_ptr<ado::Recordset> rs;
  KXErrorPtr result = pinsData.ExecuteSQL(rs, BuildLoadSQL(pinsData));
  if (result)
    return result;
  if (IsEmpty(*rs)) {
    result = MakeError("Paper type record expected. ID: " + std::to_string(id_), KXError::kIconStop,
                       erRecordExpected);
  } else {
    // Read everything first, so a row that cannot be read changes nothing.
    std::string description =
        FieldValue(rs->Fields("Description"), Variant(static_cast<int32_t>(vbString))).ToString();
    const int16_t modifier = rs->Fields("Modifier").Value().ToInteger();
    const bool active = rs->Fields("Active").Value().ToBoolean();
    const bool default_type = rs->Fields("DefaultType").Value().ToBoolean();
    const int32_t position = rs->Fields("ListPosition").Value().ToLong();
    description_ = std::move(description);
    cost_modifier_ = modifier;
    active_ = active;
    default_type_ = default_type;
    position_ = position;
  }
  rs->Close();
  return result;
}

// Created at position 1 and then moved behind the highest position, all in
// one transaction; the maximum includes the new row, so an empty table puts
// it at 2.
KXErrorPtr PaperType::Insert(KXData& pinsData) {
  TransactionGuard transaction(pinsData);
  KXErrorPtr result = transaction.Begin();
  int32_t new_id = -1;
  if (!result) {
    std::shared_ptr<ado::Recordset> rs;
    result = pinsData.ExecuteSQL(rs, BuildInsertSQL(pinsData));
    if (!result) {
      new_id = rs->Fields("NewId").Value().ToLong();
      rs->Close();
      result = pinsData.ExecuteSQL(rs, BuildMaxPositionSQL(pinsData));
      if (!result) {
        const std::string max_position = std::to_string(rs->Fields("MaxPosition").Value().ToLong());
        rs->Close();
        int32_t affected = 0;
        result = pinsData.ExecuteNoRecords(BuildSetPositionSQL(pinsData, max_position, new_id),
                                           affected);
      }
    }
  }
  result = transaction.Finish(result);
  // Only a committed row gets its key: a rolled-back one would turn the next
  // Save into an update of nothing.
  if (!result)
    id_ = new_id;
  return result;
}

KXErrorPtr PaperType::Save(KXData& pinsData) {
  KXErrorPtr result = CheckMethodAccess(pinsData, kxsAdmin);
  if (result)
    return result;
  if (id_ != -1) {
    int32_t affected = 0;
    result = pinsData.ExecuteNoRecords(BuildUpdateSQL(pinsData), affected);
  } else {
    result = Insert(pinsData);
  }
  // Outside the transaction: a failure here leaves the saved row in place.
  if (!result && default_type_) {
    int32_t affected = 0;
    result = pinsData.ExecuteNoRecords(BuildClearDefaultSQL(pinsData), affected);
  }
  if (result && result->Number() == kDuplicateKey) {
    result->SetKXErrorNumber(erDataValueExists);
    result->SetMessage("This paper type already exists in the database.");
    result->SetIconType(KXError::kIconExclamation);
  }
  return result;
}

KXErrorPtr PaperType::ChangeOrder(KXData& pinsData, int16_t pintDirection) {
  KXErrorPtr result = CheckMethodAccess(pinsData, kxsAdmin);
  if (result)
    return result;
  // 32-bit arithmetic, as the position is stored: beyond it is an overflow
  // that moves nothing.
  int32_t target = 0;
  if (__builtin_add_overflow(position_, static_cast<int32_t>(pintDirection), &target))
    throw RuntimeError(kErrOverflow, "Overflow");
  int32_t affected = 0;
  result = pinsData.ExecuteNoRecords(BuildMoveNeighbourSQL(pinsData, target), affected);
  if (result)
    return result;
  return pinsData.ExecuteNoRecords(BuildMoveSelfSQL(pinsData, target), affected);
}

KXErrorPtr PaperType::Delete(KXData& pinsData) {
  KXErrorPtr result = CheckMethodAccess(pinsData, kxsAdmin);
  if (result)
    return result;
  TransactionGuard transaction(pinsData);
  result = transaction.Begin();
  int32_t affected = 0;
  if (!result)
    result = pinsData.ExecuteNoRecords(BuildDeleteLinksSQL(pinsData), affected);
  if (!result)
    result = pinsData.ExecuteNoRecords(BuildDeleteSQL(pinsData), affected);
  return transaction.Finish(result);
}

std::string PaperType::BuildLoadSQL(const KXData& pinsData) const {
  return std::string(
             "SELECT Description, (CostModifier + 100) AS Modifier, Active, DefaultType, "
             "ListPosition ") +
         "FROM " + pinsData.OwnerPrefix() + "tblPaperTypes " +
         "WHERE PaperTypeId = " + std::to_string(id_);
}

std::string PaperType::BuildUpdateSQL(const KXData& pinsData) const {
  return "UPDATE " + pinsData.OwnerPrefix() +
         "tblPaperTypes SET Description = " + QuoteSQL(description_) + ", " +
         "Active = " + FlagSQL(active_) + ", " + "DefaultType = " + FlagSQL(default_type_) + ", " +
         "CostModifier = " + StoredModifier(cost_modifier_) + " " +
         "WHERE PaperTypeId = " + std::to_string(id_);
}

std::string PaperType::BuildInsertSQL(const KXData& pinsData) const {
  return "SET NOCOUNT ON " + std::string("INSERT INTO ") + pinsData.OwnerPrefix() +
         "tblPaperTypes (Description, CostModifier, ListPosition, Active, DefaultType) " +
         "VALUES (" + QuoteSQL(description_) + ", " + StoredModifier(cost_modifier_) + ", 1, " +
         FlagSQL(active_) + ", " + FlagSQL(default_type_) + ") " + "SELECT @@IDENTITY As NewId " +
         "SET NOCOUNT OFF";
}

std::string PaperType::BuildMaxPositionSQL(const KXData& pinsData) const {
  return "SELECT MAX(ListPosition) + 1 AS MaxPosition FROM " + pinsData.OwnerPrefix() +
         "tblPaperTypes";
}

// Names the new row by its key, which the object takes only once committed.
std::string PaperType::BuildSetPositionSQL(const KXData& pinsData, const std::string& pstrPosition,
                                           int32_t plngId) const {
  return "UPDATE " + pinsData.OwnerPrefix() + "tblPaperTypes SET ListPosition = " + pstrPosition +
         " " + "WHERE PaperTypeId = " + std::to_string(plngId);
}

std::string PaperType::BuildClearDefaultSQL(const KXData& pinsData) const {
  return "UPDATE " + pinsData.OwnerPrefix() +
         "tblPaperTypes SET DefaultType = 0 WHERE DefaultType = 1 AND PaperTypeId <> " +
         std::to_string(id_);
}

std::string PaperType::BuildMoveNeighbourSQL(const KXData& pinsData, int32_t plngTarget) const {
  return "UPDATE " + pinsData.OwnerPrefix() +
         "tblPaperTypes SET ListPosition = " + std::to_string(position_) + " " +
         "WHERE ListPosition = " + std::to_string(plngTarget);
}

std::string PaperType::BuildMoveSelfSQL(const KXData& pinsData, int32_t plngTarget) const {
  return "UPDATE " + pinsData.OwnerPrefix() +
         "tblPaperTypes SET ListPosition = " + std::to_string(plngTarget) + " " +
         "WHERE PaperTypeId = " + std::to_string(id_);
}

std::string PaperType::BuildDeleteLinksSQL(const KXData& pinsData) const {
  return "DELETE FROM " + pinsData.OwnerPrefix() +
         "tblConfigurationPaperTypes WHERE PaperTypeId = " + std::to_string(id_);
}

std::string PaperType::BuildDeleteSQL(const KXData& pinsData) const {
  return "DELETE FROM " + pinsData.OwnerPrefix() +
         "tblPaperTypes WHERE PaperTypeId = " + std::to_string(id_);
}

}  // namespace kx4
