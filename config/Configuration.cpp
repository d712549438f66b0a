#include <kx4data/Configuration.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

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

constexpr const char* kNotSaved = "The configuration was not saved";

// Shared by both loads, so that they fill the object from the same columns.
constexpr const char* kConfigurationSelect =
    "SELECT C.ConfigurationId, C.Name, C.TrackOptionId, C.UnitMeasureId, C.UnitCost, "
    "U.UnitDisplay AS UnitDesc, C.MaxPages, C.MaxError, (C.ColorModifier + 100) AS Modifier, "
    "C.Active ";

std::string BuildLoadSQL(const std::string& prefix, const Configuration& config) {
  return kConfigurationSelect + std::string("FROM ") + prefix + "tblConfigurations C, " + prefix +
         "tblUnitMeasure U " + "WHERE C.ConfigurationId = " + std::to_string(config.Id()) +
         " AND U.UnitMeasureId = C.UnitMeasureId";
}

std::string BuildLoadUnlistedSQL(const std::string& prefix) {
  return kConfigurationSelect + std::string("FROM ") + prefix + "tblConfigurations C, " + prefix +
         "tblSettings S, " + prefix + "tblUnitMeasure U " +
         "WHERE C.ConfigurationId = S.UnlistedPrinterConfigId AND U.UnitMeasureId = "
         "C.UnitMeasureId ";
}

std::string BuildStoredPaperTypesSQL(const std::string& prefix, const Configuration& config) {
  return "SELECT CP.PaperTypeId, P.Description, (CP.CostModifier + 100) AS Modifier " +
         std::string("FROM ") + prefix + "tblConfigurationPaperTypes CP, " + prefix +
         "tblPaperTypes P " + "WHERE CP.ConfigurationId = " + std::to_string(config.Id()) +
         " AND P.PaperTypeId = CP.PaperTypeId " + "ORDER BY P.ListPosition";
}

std::string BuildUpdateSQL(const std::string& prefix, const Configuration& config) {
  const std::string max_pages = config.MaxPages() > 0
                                    ? "MaxPages = " + std::to_string(config.MaxPages()) + ", "
                                    : std::string("MaxPages = NULL, ");
  return "UPDATE " + prefix + "tblConfigurations SET " + "Name = " + QuoteSQL(config.Name()) +
         ", " + "TrackOptionId = " + std::to_string(config.TrackOptionId()) + ", " +
         "UnitMeasureId = " + std::to_string(config.UnitMeasureId()) + ", " + "UnitCost = ?, " +
         max_pages + "MaxError = " + QuoteSQL(config.MaxError()) + ", " +
         "ColorModifier = " + StoredModifier(config.ColorModifier()) + ", " +
         "Active = " + FlagSQL(config.Active()) + " " +
         "WHERE ConfigurationId = " + std::to_string(config.Id());
}

std::string BuildInsertSQL(const std::string& prefix, const Configuration& config) {
  const std::string max_pages =
      config.MaxPages() > 0 ? std::to_string(config.MaxPages()) + ", " : std::string("NULL, ");
  return "SET NOCOUNT ON " + std::string("INSERT INTO ") + prefix +
         "tblConfigurations (Name, TrackOptionId, UnitMeasureId, UnitCost, " +
         "MaxPages, MaxError, ColorModifier, Active) " + "VALUES(" + QuoteSQL(config.Name()) +
         ", " + std::to_string(config.TrackOptionId()) + ", " +
         std::to_string(config.UnitMeasureId()) + ", ?, " + max_pages +
         QuoteSQL(config.MaxError()) + ", " + StoredModifier(config.ColorModifier()) + ", 1) " +
         "SELECT @@IDENTITY AS NewId " + "SET NOCOUNT OFF ";
}

std::string BuildDeletePaperTypesSQL(const std::string& prefix, int32_t plngId) {
  return "DELETE FROM " + prefix + "tblConfigurationPaperTypes " +
         "WHERE ConfigurationId = " + std::to_string(plngId);
}

std::string BuildInsertPaperTypeSQL(const std::string& prefix, int32_t plngId,
                                    const PaperType& entry) {
  return "INSERT INTO " + prefix +
         "tblConfigurationPaperTypes (ConfigurationId, PaperTypeId, CostModifier) " + "VALUES (" +
         std::to_string(plngId) + ", " + std::to_string(entry.Id()) + ", " +
         StoredModifier(entry.CostModifier()) + ")";
}

std::string BuildSetUnlistedSQL(const std::string& prefix, const Configuration& config) {
  return "UPDATE " + prefix +
         "tblSettings SET UnlistedPrinterConfigId = " + std::to_string(config.Id());
}

std::string BuildDeleteSQL(const std::string& prefix, const Configuration& config) {
  return "DELETE FROM " + prefix +
         "tblConfigurations WHERE ConfigurationId = " + std::to_string(config.Id());
}

// Checked before the transaction begins: a modifier found unstorable half-way
// through the rewrite would fail the save after statements had run.
[[nodiscard]] KXErrorPtr CheckModifiers(const Configuration& config) {
  if (KXErrorPtr error =
          CheckStorableModifier(config.ColorModifier(), kNotSaved, "its color modifier"))
    return error;
  for (const std::shared_ptr<PaperType>& entry : *config.PaperTypes()) {
    if (!entry->InCurrentConfig())
      continue;
    if (KXErrorPtr error = CheckStorableModifier(
            entry->CostModifier(), kNotSaved,
            "the cost modifier of paper type \"" + entry->Description() + "\""))
      return error;
  }
  return nullptr;
}

// The configuration's rows under `plngId`, from the entries it offers, in
// collection order; stops at the first failure.
[[nodiscard]] KXErrorPtr RewritePaperTypes(KXData& pinsData, const Configuration& config,
                                           int32_t plngId) {
  const std::string prefix = KXDataInternal::OwnerPrefix(pinsData);
  int32_t affected = 0;
  KXErrorPtr result = KXDataInternal::ExecuteNoRecords(
      pinsData, BuildDeletePaperTypesSQL(prefix, plngId), affected);
  for (const std::shared_ptr<PaperType>& entry : *config.PaperTypes()) {
    if (result)
      break;
    if (entry->InCurrentConfig()) {
      result = KXDataInternal::ExecuteNoRecords(
          pinsData, BuildInsertPaperTypeSQL(prefix, plngId, *entry), affected);
    }
  }
  return result;
}

}  // namespace

void Configuration::SetName(const std::string& value) {
  name_ = TrimSpaces(value);
}

void Configuration::SetMaxError(const std::string& value) {
  max_error_ = TrimSpaces(value);
}

KXErrorPtr Configuration::Save(KXData& pinsData) {
  if (KXErrorPtr error = CheckMethodAccess(pinsData, kxsAdmin))
    return error;
  if (KXErrorPtr error = CheckModifiers(*this))
    return error;
  const std::string prefix = KXDataInternal::OwnerPrefix(pinsData);
  const Variant parameters(VariantArray{Variant(unit_cost_)});
  TransactionGuard transaction(pinsData);
  KXErrorPtr result = transaction.Begin();
  int32_t key = id_;
  if (!result) {
    if (id_ != -1) {
      int32_t affected = 0;
      result = KXDataInternal::ExecuteNoRecords(pinsData, BuildUpdateSQL(prefix, *this), parameters,
                                                affected);
    } else {
      result = ExecuteReturningNewId(pinsData, BuildInsertSQL(prefix, *this), parameters, key);
    }
  }
  if (!result)
    result = RewritePaperTypes(pinsData, *this, key);
  result = transaction.Finish(result);
  // A rolled-back insert leaves no row, so the object keeps -1.
  if (!result)
    id_ = key;
  MarkDuplicate(result, "This configuration already exists in the database.");
  return result;
}

KXErrorPtr Configuration::SetAsUnlistedPrinterConfig(KXData& pinsData) {
  if (KXErrorPtr error = CheckMethodAccess(pinsData, kxsAdmin))
    return error;
  if (id_ == -1)
    return MakeError("No id for this configuration. Could not set.", KXError::kIconExclamation);
  int32_t affected = 0;
  return KXDataInternal::ExecuteNoRecords(
      pinsData, BuildSetUnlistedSQL(KXDataInternal::OwnerPrefix(pinsData), *this), affected);
}

KXErrorPtr Configuration::Load(KXData& pinsData, int32_t plngId) {
  id_ = plngId;
  return LoadRow(pinsData, BuildLoadSQL(KXDataInternal::OwnerPrefix(pinsData), *this));
}

KXErrorPtr Configuration::LoadUnlistedPrinterConfig(KXData& pinsData) {
  return LoadRow(pinsData, BuildLoadUnlistedSQL(KXDataInternal::OwnerPrefix(pinsData)));
}

KXErrorPtr Configuration::LoadRow(KXData& pinsData, const std::string& pstrSQL) {
  std::shared_ptr<ado::Recordset> rs;
  if (KXErrorPtr error =
          SelectRow(pinsData, pstrSQL, "Configuration expected. Id: " + std::to_string(id_), rs))
    return error;
  // Everything is read before anything is assigned, so a row that cannot be
  // read leaves the object as it was.  An empty name is stored as NULL.
  const int32_t id = rs->Fields("ConfigurationId").Value().ToLong();
  std::string name = TextField(*rs, "Name");
  const auto track_option =
      static_cast<KXTrackStatus>(rs->Fields("TrackOptionId").Value().ToLong());
  const int32_t unit_measure = rs->Fields("UnitMeasureId").Value().ToLong();
  const Currency unit_cost = rs->Fields("UnitCost").Value().ToCurrency();
  const int16_t max_pages = FieldValue(rs->Fields("MaxPages")).ToInteger();
  std::string max_error = TextField(*rs, "MaxError");
  const int16_t color_modifier = rs->Fields("Modifier").Value().ToInteger();
  const bool active = rs->Fields("Active").Value().ToBoolean();
  std::string unit_desc = TextField(*rs, "UnitDesc");
  rs->Close();
  id_ = id;
  name_ = std::move(name);
  track_option_id_ = track_option;
  unit_measure_id_ = unit_measure;
  unit_cost_ = unit_cost;
  max_pages_ = max_pages;
  max_error_ = std::move(max_error);
  color_modifier_ = color_modifier;
  active_ = active;
  unit_desc_ = std::move(unit_desc);
  return ResetPaperTypes(pinsData);
}

KXErrorPtr Configuration::Delete(KXData& pinsData) {
  if (KXErrorPtr error = CheckMethodAccess(pinsData, kxsAdmin))
    return error;
  bool used = false;
  if (KXErrorPtr error =
          pinsData.DataValueExists(used, "tblPrinters", "ConfigurationId", Variant(id_)))
    return error;
  if (!used) {
    if (KXErrorPtr error =
            pinsData.DataValueExists(used, "tblSettings", "UnlistedPrinterConfigId", Variant(id_)))
      return error;
  }
  if (used) {
    return MakeError("Cannot delete the configuration, it is associated with printers.",
                     KXError::kIconExclamation, erChildrenExist);
  }
  const std::string prefix = KXDataInternal::OwnerPrefix(pinsData);
  TransactionGuard transaction(pinsData);
  KXErrorPtr result = transaction.Begin();
  int32_t affected = 0;
  if (!result) {
    result =
        KXDataInternal::ExecuteNoRecords(pinsData, BuildDeletePaperTypesSQL(prefix, id_), affected);
  }
  if (!result)
    result = KXDataInternal::ExecuteNoRecords(pinsData, BuildDeleteSQL(prefix, *this), affected);
  return transaction.Finish(result);
}

KXErrorPtr Configuration::ResetPaperTypes(KXData& pinsData) {
  std::shared_ptr<ado::Recordset> active;
  if (KXErrorPtr error = DataGlobal().GetPaperTypeList(pinsData, active, true))
    return error;
  std::shared_ptr<ado::Recordset> stored;
  if (KXErrorPtr error = KXDataInternal::ExecuteSQL(
          pinsData, stored, BuildStoredPaperTypesSQL(KXDataInternal::OwnerPrefix(pinsData), *this)))
    return error;
  // Matched by paper type: list positions need not be unique, so walking
  // both lists side by side could pass a stored row by.  Rows of inactive
  // paper types find no entry and drop out at the next Save.
  // Fields follow the current row, so each is looked up once.
  std::vector<std::pair<int32_t, int16_t>> offered;
  const ado::Field stored_id = stored->Fields("PaperTypeId");
  const ado::Field stored_modifier = stored->Fields("Modifier");
  for (; !stored->Eof(); stored->MoveNext())
    offered.emplace_back(stored_id.Value().ToLong(), stored_modifier.Value().ToInteger());
  // Sorted by paper type, the first stored row of each winning.
  std::stable_sort(offered.begin(), offered.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  const ado::Field id = active->Fields("PaperTypeId");
  const ado::Field description = active->Fields("Description");
  const ado::Field modifier = active->Fields("Modifier");
  const ado::Field default_type = active->Fields("DefaultType");
  auto fresh = std::make_shared<PaperTypeCollection>();
  for (; !active->Eof(); active->MoveNext()) {
    auto entry = std::make_shared<PaperType>();
    entry->SetId(id.Value().ToLong());
    // NULL leaves the entry's empty description.
    const Variant text = description.Value();
    if (const std::string* value = text.Get<std::string>())
      entry->SetDescription(*value);
    entry->SetCostModifier(modifier.Value().ToInteger());
    entry->SetDefaultType(default_type.Value().ToBoolean());
    const auto found = std::lower_bound(
        offered.begin(), offered.end(), entry->Id(),
        [](const auto& row, int32_t paper_type) { return row.first < paper_type; });
    if (found != offered.end() && found->first == entry->Id()) {
      entry->SetInCurrentConfig(true);
      entry->SetCostModifier(found->second);
    }
    fresh->Add(std::move(entry));
  }
  stored->Close();
  active->Close();
  paper_types_ = std::move(fresh);
  return nullptr;
}

}  // namespace kx4
