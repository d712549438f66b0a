// The job list as the tool prints it: the library's columns and each job's
// cost as PrintJob::JobCost computes it, and a summary per user.
#ifndef KX4_TOOLS_KX4_JOBROWS_H_
#define KX4_TOOLS_KX4_JOBROWS_H_

#include <kx4data/Currency.h>

#include <cstdint>
#include <memory>
#include <string>

#include "tools/kx4/Output.h"

namespace kx4::cli {

// Rows of a job list (GetJobList, GetPendingJobs) with a last column
// "Cost".  A job the library cannot cost is a CommandError.
class JobCostRows : public Rows {
 public:
  explicit JobCostRows(std::shared_ptr<ado::Recordset> jobs);
  size_t ColumnCount() const override { return jobs_.ColumnCount() + 1; }
  const std::string& ColumnName(size_t column) const override;
  int64_t RowCount() const override { return jobs_.RowCount(); }
  void First() override { jobs_.First(); }
  bool AtEnd() const override { return jobs_.AtEnd(); }
  void Next() override { jobs_.Next(); }
  Variant Value(size_t column) const override;

  // The current job's cost.
  Currency Cost() const;

 private:
  std::shared_ptr<ado::Recordset> records_;
  RecordsetRows jobs_;
};

struct JobTotals {
  int64_t jobs = 0;
  int64_t pages = 0;  // pages times copies
  Currency cost;
};

// Jobs, pages and cost per user name, by name, and a last row "Total".
// `totals` receives the whole.
ValueRows SummaryByUser(JobCostRows& jobs, JobTotals& totals);

}  // namespace kx4::cli

#endif  // KX4_TOOLS_KX4_JOBROWS_H_
