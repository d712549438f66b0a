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
#include "session/KXDataInternal.h"
#include "session/Security.h"

namespace kx4 {

namespace {

std::string BuildLoadSQL(const std::string& prefix, const PaperType& paper) {
  return std::string(
             "SELECT Description, (CostModifier + 100) AS Modifier, Active, DefaultType, "
             "ListPosition ") +
         "FROM " + prefix + "tblPaperTypes " + "WHERE PaperTypeId = " + std::to_string(paper.Id());
}

std::string BuildUpdateSQL(const std::string& prefix, const PaperType& paper) {
  return "UPDATE " + prefix + "tblPaperTypes SET Description = " + QuoteSQL(paper.Description()) +
         ", " + "Active = " + FlagSQL(paper.Active()) + ", " +
         "DefaultType = " + FlagSQL(paper.DefaultType()) + ", " +
         "CostModifier = " + StoredModifier(paper.CostModifier()) + " " +
         "WHERE PaperTypeId = " + std::to_string(paper.Id());
}

std::string BuildInsertSQL(const std::string& prefix, const PaperType& paper) {
  return "SET NOCOUNT ON " + std::string("INSERT INTO ") + prefix +
         "tblPaperTypes (Description, CostModifier, ListPosition, Active, DefaultType) " +
         "VALUES (" + QuoteSQL(paper.Description()) + ", " + StoredModifier(paper.CostModifier()) +
         ", 1, " + FlagSQL(paper.Active()) + ", " + FlagSQL(paper.DefaultType()) + ") " +
         "SELECT @@IDENTITY As NewId " + "SET NOCOUNT OFF";
}

std::string BuildMaxPositionSQL(const std::string& prefix) {
  return "SELECT MAX(ListPosition) + 1 AS MaxPosition FROM " + prefix + "tblPaperTypes";
}

// Names the new row by its key, which the object takes only once committed.
std::string BuildSetPositionSQL(const std::string& prefix, const std::string& pstrPosition,
                                int32_t plngId) {
  return "UPDATE " + prefix + "tblPaperTypes SET ListPosition = " + pstrPosition + " " +
         "WHERE PaperTypeId = " + std::to_string(plngId);
}

std::string BuildClearDefaultSQL(const std::string& prefix, const PaperType& paper) {
  return "UPDATE " + prefix +
         "tblPaperTypes SET DefaultType = 0 WHERE DefaultType = 1 AND PaperTypeId <> " +
         std::to_string(paper.Id());
}

std::string BuildMoveNeighbourSQL(const std::string& prefix, const PaperType& paper,
                                  int32_t plngTarget) {
  return "UPDATE " + prefix +
         "tblPaperTypes SET ListPosition = " + std::to_string(paper.Position()) + " " +
         "WHERE ListPosition = " + std::to_string(plngTarget);
}

std::string BuildMoveSelfSQL(const std::string& prefix, const PaperType& paper,
                             int32_t plngTarget) {
  return "UPDATE " + prefix + "tblPaperTypes SET ListPosition = " + std::to_string(plngTarget) +
         " " + "WHERE PaperTypeId = " + std::to_string(paper.Id());
}

std::string BuildDeleteLinksSQL(const std::string& prefix, const PaperType& paper) {
  return "DELETE FROM " + prefix +
         "tblConfigurationPaperTypes WHERE PaperTypeId = " + std::to_string(paper.Id());
}

std::string BuildDeleteSQL(const std::string& prefix, const PaperType& paper) {
  return "DELETE FROM " + prefix +
         "tblPaperTypes WHERE PaperTypeId = " + std::to_string(paper.Id());
}

// Created at position 1 and then moved behind the highest position, all in
// one transaction; the maximum includes the new row, so an empty table puts
// it at 2.  Only a committed row gives `id` its key: a rolled-back one would
// turn the next Save into an update of nothing.
[[nodiscard]] KXErrorPtr Insert(KXData& pinsData, const PaperType& paper, int32_t& id) {
  const std::string prefix = KXDataInternal::OwnerPrefix(pinsData);
  TransactionGuard transaction(pinsData);
  KXErrorPtr result = transaction.Begin();
  int32_t new_id = -1;
  if (!result)
    result = ExecuteReturningNewId(pinsData, BuildInsertSQL(prefix, paper), Variant(), new_id);
  if (!result) {
    std::shared_ptr<ado::Recordset> rs;
    result = KXDataInternal::ExecuteSQL(pinsData, rs, BuildMaxPositionSQL(prefix));
    if (!result) {
      const std::string max_position = std::to_string(rs->Fields("MaxPosition").Value().ToLong());
      rs->Close();
      int32_t affected = 0;
      result = KXDataInternal::ExecuteNoRecords(
          pinsData, BuildSetPositionSQL(prefix, max_position, new_id), affected);
    }
  }
  result = transaction.Finish(result);
  if (!result)
    id = new_id;
  return result;
}

}  // namespace

KXErrorPtr PaperType::Load(KXData& pinsData, int32_t plngId) {
  id_ = plngId;
  std::shared_ptr<ado::Recordset> rs;
  KXErrorPtr result = KXDataInternal::ExecuteSQL(
      pinsData, rs, BuildLoadSQL(KXDataInternal::OwnerPrefix(pinsData), *this));
  if (result)
    return result;
  if (IsEmpty(*rs)) {
    result = MakeError("Paper type record expected. ID: " + std::to_string(id_), KXError::kIconStop,
                       erRecordExpected);
  } else {
    // Read everything first, so a row that cannot be read changes nothing.
    std::string description = TextField(*rs, "Description");
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

KXErrorPtr PaperType::Save(KXData& pinsData) {
  KXErrorPtr result = CheckMethodAccess(pinsData, kxsAdmin);
  if (result)
    return result;
  const std::string prefix = KXDataInternal::OwnerPrefix(pinsData);
  if (id_ != -1) {
    int32_t affected = 0;
    result = KXDataInternal::ExecuteNoRecords(pinsData, BuildUpdateSQL(prefix, *this), affected);
  } else {
    result = Insert(pinsData, *this, id_);
  }
  // Outside the transaction: a failure here leaves the saved row in place.
  if (!result && default_type_) {
    int32_t affected = 0;
    result =
        KXDataInternal::ExecuteNoRecords(pinsData, BuildClearDefaultSQL(prefix, *this), affected);
  }
  MarkDuplicate(result, "This paper type already exists in the database.");
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
  const std::string prefix = KXDataInternal::OwnerPrefix(pinsData);
  int32_t affected = 0;
  result = KXDataInternal::ExecuteNoRecords(pinsData, BuildMoveNeighbourSQL(prefix, *this, target),
                                            affected);
  if (result)
    return result;
  return KXDataInternal::ExecuteNoRecords(pinsData, BuildMoveSelfSQL(prefix, *this, target),
                                          affected);
}

KXErrorPtr PaperType::Delete(KXData& pinsData) {
  KXErrorPtr result = CheckMethodAccess(pinsData, kxsAdmin);
  if (result)
    return result;
  TransactionGuard transaction(pinsData);
  result = transaction.Begin();
  const std::string prefix = KXDataInternal::OwnerPrefix(pinsData);
  int32_t affected = 0;
  if (!result)
    result =
        KXDataInternal::ExecuteNoRecords(pinsData, BuildDeleteLinksSQL(prefix, *this), affected);
  if (!result)
    result = KXDataInternal::ExecuteNoRecords(pinsData, BuildDeleteSQL(prefix, *this), affected);
  return transaction.Finish(result);
}

}  // namespace kx4
