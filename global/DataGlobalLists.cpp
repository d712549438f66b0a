// The lists DataGlobal hands the administration tools (the job list has a
// file of its own).
#include <string>

#include <kx4data/DataGlobal.h>
#include <kx4data/KXData.h>
#include <kx4data/ado/Recordset.h>

#include "global/ListFilters.h"
#include "session/KXDataInternal.h"
#include "session/Security.h"

namespace kx4 {
namespace {

std::string BuildPaperTypeListSQL(const std::string& prefix, bool active_only) {
  return "SELECT PaperTypeId, Description, (CostModifier + 100) AS Modifier, Active, "
         "DefaultType, ListPosition FROM " +
         prefix + "tblPaperTypes " + (active_only ? "WHERE Active = 1 " : "") +
         "ORDER BY ListPosition";
}

// Validated values and users share the shape of their filter array: the
// activity at 0, then upper-cased prefixes of the given columns.
std::string BuildActivityPrefixWhere(const VariantArray& filters,
                                     std::initializer_list<const char*> prefix_columns) {
  std::string where = ActivityCondition(filters[0]);
  int32_t index = 1;
  for (const char* column : prefix_columns) {
    const Variant& element = filters[index++];
    if (!element.IsNull())
      where += std::string("UPPER(") + column + ") LIKE " + UpperPattern(element) + " AND ";
  }
  // Drops the final "AND " and keeps one blank before the next piece.
  if (!where.empty())
    where = "WHERE " + where.substr(0, where.size() - 4);
  return where;
}

std::string BuildValidatedValueListSQL(const std::string& prefix, const std::string& where) {
  return "SELECT C.ValidatedId, C.Code, C.Description, (C.CostModifier + 100) AS Modifier, "
         "C.Active FROM " +
         prefix + "tblValidatedValues C " + where + "ORDER BY Code";
}

std::string BuildUserListSQL(const std::string& prefix, const std::string& where) {
  return "SELECT UserId, PinCode, Name, UseQuota, QuotaRemaining, Active, AdminSecurity, "
         "ReportSecurity FROM " +
         prefix + "tblUsers " + where + "ORDER BY Name";
}

std::string BuildNetworkUserListSQL(const std::string& prefix) {
  return "SELECT DISTINCT P.NetworkUser FROM " + prefix + "tblPrintJobs P ORDER BY P.NetworkUser";
}

std::string BuildConfigurationListSQL(const std::string& prefix) {
  return "SELECT C.ConfigurationId, C.Name, C.TrackOptionId, T.Description AS TrackDesc, "
         "C.UnitMeasureId, M.Name AS UnitMeasure, C.UnitCost, C.MaxPages, "
         "(C.ColorModifier + 100) AS Modifier FROM " +
         prefix + "tblConfigurations C, " + prefix + "tblUnitMeasure M, " + prefix +
         "tblTrackOptions T WHERE M.UnitMeasureId = C.UnitMeasureId AND T.TrackOptionId = "
         "C.TrackOptionId ORDER BY C.Name";
}

std::string BuildUnitMeasureListSQL(const std::string& prefix) {
  return "SELECT UnitMeasureId, Name, UnitDisplay, ReportDisplay FROM " + prefix +
         "tblUnitMeasure ";
}

std::string BuildPrinterListSQL(const std::string& prefix) {
  return "SELECT P.PrinterId, P.Name, P.Port, P.ConfigurationId, C.Name As ConfigName FROM " +
         prefix + "tblPrinters P, " + prefix +
         "tblConfigurations C WHERE C.ConfigurationId = P.ConfigurationId ORDER BY P.Name";
}

std::string BuildJobPrinterListSQL(const std::string& prefix) {
  return "SELECT DISTINCT PrinterName FROM " + prefix + "tblPrintJobs ORDER BY PrinterName";
}

std::string BuildApplicationListSQL(const std::string& prefix) {
  return "SELECT ApplicationId, Name, Description, TrackOptionId FROM " + prefix +
         "tblApplications ORDER BY Name";
}

// A list without filters or access rule.
[[nodiscard]] KXErrorPtr List(KXData& pinsData, std::shared_ptr<ado::Recordset>& list,
                              std::string (*build)(const std::string& prefix)) {
  return KXDataInternal::ExecuteSQL(pinsData, list, build(KXDataInternal::OwnerPrefix(pinsData)));
}

}  // namespace

KXErrorPtr DataGlobal::GetPaperTypeList(KXData& pinsData,
                                        std::shared_ptr<ado::Recordset>& pinsPaperTypeList,
                                        bool pblnActiveOnly) {
  return KXDataInternal::ExecuteSQL(
      pinsData, pinsPaperTypeList,
      BuildPaperTypeListSQL(KXDataInternal::OwnerPrefix(pinsData), pblnActiveOnly));
}

KXErrorPtr DataGlobal::GetValidatedValueList(KXData& pinsData,
                                             std::shared_ptr<ado::Recordset>& pinsValueList,
                                             const Variant& pvntParameters) {
  // Anything but Empty or Null must be the array; a scalar fails here.
  std::string where;
  if (!pvntParameters.IsEmpty() && !pvntParameters.IsNull())
    where = BuildActivityPrefixWhere(pvntParameters.Array(), {"C.Code", "C.Description"});
  return KXDataInternal::ExecuteSQL(
      pinsData, pinsValueList,
      BuildValidatedValueListSQL(KXDataInternal::OwnerPrefix(pinsData), where));
}

KXErrorPtr DataGlobal::GetUserList(KXData& pinsData, std::shared_ptr<ado::Recordset>& pinsUserList,
                                   const Variant& pvntParameters) {
  if (KXErrorPtr refused = CheckMethodAccess(pinsData, kxsAdmin)) {
    pinsUserList = nullptr;
    return refused;
  }
  std::string where;
  if (pvntParameters.IsArray())
    where = BuildActivityPrefixWhere(pvntParameters.Array(), {"Name"});
  return KXDataInternal::ExecuteSQL(pinsData, pinsUserList,
                                    BuildUserListSQL(KXDataInternal::OwnerPrefix(pinsData), where));
}

KXErrorPtr DataGlobal::GetNetworkUserList(KXData& pinsData,
                                          std::shared_ptr<ado::Recordset>& pinsUserList) {
  return List(pinsData, pinsUserList, BuildNetworkUserListSQL);
}

KXErrorPtr DataGlobal::GetConfigurationList(KXData& pinsData,
                                            std::shared_ptr<ado::Recordset>& pinsConfigList) {
  return List(pinsData, pinsConfigList, BuildConfigurationListSQL);
}

KXErrorPtr DataGlobal::GetUnitMeasureList(KXData& pinsData,
                                          std::shared_ptr<ado::Recordset>& pinsUnitMeasureList) {
  return List(pinsData, pinsUnitMeasureList, BuildUnitMeasureListSQL);
}

KXErrorPtr DataGlobal::GetPrinterList(KXData& pinsData,
                                      std::shared_ptr<ado::Recordset>& pinsPrinterList) {
  return List(pinsData, pinsPrinterList, BuildPrinterListSQL);
}

KXErrorPtr DataGlobal::GetJobPrinterList(KXData& pinsData,
                                         std::shared_ptr<ado::Recordset>& pinsPrinterList) {
  return List(pinsData, pinsPrinterList, BuildJobPrinterListSQL);
}

KXErrorPtr DataGlobal::GetApplicationList(KXData& pinsData,
                                          std::shared_ptr<ado::Recordset>& pinsAppList) {
  return List(pinsData, pinsAppList, BuildApplicationListSQL);
}

}  // namespace kx4
