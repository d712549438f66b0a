// "kx4 export": one accounting export run.  The jobs not yet exported become
// pending, the whole output is written and flushed, and only then are they
// marked exported; any failure hands them back to the next run.
#include <kx4data/Accounting.h>
#include <kx4data/KXData.h>
#include <kx4data/ado/Recordset.h>

#include <CLI/CLI.hpp>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tools/kx4/Commands.h"
#include "tools/kx4/Context.h"
#include "tools/kx4/ExportRun.h"
#include "tools/kx4/Progress.h"

namespace kx4::cli {
namespace {

// Writes the pending jobs to standard output or to the file, synced to disk;
// the error text when anything could not be written.
std::string WritePending(const ExportOptions& options, JobCostRows& rows, std::ostream& out,
                         JobTotals& totals) {
  Progress progress;
  SummaryByUser(rows, totals);
  if (options.output.empty()) {
    WriteRows(out, rows, options.format, &progress);
    return out.flush() ? "" : "kx4: the export could not be written.";
  }
  std::ofstream file(options.output, std::ios::binary | std::ios::trunc);
  if (file)
    WriteRows(file, rows, options.format, &progress);
  file.close();
  const int fd = file ? ::open(options.output.c_str(), O_RDONLY | O_CLOEXEC) : -1;
  const bool synced = fd >= 0 && ::fsync(fd) == 0;
  if (fd >= 0)
    ::close(fd);
  if (synced)
    return "";
  // Half an export must not pass for a whole one; a device stays.
  std::error_code ignored;
  if (std::filesystem::is_regular_file(options.output, ignored))
    std::filesystem::remove(options.output, ignored);
  return "kx4: the export could not be written to " + options.output + ".";
}

}  // namespace

JobTotals RunExport(KXData& session, const ExportOptions& options, std::ostream& out) {
  Accounting run;
  std::shared_ptr<ado::Recordset> pending;
  if (!options.take_over) {
    Check(run.GetPendingJobs(session, pending));
    if (pending->RecordCount() > 0)
      throw CommandError("kx4: " + std::to_string(pending->RecordCount()) +
                         " jobs are still pending from an export run that did not finish; "
                         "--take-over exports them with this run.");
  }
  Check(run.MarkJobsAsPending(session));
  // From here on every failure hands the run's jobs back.
  std::string failure;
  JobTotals totals;
  try {
    Check(run.GetPendingJobs(session, pending));
    JobCostRows rows(pending);
    failure = WritePending(options, rows, out, totals);
  } catch (const std::exception& e) {
    failure = e.what();
  }
  if (!failure.empty() || options.dry_run) {
    const KXErrorPtr cleared = run.ClearPendingJobs(session);
    if (!failure.empty())
      throw CommandError(failure);
    Check(cleared);
  } else {
    Check(run.MarkJobsAsDone(session));
  }
  return totals;
}

void AddExportCommand(CLI::App& root, Context& context) {
  struct Options : ExportOptions {
    bool undo_last = false;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = root.add_subcommand(
      "export", "Export every job not yet exported, with its cost, and mark them exported");
  AddFormatOption(*command, options->format);
  command->get_option("--format")
      ->description(
          "Output form: csv (RFC 4180, the default), json "
          "or table");
  command->add_option("--output,-o", options->output,
                      "Write to this file (replaced) instead of standard output");
  CLI::Option* dry = command->add_flag("--dry-run", options->dry_run,
                                       "Write the export but leave the jobs to the next run");
  CLI::Option* take = command->add_flag(
      "--take-over", options->take_over,
      "Also export the jobs an unfinished run left pending (instead of refusing)");
  command
      ->add_flag("--undo-last", options->undo_last,
                 "Make the jobs of the last export run not exported again; nothing is written")
      ->excludes(dry)
      ->excludes(take);
  command->callback([&context, options] {
    std::unique_ptr<KXData> session = context.OpenSession();
    if (options->undo_last) {
      Check(Accounting().ClearLastRun(*session));
      context.Out() << "The jobs of the last export run are no longer exported.\n";
      return;
    }
    const JobTotals totals = RunExport(*session, *options, context.Out());
    if (!options->output.empty()) {
      context.Out() << (options->dry_run ? "Would export " : "Exported ") << totals.jobs
                    << " jobs costing " << MoneyText(totals.cost) << " to " << options->output
                    << ".\n";
    }
  });
}

}  // namespace kx4::cli
