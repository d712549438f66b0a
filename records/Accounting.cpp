#include <kx4data/Accounting.h>

#include <memory>
#include <string>

#include <kx4data/KXData.h>
#include <kx4data/ado/Recordset.h>

#include "global/JobListSelect.h"
#include "session/Common.h"
#include "session/KXDataInternal.h"
#include "session/Security.h"

namespace kx4 {
namespace {

// The run's stamp as every statement writes and compares it: the same
// minute-rounding cast on both sides, so a run finds exactly its own jobs.
std::string Stamp(const Accounting& run) {
  return DateToSQL(run.DateAccounted()).ToString();
}

// The inner query names the table without the owner prefix.
std::string BuildClearLastRunSQL(const std::string& prefix) {
  return "UPDATE " + prefix + "tblPrintJobs SET Accounted = 0, AccountedOn = NULL " +
         "WHERE Accounted = 2 AND AccountedOn = (SELECT MAX(AccountedOn) FROM tblPrintJobs WHERE "
         "Accounted = 2)";
}

std::string BuildMarkPendingSQL(const std::string& prefix, const Accounting& run) {
  return "UPDATE " + prefix + "tblPrintJobs SET Accounted = 1, AccountedOn = " + Stamp(run) + " " +
         "WHERE (Accounted = 0 OR Accounted = 1)";
}

// Jobs without a validated value or user stay listed; a job whose unit does
// not exist is not.
std::string BuildPendingJobsSQL(const std::string& prefix) {
  return kJobListSelect + std::string("FROM ") + prefix + "tblPrintJobs P " + "LEFT OUTER JOIN " +
         prefix + "tblValidatedValues C ON C.ValidatedId = P.ValidatedId " + "LEFT OUTER JOIN " +
         prefix + "tblUsers R ON R.UserId = P.UserId " + "INNER JOIN " + prefix +
         "tblUnitMeasure U ON U.UnitMeasureId = P.UnitMeasureId " + "WHERE P.Accounted = 1 " +
         "ORDER BY P.DatePrinted";
}

std::string BuildMarkDoneSQL(const std::string& prefix, const Accounting& run) {
  return "UPDATE " + prefix +
         "tblPrintJobs SET Accounted = 2 WHERE Accounted = 1 AND AccountedOn = " + Stamp(run) + " ";
}

std::string BuildClearPendingSQL(const std::string& prefix, const Accounting& run) {
  return "UPDATE " + prefix +
         "tblPrintJobs SET Accounted = 0, AccountedOn = NULL WHERE Accounted = 1 AND AccountedOn "
         "= " +
         Stamp(run);
}

// Every change of the workflow: the access check, then one statement.
[[nodiscard]] KXErrorPtr Change(KXData& pinsData, const std::string& pstrSQL) {
  if (KXErrorPtr error = CheckMethodAccess(pinsData, kxsReporterAll))
    return error;
  int32_t affected = 0;
  return KXDataInternal::ExecuteNoRecords(pinsData, pstrSQL, affected);
}

}  // namespace

Accounting::Accounting() : date_accounted_(DateTime::Now()) {}

KXErrorPtr Accounting::ClearLastRun(KXData& pinsData) {
  return Change(pinsData, BuildClearLastRunSQL(KXDataInternal::OwnerPrefix(pinsData)));
}

KXErrorPtr Accounting::MarkJobsAsPending(KXData& pinsData) {
  return Change(pinsData, BuildMarkPendingSQL(KXDataInternal::OwnerPrefix(pinsData), *this));
}

KXErrorPtr Accounting::GetPendingJobs(KXData& pinsData, std::shared_ptr<ado::Recordset>& pinsJobs) {
  if (KXErrorPtr error = CheckMethodAccess(pinsData, kxsReporterAll))
    return error;
  std::shared_ptr<ado::Recordset> jobs;
  if (KXErrorPtr error = KXDataInternal::ExecuteSQL(
          pinsData, jobs, BuildPendingJobsSQL(KXDataInternal::OwnerPrefix(pinsData))))
    return error;
  pinsJobs = std::move(jobs);
  return nullptr;
}

KXErrorPtr Accounting::MarkJobsAsDone(KXData& pinsData) {
  return Change(pinsData, BuildMarkDoneSQL(KXDataInternal::OwnerPrefix(pinsData), *this));
}

KXErrorPtr Accounting::ClearPendingJobs(KXData& pinsData) {
  return Change(pinsData, BuildClearPendingSQL(KXDataInternal::OwnerPrefix(pinsData), *this));
}

}  // namespace kx4
