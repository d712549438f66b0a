// "kx4 job record", "kx4 jobs" and "kx4 purge": recording a job the way an
// agent does, listing recorded jobs with every filter of the job list, and
// deleting old ones.
#include <kx4data/DataGlobal.h>
#include <kx4data/JobPricing.h>
#include <kx4data/KXData.h>
#include <kx4data/User.h>
#include <kx4data/ValidatedValue.h>
#include <kx4data/ado/Recordset.h>

#include <CLI/CLI.hpp>

#include "tools/kx4/Commands.h"
#include "tools/kx4/Context.h"
#include "tools/kx4/JobRows.h"
#include "tools/kx4/Options.h"
#include "tools/kx4/Progress.h"

namespace kx4::cli {
namespace {

// "--NAME DATE" into `target`; a malformed date is a usage error.
CLI::Option* AddDateOption(CLI::App& command, const std::string& name,
                           std::optional<DateTime>& target, const std::string& help) {
  return command
      .add_option_function<std::string>(
          "--" + name,
          [&target, name](const std::string& text) { target = ParseDate("--" + name, text); }, help)
      ->type_name("DATE");
}

struct RecordOptions {
  JobRequest request;
  bool dry_run = false;
  Format format = Format::kTable;
};

Shown ShownJob(const PricedJob& priced, bool recorded) {
  const PrintJob& job = priced.job;
  return Shown{{"Recorded", "PrinterName", "Port", "ListedPrinter", "ConfigName", "UserId",
                "UserName", "Pages", "Copies", "Color", "PaperType", "ValidatedId", "CostPerUnit",
                "Cost", "TrackStatus"},
               {Variant(recorded), Variant(job.PrinterName()), Variant(job.Port()),
                Variant(priced.listed_printer), Variant(job.ConfigName()),
                priced.user ? Variant(priced.user->Id()) : Variant::Null(),
                priced.user ? Variant(priced.user->Name()) : Variant::Null(), Variant(job.Pages()),
                Variant(job.Copies()), Variant(job.Color()), Variant(job.PaperType()),
                job.ValidatedValueId() > 0 ? Variant(job.ValidatedValueId()) : Variant::Null(),
                Variant(job.CostPerUnit()), Variant(priced.cost),
                Variant(static_cast<int32_t>(job.TrackStatus()))}};
}

void AddJobRecord(CLI::App& group, Context& context) {
  auto options = std::make_shared<RecordOptions>();
  JobRequest& r = options->request;
  CLI::App* record = group.add_subcommand(
      "record", "Price a job as an agent does and record it; --pin or --pin-stdin names its user");
  record
      ->add_option("--port", r.printer_port,
                   "The printer's port; an unlisted port takes the "
                   "unlisted-printer configuration")
      ->required();
  record->add_option("--pages", r.pages, "Pages of one copy")->required();
  record->add_option("--copies", r.copies, "Copies (1 by default)");
  record->add_option("--printer", r.printer_name, "The printer's name as recorded");
  record->add_option("--user-id", r.user_id, "The job's user when no PIN code names one");
  record->add_option("--network-user", r.network_user, "The account that printed");
  record->add_option("--machine", r.machine_name, "The computer it came from");
  record->add_option("--process", r.process_name, "The program that printed");
  record->add_option("--document", r.document, "The document's title");
  record->add_flag("--color", r.color, "A colour job");
  record->add_option("--paper", r.paper_type, "Paper type (the default paper type if not given)");
  record->add_option("--code", r.billing_code, "Billing code");
  record->add_option("--width", r.page_width, "Page width in tenths of a millimetre");
  record->add_option("--height", r.page_height, "Page height in tenths of a millimetre");
  record->add_option("--paper-size", r.paper_size, "Paper size name, such as A4");
  record->add_option("--field-one", r.user_defined_one, "User-defined field one");
  record->add_option("--field-two", r.user_defined_two, "User-defined field two");
  record->add_flag("--to-file", r.printed_to_file, "The job was printed to a file");
  record->add_flag("--refuse-over-quota", r.refuse_over_quota,
                   "Refuse a job that costs more than its user's quota has left");
  record->add_flag("--dry-run", options->dry_run, "Price the job but record nothing");
  AddFormatOption(*record, options->format);
  record->callback([&context, options] {
    JobRequest request = options->request;
    // Caught here with a message of the tool's own; the library would
    // refuse it too.
    if (request.pages < 0)
      throw CommandError("kx4: the page count cannot be negative (" +
                         std::to_string(request.pages) + ").");
    request.pin_code = context.AuthorizingPin();
    std::unique_ptr<KXData> session = context.Connect();
    PricedJob priced;
    Check(PriceJob(*session, request, priced));
    for (const std::string& warning : priced.warnings)
      context.Err() << "kx4: warning: " << warning << '\n';
    if (!options->dry_run)
      Check(priced.job.Save(*session));
    ShowRecord(context, options->format, ShownJob(priced, !options->dry_run));
  });
}

struct JobFilters {
  std::string code;
  std::optional<int32_t> code_id;
  std::optional<std::string> printer, network_user, user, field_one, field_two;
  std::optional<DateTime> from, to;
  bool summary = false;
  Format format = Format::kTable;

  Variant Text(const std::optional<std::string>& text) const {
    return text ? Variant(*text) : Variant::Null();
  }
  Variant Date(const std::optional<DateTime>& date) const {
    return date ? Variant(*date) : Variant::Null();
  }
  // The job list's filter array, by index.
  Variant Array(KXData& session) const {
    Variant code_filter = code_id ? Variant(*code_id) : Variant::Null();
    if (!code.empty()) {
      ValidatedValue value;
      Check(value.LoadByCode(session, code));
      code_filter = Variant(value.Id());
    }
    return Variant(VariantArray{code_filter, Text(printer), Text(network_user), Date(from),
                                Date(to), Text(user), Text(field_one), Text(field_two)});
  }
};

void AddJobsCommand(CLI::App& root, Context& context) {
  auto filters = std::make_shared<JobFilters>();
  CLI::App* jobs = root.add_subcommand(
      "jobs",
      "List recorded jobs with their cost; with --pin or --pin-stdin, a user with the "
      "own-data right sees only their own");
  CLI::Option* code = jobs->add_option("--code", filters->code, "Only jobs with this billing code");
  jobs->add_option("--code-id", filters->code_id, "Only jobs with the billing code of this id")
      ->excludes(code);
  jobs->add_option("--printer", filters->printer,
                   "Only printers whose name or port starts with this text");
  jobs->add_option("--network-user", filters->network_user,
                   "Only network users whose name starts with this text");
  AddDateOption(*jobs, "from", filters->from, "Only jobs printed from this date and time on");
  AddDateOption(*jobs, "to", filters->to, "Only jobs printed up to this day, all of it");
  jobs->add_option("--user", filters->user, "Only users whose name starts with this text");
  jobs->add_option("--field-one", filters->field_one,
                   "Only jobs whose user-defined field one starts with this text");
  jobs->add_option("--field-two", filters->field_two,
                   "Only jobs whose user-defined field two starts with this text");
  jobs->add_flag("--summary", filters->summary, "Jobs, pages and cost per user instead");
  jobs->footer("Text filters ignore case; % in them matches any text.");
  AddFormatOption(*jobs, filters->format);
  jobs->callback([&context, filters] {
    std::unique_ptr<KXData> session = context.OpenSession();
    std::shared_ptr<ado::Recordset> records;
    Check(DataGlobal().GetJobList(*session, records, filters->Array(*session)));
    JobCostRows rows(records);
    Progress progress;
    if (filters->summary) {
      JobTotals totals;
      ValueRows summary = SummaryByUser(rows, totals);
      WriteRows(context.Out(), summary, filters->format);
    } else {
      WriteRows(context.Out(), rows, filters->format, &progress);
    }
  });
}

void AddPurgeCommand(CLI::App& root, Context& context) {
  struct Range {
    std::optional<DateTime> from, to;
  };
  auto range = std::make_shared<Range>();
  CLI::App* purge =
      root.add_subcommand("purge", "Delete the jobs printed from one date up to another");
  AddDateOption(*purge, "from", range->from, "The first minute whose jobs go")->required();
  AddDateOption(*purge, "to", range->to, "The minute whose jobs stay, and all after it")
      ->required();
  purge->callback([&context, range] {
    std::unique_ptr<KXData> session = context.OpenSession();
    Check(DataGlobal().PurgeJobs(*session, *range->from, *range->to));
    context.Out() << "Purged the jobs printed from " << IsoDate(*range->from) << " up to "
                  << IsoDate(*range->to) << ".\n";
  });
}

}  // namespace

void AddJobCommands(CLI::App& root, Context& context) {
  CLI::App* group = AddGroup(root, "job", "Record print jobs as an agent does");
  AddJobRecord(*group, context);
  AddJobsCommand(root, context);
  AddPurgeCommand(root, context);
}

}  // namespace kx4::cli
