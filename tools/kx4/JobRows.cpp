#include "tools/kx4/JobRows.h"

#include <kx4data/PrintJob.h>
#include <kx4data/ado/Recordset.h>

#include <map>

#include "tools/kx4/Context.h"

namespace kx4::cli {
namespace {

const std::string kCost = "Cost";

}  // namespace

JobCostRows::JobCostRows(std::shared_ptr<ado::Recordset> jobs)
    : records_(jobs), jobs_(std::move(jobs)) {}

const std::string& JobCostRows::ColumnName(size_t column) const {
  return column < jobs_.ColumnCount() ? jobs_.ColumnName(column) : kCost;
}

Variant JobCostRows::Value(size_t column) const {
  return column < jobs_.ColumnCount() ? jobs_.Value(column) : Variant(Cost());
}

Currency JobCostRows::Cost() const {
  auto field = [this](const char* name) { return records_->Fields(name).Value(); };
  PrintJob job;
  job.SetUnitMeasureId(field("UnitMeasureId").ToLong());
  job.SetPages(static_cast<int16_t>(field("Pages").ToLong()));
  job.SetCopies(static_cast<int16_t>(field("Copies").ToLong()));
  job.SetPageWidth(field("PageWidth").ToLong());
  job.SetPageHeight(field("PageHeight").ToLong());
  job.SetCostPerUnit(field("CostPerUnit").ToCurrency());
  Currency cost;
  Check(job.JobCost(cost));
  return cost;
}

ValueRows SummaryByUser(JobCostRows& jobs, JobTotals& totals) {
  std::map<std::string, JobTotals> users;
  totals = {};
  size_t name = 0;
  size_t pages = 0;
  size_t copies = 0;
  for (size_t c = 0; c < jobs.ColumnCount(); ++c) {
    const std::string& column = jobs.ColumnName(c);
    name = column == "UserName" ? c : name;
    pages = column == "Pages" ? c : pages;
    copies = column == "Copies" ? c : copies;
  }
  for (jobs.First(); !jobs.AtEnd(); jobs.Next()) {
    JobTotals& user = users[jobs.Value(name).ToString()];
    const int64_t printed = int64_t{jobs.Value(pages).ToLong()} * jobs.Value(copies).ToLong();
    const Currency cost = jobs.Cost();
    for (JobTotals* sum : {&user, &totals}) {
      ++sum->jobs;
      sum->pages += printed;
      sum->cost += cost;
    }
  }
  ValueRows rows({"User", "Jobs", "Pages", "Cost"});
  auto add = [&rows](const std::string& name, const JobTotals& sum) {
    rows.Add({Variant(name), Variant(static_cast<double>(sum.jobs)),
              Variant(static_cast<double>(sum.pages)), Variant(sum.cost)});
  };
  for (const auto& [name, sum] : users)
    add(name, sum);
  add("Total", totals);
  return rows;
}

}  // namespace kx4::cli
