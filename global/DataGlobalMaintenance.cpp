// Members of DataGlobal that act on the database as a whole: purging old
// jobs and counting the active reference rows.
#include <string>

#include <kx4data/DataGlobal.h>
#include <kx4data/KXData.h>
#include <kx4data/ado/Recordset.h>

#include "session/Common.h"
#include "session/KXDataInternal.h"
#include "session/Security.h"

namespace kx4 {
namespace {

std::string BuildPurgeJobsSQL(const std::string& prefix, DateTime from, DateTime to) {
  return "DELETE FROM " + prefix +
         "tblPrintJobs WHERE DatePrinted >= " + DateToSQL(from).ToString() + " " +
         "AND DatePrinted < " + DateToSQL(to).ToString();
}

std::string BuildValidatedValueCountSQL(const std::string& prefix) {
  return "SELECT COUNT(*) FROM " + prefix + "tblValidatedValues WHERE Active = 1";
}

std::string BuildPaperTypeCountSQL(const std::string& prefix) {
  return "SELECT COUNT(*) FROM " + prefix + "tblPaperTypes WHERE Active = 1";
}

// `count` is 0 unless the statement succeeds.
[[nodiscard]] KXErrorPtr Count(KXData& pinsData, const std::string& sql, int32_t& count) {
  count = 0;
  std::shared_ptr<ado::Recordset> rs;
  if (KXErrorPtr result = KXDataInternal::ExecuteSQL(pinsData, rs, sql))
    return result;
  count = rs->Fields(0).Value().ToLong();
  rs->Close();
  return nullptr;
}

}  // namespace

KXErrorPtr DataGlobal::PurgeJobs(KXData& pinsData, DateTime pdtmFromDate, DateTime pdtmToDate) {
  if (KXErrorPtr refused = CheckMethodAccess(pinsData, kxsAdmin))
    return refused;
  if (pdtmFromDate > pdtmToDate)
    return MakeError("Invalid dates. From date must be less than to date.", KXError::kIconStop);
  int32_t affected = 0;
  return KXDataInternal::ExecuteNoRecords(
      pinsData, BuildPurgeJobsSQL(KXDataInternal::OwnerPrefix(pinsData), pdtmFromDate, pdtmToDate),
      affected);
}

KXErrorPtr DataGlobal::GetValidatedValueCount(KXData& pinsData, int32_t& plngValueCount) {
  return Count(pinsData, BuildValidatedValueCountSQL(KXDataInternal::OwnerPrefix(pinsData)),
               plngValueCount);
}

KXErrorPtr DataGlobal::GetPaperTypeCount(KXData& pinsData, int32_t& plngPaperCount) {
  return Count(pinsData, BuildPaperTypeCountSQL(KXDataInternal::OwnerPrefix(pinsData)),
               plngPaperCount);
}

}  // namespace kx4
