// One accounting export run: marks the jobs not yet exported as pending,
// lists them, and then marks them exported or hands them back.  The run is
// identified by its time stamp, fixed when the object is created.
//
// A run goes: create the object, MarkJobsAsPending, GetPendingJobs, export
// the rows, then MarkJobsAsDone on success or ClearPendingJobs on failure,
// all on the same object.  ClearLastRun stands alone.
//
// Overlapping runs.  The time stamp is stored to the minute, so runs created
// in the same minute share one and act as one run.  MarkJobsAsPending also
// takes over the jobs an earlier run left pending and re-stamps them (how a
// tool resumes after a crash): the earlier run's MarkJobsAsDone then marks
// nothing, and its ClearPendingJobs hands nothing back.  GetPendingJobs lists
// every pending job, whichever run marked it.  Jobs recorded after
// MarkJobsAsPending are not part of the run and stay not accounted.
//
// Every operation needs the right to report on all jobs (kxsReporterAll)
// and is one statement, so a failure leaves every job as it was.
#ifndef KX4DATA_ACCOUNTING_H_
#define KX4DATA_ACCOUNTING_H_

#include <memory>

#include <kx4data/DateTime.h>
#include <kx4data/Export.h>
#include <kx4data/KXError.h>

namespace kx4 {

namespace ado {
class Recordset;
}  // namespace ado

class AccountingInternal;
class KXData;

class KX4DATA_API Accounting {
 public:
  // Stamped with this machine's local clock.
  Accounting();

  // The run's time stamp; every statement writes and compares it rounded to
  // the minute.
  DateTime DateAccounted() const { return date_accounted_; }

  // Returns the jobs of the most recent exported run (the latest stamp among
  // exported jobs) to not accounted.  Whatever run that was.
  [[nodiscard]] KXErrorPtr ClearLastRun(KXData& pinsData);
  // Every job not yet exported, pending ones of other runs included, becomes
  // pending under this run's stamp.
  [[nodiscard]] KXErrorPtr MarkJobsAsPending(KXData& pinsData);
  // Every pending job, of any run, by print time, with the job list's
  // columns.  On failure `pinsJobs` is left as it was.
  [[nodiscard]] KXErrorPtr GetPendingJobs(KXData& pinsData,
                                          std::shared_ptr<ado::Recordset>& pinsJobs);
  // This run's pending jobs become exported.
  [[nodiscard]] KXErrorPtr MarkJobsAsDone(KXData& pinsData);
  // Abandons the run: its pending jobs go back to not accounted.
  [[nodiscard]] KXErrorPtr ClearPendingJobs(KXData& pinsData);

 private:
  friend class AccountingInternal;
  explicit Accounting(DateTime date_accounted) : date_accounted_(date_accounted) {}

  DateTime date_accounted_;
};

}  // namespace kx4

#endif  // KX4DATA_ACCOUNTING_H_
