// The lists DataGlobal hands the administration and reporting tools.
#include <string>

#include <kx4data/DataGlobal.h>
#include <kx4data/KXData.h>
#include <kx4data/ado/Recordset.h>

#include "session/KXDataInternal.h"

namespace kx4 {
namespace {

std::string BuildPaperTypeListSQL(const std::string& prefix, bool active_only) {
  return "SELECT PaperTypeId, Description, (CostModifier + 100) AS Modifier, Active, "
         "DefaultType, ListPosition FROM " +
         prefix + "tblPaperTypes " + (active_only ? "WHERE Active = 1 " : "") +
         "ORDER BY ListPosition";
}

}  // namespace

KXErrorPtr DataGlobal::GetPaperTypeList(KXData& pinsData,
                                        std::shared_ptr<ado::Recordset>& pinsPaperTypeList,
                                        bool pblnActiveOnly) {
  return KXDataInternal::ExecuteSQL(
      pinsData, pinsPaperTypeList,
      BuildPaperTypeListSQL(KXDataInternal::OwnerPrefix(pinsData), pblnActiveOnly));
}

}  // namespace kx4
