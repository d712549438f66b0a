// "kx4 demo": a fresh embedded database in a folder of its own, filled the
// way a site fills it (reference data through the record classes, a few
// thousand jobs priced and recorded as an agent records them), then a job
// summary, one user's own jobs by PIN, and an export run.  Its settings live
// in a private hive in that folder: the user's own are never touched.
#include <kx4data/AppTrack.h>
#include <kx4data/Configuration.h>
#include <kx4data/ConnectionSettings.h>
#include <kx4data/DataGlobal.h>
#include <kx4data/JobPricing.h>
#include <kx4data/KXData.h>
#include <kx4data/PaperType.h>
#include <kx4data/Printer.h>
#include <kx4data/Settings.h>
#include <kx4data/User.h>
#include <kx4data/ValidatedValue.h>
#include <kx4data/ado/Database.h>
#include <kx4data/ado/Recordset.h>

#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>

#include <unistd.h>

#include "tools/kx4/Commands.h"
#include "tools/kx4/Context.h"
#include "tools/kx4/ExportRun.h"
#include "tools/kx4/JobRows.h"
#include "tools/kx4/Progress.h"

namespace kx4::cli {
namespace {

namespace fs = std::filesystem;

struct DemoOptions {
  std::string folder;
  int32_t jobs = 3000;
};

struct PaperSpec {
  const char* name;
  int16_t modifier;
};
constexpr PaperSpec kPapers[] = {
    {"Plain", 100}, {"Recycled", 90}, {"Glossy", 150}, {"Card", 125}, {"Transparency", 200}};

struct ConfigSpec {
  const char* name;
  KXTrackStatus track;
  KXUnitTypes unit;
  const char* cost;
  int16_t max_pages;
  const char* max_error;
  int16_t color_modifier;
  // Paper types offered (indexes of kPapers) at their modifier here.
  std::vector<std::pair<int, int16_t>> offers;
};

const ConfigSpec kConfigs[] = {
    {"Office mono", kxtTrackOnly, kxuPages, "0.05", 200, "", 100, {{0, 100}, {1, 85}}},
    {"Office colour",
     kxtPopup,
     kxuPages,
     "0.08",
     40,
     "Jobs over 40 pages go to the print room.",
     250,
     {{0, 100}, {2, 140}, {3, 120}}},
    {"Print room", kxtTrackOnly, kxuPages, "0.03", 0, "", 200, {{0, 100}, {2, 130}, {4, 180}}},
    {"Plotters", kxtTrackOnly, kxuSqFeet, "0.25", 0, "", 150, {}},
};

struct PrinterSpec {
  const char* name;
  const char* port;
  int config;  // index of kConfigs
};
constexpr PrinterSpec kPrinters[] = {
    {"Floor 1 laser", "socket://10.0.1.21:9100", 0},
    {"Floor 2 laser", "socket://10.0.2.21:9100", 0},
    {"Floor 3 laser", "socket://10.0.3.21:9100", 0},
    {"Floor 1 colour", "ipp://10.0.1.30/ipp/print", 1},
    {"Floor 2 colour", "ipp://10.0.2.30/ipp/print", 1},
    {"Print room", "ipp://printroom.example/ipp/print", 2},
    {"Plotter A0", "socket://10.0.9.40:9100", 3},
};

struct CodeSpec {
  const char* code;
  const char* description;
  int16_t modifier;
};
constexpr CodeSpec kCodes[] = {{"ADMIN", "Administration", 100},
                               {"SALES", "Sales", 100},
                               {"MKT-24", "Marketing campaign", 120},
                               {"RND", "Research", 90},
                               {"GRANT-7", "Grant-funded project", 80}};

struct UserSpec {
  const char* name;
  const char* quota;  // empty: no quota
  KXReportSecurity report;
};
constexpr UserSpec kUsers[] = {
    {"Ada Lovelace", "", kxrAllData},         {"Alan Turing", "400", kxrOwnData},
    {"Grace Hopper", "450", kxrOwnData},      {"Edsger Dijkstra", "200", kxrOwnData},
    {"Barbara Liskov", "400", kxrNone},       {"Donald Knuth", "", kxrOwnData},
    {"Frances Allen", "350", kxrOwnData},     {"Ken Thompson", "180", kxrNone},
    {"Margaret Hamilton", "500", kxrOwnData}, {"John Backus", "300", kxrOwnData},
    {"Radia Perlman", "450", kxrOwnData},     {"Niklaus Wirth", "380", kxrNone},
};
constexpr const char* kProcesses[] = {"WINWORD", "EXCEL", "ACROBAT", "CHROME", "POWERPNT"};
constexpr const char* kDocuments[] = {"Quarterly report", "Invoice", "Minutes", "Slides",
                                      "Budget",           "Poster",  "Letter",  "Draft"};

// Pins are 1001, 1002, ... in the order of kUsers.
std::string PinOf(size_t user) {
  return std::to_string(1001 + user);
}

struct Site {
  std::vector<int32_t> user_ids;
  std::vector<int32_t> config_ids;
};

Site AddReferenceData(KXData& session) {
  Site site;
  std::vector<int32_t> papers;
  for (const PaperSpec& spec : kPapers) {
    PaperType paper;
    paper.SetDescription(spec.name);
    paper.SetCostModifier(spec.modifier);
    paper.SetActive(true);
    paper.SetDefaultType(papers.empty());
    Check(paper.Save(session));
    papers.push_back(paper.Id());
  }
  for (const ConfigSpec& spec : kConfigs) {
    Configuration config;
    config.SetName(spec.name);
    config.SetTrackOptionId(spec.track);
    config.SetUnitMeasureId(spec.unit);
    config.SetUnitCost(Currency::Parse(spec.cost));
    config.SetMaxPages(spec.max_pages);
    config.SetMaxError(spec.max_error);
    config.SetColorModifier(spec.color_modifier);
    Check(config.ResetPaperTypes(session));
    for (const auto& [paper, modifier] : spec.offers) {
      for (const auto& entry : *config.PaperTypes()) {
        if (entry->Id() == papers[static_cast<size_t>(paper)]) {
          entry->SetInCurrentConfig(true);
          entry->SetCostModifier(modifier);
        }
      }
    }
    Check(config.Save(session));
    site.config_ids.push_back(config.Id());
  }
  Configuration unlisted;
  Check(unlisted.Load(session, site.config_ids[0]));
  Check(unlisted.SetAsUnlistedPrinterConfig(session));
  for (const PrinterSpec& spec : kPrinters) {
    Printer printer;
    printer.SetName(spec.name);
    printer.SetPort(spec.port);
    printer.SetConfigurationId(site.config_ids[static_cast<size_t>(spec.config)]);
    Check(printer.Save(session));
  }
  for (const CodeSpec& spec : kCodes) {
    ValidatedValue code;
    code.SetCode(spec.code);
    code.SetDescription(spec.description);
    code.SetCostModifier(spec.modifier);
    Check(code.Save(session));
  }
  for (size_t i = 0; i < std::size(kUsers); ++i) {
    User user;
    user.SetName(kUsers[i].name);
    user.SetPinCode(PinOf(i));
    user.SetUseQuota(kUsers[i].quota[0] != '\0');
    if (user.UseQuota())
      user.SetQuotaRemaining(Currency::Parse(kUsers[i].quota));
    user.SetReportSecurity(kUsers[i].report);
    user.SetAdminSecurity(i == 0);
    Check(user.Save(session));
    site.user_ids.push_back(user.Id());
  }
  AppTrack app;
  app.SetName("CHROME");
  app.SetDescription("Web pages: recorded without asking");
  app.SetTrackOptionId(kxtTrackOnly);
  Check(app.Save(session));
  std::shared_ptr<Settings> settings;
  Check(DataGlobal().GetSettings(session, settings));
  settings->SetCancelMaxPage(true);
  Check(settings->Save(session));
  return site;
}

struct Recorded {
  int32_t jobs = 0;
  int32_t unlisted = 0;
  int32_t over_pages = 0;
  int32_t over_quota = 0;
};

// A working day of jobs, as agents would report them: random but the same
// on every run.
Recorded RecordJobs(KXData& session, const Site& site, int32_t count) {
  std::mt19937 random(20260305);
  auto pick = [&random](size_t size) {
    return std::uniform_int_distribution<size_t>(0, size - 1)(random);
  };
  auto chance = [&random](double p) { return std::bernoulli_distribution(p)(random); };
  std::geometric_distribution<int32_t> extra_pages(0.2);
  Recorded recorded;
  Progress progress;
  progress.Start(count);
  for (int32_t i = 0; i < count; ++i) {
    JobRequest request;
    const size_t printer = pick(std::size(kPrinters));
    const PrinterSpec& spec = kPrinters[printer];
    request.printer_port = chance(0.03) ? "usb://Brother/HL-1110" : spec.port;
    const size_t user = pick(site.user_ids.size());
    if (!chance(0.04)) {
      request.user_id = site.user_ids[user];
      request.network_user = kUsers[user].name;
    }
    request.machine_name = "WS-" + std::to_string(100 + user);
    request.process_name = kProcesses[pick(std::size(kProcesses))];
    request.document = kDocuments[pick(std::size(kDocuments))];
    request.pages = 1 + extra_pages(random);
    request.copies = chance(0.15) ? 2 + static_cast<int32_t>(pick(3)) : 1;
    request.color = spec.config != 0 && chance(0.5);
    const ConfigSpec& config = kConfigs[spec.config];
    if (!config.offers.empty() && chance(0.3))
      request.paper_type = kPapers[config.offers[pick(config.offers.size())].first].name;
    if (chance(0.7))
      request.billing_code = kCodes[pick(std::size(kCodes))].code;
    if (config.unit == kxuSqFeet) {
      request.page_width = 8410;  // A0
      request.page_height = 11890;
      request.pages = 1;
    } else {
      request.page_width = 2100;  // A4
      request.page_height = 2970;
      request.paper_size = "A4";
    }
    request.refuse_over_quota = true;
    PricedJob priced;
    KXErrorPtr error = PriceJob(session, request, priced);
    if (error && error->KXErrorNumber() == erActionCancelled) {
      ++(error->Message().find("quota") == std::string::npos ? recorded.over_pages
                                                             : recorded.over_quota);
    } else {
      Check(error);
      Check(priced.job.Save(session));
      ++recorded.jobs;
      recorded.unlisted += priced.listed_printer ? 0 : 1;
    }
    progress.Advance();
  }
  progress.Finish();
  return recorded;
}

void Title(std::ostream& out, const std::string& title) {
  out << '\n' << title << '\n' << std::string(title.size(), '=') << '\n';
}

// Jobs, pages and cost per user, with each quota as it stands now.
void ShowSummary(Context& context, KXData& session) {
  std::shared_ptr<ado::Recordset> jobs;
  Check(DataGlobal().GetJobList(session, jobs));
  JobCostRows rows(jobs);
  JobTotals totals;
  ValueRows summary = SummaryByUser(rows, totals);
  std::shared_ptr<ado::Recordset> users;
  Check(DataGlobal().GetUserList(session, users));
  std::map<std::string, Variant> quotas;
  for (; !users->Eof(); users->MoveNext()) {
    if (users->Fields("UseQuota").Value().ToBoolean())
      quotas[users->Fields("Name").Value().ToString()] = users->Fields("QuotaRemaining").Value();
  }
  ValueRows table({"User", "Jobs", "Pages", "Cost", "Quota left"});
  for (summary.First(); !summary.AtEnd(); summary.Next()) {
    auto quota = quotas.find(summary.Value(0).ToString());
    table.Add({summary.Value(0), summary.Value(1), summary.Value(2), summary.Value(3),
               quota == quotas.end() ? Variant::Null() : quota->second});
  }
  Title(context.Out(), "Jobs by user (kx4 jobs --summary)");
  WriteRows(context.Out(), table, Format::kTable);
}

// What a user with the own-data right sees when a PIN opens the session.
void ShowOwnJobs(Context& context, size_t user) {
  KXData reader;
  Check(reader.EstablishConnection(Variant(true)));
  Check(reader.GetAuthorization(PinOf(user)));
  std::shared_ptr<ado::Recordset> jobs;
  Check(DataGlobal().GetJobList(reader, jobs));
  JobCostRows rows(jobs);
  JobTotals totals;
  SummaryByUser(rows, totals);
  ValueRows last({"DatePrinted", "Document", "PrinterName", "Pages", "Copies", "Cost"});
  int64_t skip = jobs->RecordCount() - 5;
  for (rows.First(); !rows.AtEnd(); rows.Next()) {
    if (skip-- > 0)
      continue;
    auto field = [&jobs](const char* name) { return jobs->Fields(name).Value(); };
    last.Add({field("DatePrinted"), field("Document"), field("PrinterName"), field("Pages"),
              field("Copies"), Variant(rows.Cost())});
  }
  Title(context.Out(), std::string("The last jobs of ") + kUsers[user].name + " (echo " +
                           PinOf(user) + " | kx4 --pin-stdin jobs)");
  context.Out() << kUsers[user].name << " sees " << totals.jobs
                << " jobs, all of them their own, costing " << MoneyText(totals.cost) << ".\n";
  WriteRows(context.Out(), last, Format::kTable);
}

// A new folder in memory where there is one: every job is a committed
// transaction, and on a disk their syncs would take most of the time.
fs::path TemporaryBase() {
  std::error_code error;
  if (fs::is_directory("/dev/shm", error) && ::access("/dev/shm", W_OK) == 0)
    return "/dev/shm";
  return fs::temp_directory_path();
}

fs::path PrepareFolder(const std::string& named) {
  fs::path folder;
  if (named.empty()) {
    std::string pattern = (TemporaryBase() / "kx4-demo-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
      throw CommandError("kx4: could not make a temporary folder for the demo.");
    folder = pattern;
  } else {
    folder = fs::absolute(named);
    fs::create_directories(folder);
    if (fs::exists(folder / "Demo.db"))
      throw CommandError("kx4: " + (folder / "Demo.db").string() +
                         " already exists; give the demo a new folder.");
  }
  return folder;
}

void RunDemo(Context& context, const DemoOptions& options) {
  const auto started = std::chrono::steady_clock::now();
  const fs::path folder = PrepareFolder(options.folder);
  // Before the first session: every setting the demo reads or keeps lives
  // in its own hive.
  const fs::path hive = folder / "hive";
  ::setenv("KX4_HIVE_DIR", hive.c_str(), 1);

  ConnectionSettings settings;
  settings.SetServer("(localdb)");
  settings.SetDatabase((folder / "Demo.db").string());
  settings.SetNTAuthenticate(true);
  ado::CreateDatabase(settings.BuildConnectionString());
  settings.Store(false);

  KXData session;
  session.SetCaller("kx4 demo");
  Check(settings.Connect(session));
  Check(session.GetAuthorization());
  const Site site = AddReferenceData(session);
  const Recorded recorded = RecordJobs(session, site, options.jobs);
  // Reports on all jobs now need a PIN with that right; this session keeps
  // the rights it was given.
  Check(DataGlobal().SetAppSecurity(session, false, true));

  const fs::path exported = folder / "export.csv";
  ExportOptions run;
  run.output = exported.string();
  const JobTotals totals = RunExport(session, run, context.Out());
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

  std::ostream& out = context.Out();
  Title(out, "A fresh database, filled as a site fills it");
  ValueRows sample({"What", "How many"});
  auto count = [&sample](const char* what, size_t n) {
    sample.Add({Variant(what), Variant(static_cast<int32_t>(n))});
  };
  count("users with PIN codes (quotas on most)", std::size(kUsers));
  count("configurations", std::size(kConfigs));
  count("printers", std::size(kPrinters));
  count("paper types", std::size(kPapers));
  count("billing codes", std::size(kCodes));
  count("jobs recorded (PriceJob, PrintJob::Save)", static_cast<size_t>(recorded.jobs));
  count("  of them on unlisted printers", static_cast<size_t>(recorded.unlisted));
  count("jobs refused: over a page limit", static_cast<size_t>(recorded.over_pages));
  count("jobs refused: not enough quota left", static_cast<size_t>(recorded.over_quota));
  WriteRows(out, sample, Format::kTable);

  ShowSummary(context, session);
  ShowOwnJobs(context, 2);

  Title(out, "Export run (kx4 export -o export.csv)");
  out << "Exported " << totals.jobs << " jobs costing " << MoneyText(totals.cost) << " to "
      << exported.string() << "; every job is now marked exported.\n";

  Title(out, "Look around");
  char took[32];
  std::snprintf(took, sizeof took, "%.1f", seconds);
  out << "Done in " << took << " s. The database is " << (folder / "Demo.db").string()
      << "; its connection settings are kept in " << hive.string() << ", so\n"
      << "  export KX4_HIVE_DIR=" << hive.string() << "\n"
      << "points kx4 at it (echo 1001 | kx4 --pin-stdin jobs --summary) without touching your "
         "own settings.\n";
}

}  // namespace

void AddDemoCommand(CLI::App& root, Context& context) {
  auto options = std::make_shared<DemoOptions>();
  CLI::App* demo = root.add_subcommand(
      "demo",
      "Fill a new database in a folder of its own with a sample site and a day of jobs, then "
      "list, report and export them");
  demo->add_option("--folder", options->folder,
                   "Where the database goes (by default a new folder in /dev/shm, or in the "
                   "temporary folder); it must not hold a demo already");
  demo->add_option("--jobs", options->jobs, "How many jobs to record")
      ->check(CLI::Range(1, 1000000));
  demo->callback([&context, options] { RunDemo(context, *options); });
}

}  // namespace kx4::cli
