// Jobs through the kx4 tool, end to end on both engines: recorded as an
// agent records them, listed with every filter, exported, purged, and bad
// input refused with nothing changed.
#include <kx4data/Currency.h>
#include <kx4data/DateTime.h>
#include <kx4data/ado/Database.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "kx4/Kx4Fixture.h"
#include "kx4/Kx4Run.h"
#include "support/TempDir.h"
#include "support/TempHive.h"

namespace kx4::test {
namespace {

// Four places, as the tool prints money; not for negative amounts.
std::string MoneyOf(Currency value) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%04lld", static_cast<long long>(value.Ticks() / 10000),
                static_cast<long long>(value.Ticks() % 10000));
  return text;
}

constexpr char kCosts[] =
    "import json, sys; print(' '.join(j['Cost'] for j in json.load(sys.stdin)))";

// A site: configuration 1 "Office" (0.10 a page, colour 200%, at most 50
// pages, Glossy offered at 120%), paper types Plain (default) and Glossy,
// billing codes PRJ (110%) and OPS, printers on LPT1: and USB001, and users
// Ada (1111, quota 10, own data), Bob (2222, quota 5) and Cy (3333, no
// quota).
class Kx4Jobs : public Kx4Tool {
 protected:
  void SetUp() override {
    Kx4Tool::SetUp();
    Init();
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {"config", "add", "Office", "--cost", "0.10", "--max-pages", "50", "--max-error",
              "Too big: ask the print room.", "--color-modifier", "200", "--track", "track-only"},
             {"paper", "add", "Plain", "--default"},
             {"paper", "add", "Glossy", "--modifier", "150"},
             {"config", "papers", "1", "--offer", "2=120"},
             {"code", "add", "PRJ", "--modifier", "110", "--description", "Project"},
             {"code", "add", "OPS"},
             {"printer", "add", "Laser 1", "--port", "LPT1:", "--config", "1"},
             {"printer", "add", "Atrium", "--port", "USB001", "--config", "1"},
         }) {
      ChildResult run = Kx4(args);
      ASSERT_EQ(run.status, 0) << args[0] << " " << args[1] << ": " << run.err;
    }
    AddUser("Ada", "1111", {"--use-quota", "--quota", "10", "--report", "own"});
    AddUser("Bob", "2222", {"--use-quota", "--quota", "5", "--report", "own"});
    AddUser("Cy", "3333");
  }

  // "job record" with the PIN (none when empty) and `args`; JSON output.
  ChildResult Record(const std::string& pin, std::vector<std::string> args) {
    args.insert(args.begin(), {"job", "record", "--format", "json"});
    if (!pin.empty())
      args.insert(args.begin(), "--pin-stdin");
    return Kx4(args, pin.empty() ? "" : pin + "\n");
  }
  Currency Quota(const std::string& user) {
    const std::string quota =
        Scalar("SELECT QuotaRemaining FROM tblUsers WHERE Name = '" + user + "'");
    return Currency::Parse(quota.substr(0, quota.find('\n')));
  }
  std::string Jobs() { return Scalar("SELECT COUNT(*) AS N FROM tblPrintJobs"); }
  // The number of jobs "kx4 jobs" lists with `filters`.
  std::string Listed(std::vector<std::string> filters, const std::string& pin = "") {
    filters.insert(filters.begin(), {"jobs", "--format", "csv"});
    if (!pin.empty())
      filters.insert(filters.begin(), "--pin-stdin");
    ChildResult run = Kx4(filters, pin.empty() ? "" : pin + "\n");
    EXPECT_EQ(run.status, 0) << run.err;
    return Python("import csv, sys; print(len(list(csv.reader(sys.stdin))) - 1)", run.out);
  }
};

TEST_P(Kx4Jobs, ADayOfJobsTakesFromEachQuotaTheSumOfItsCharges) {
  struct Job {
    std::string pin;
    std::vector<std::string> args;
  };
  const std::vector<Job> day = {
      {"1111", {"--port", "lpt1:", "--pages", "3", "--copies", "2"}},
      {"1111", {"--port", "LPT1:", "--pages", "1", "--color", "--paper", "glossy"}},
      {"2222", {"--port", "USB001", "--pages", "7", "--code", "prj"}},
      {"1111", {"--port", "USB001", "--pages", "2", "--paper", "Plain", "--code", "OPS"}},
      {"3333", {"--port", "LPT1:", "--pages", "4", "--color"}},
      {"2222", {"--port", "LPT1:", "--pages", "5", "--copies", "3", "--color", "--code", "PRJ"}},
      {"", {"--port", "LPT1:", "--pages", "9", "--network-user", "guest"}},
  };
  std::map<std::string, Currency> charged;
  for (const Job& job : day) {
    ChildResult run = Record(job.pin, job.args);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string cost = Python(
        "import json, sys; d = json.load(sys.stdin); print(d['Cost'], d['Recorded'])", run.out);
    ASSERT_EQ(cost.substr(cost.find(' ')), " True\n");
    charged[job.pin] += Currency::Parse(cost.substr(0, cost.find(' ')));
  }
  // 0.6 + 0.24 + 0.2: plain pages, a glossy colour page at 200% x 120%.
  EXPECT_EQ(charged["1111"], Currency::Parse("1.04"));
  EXPECT_EQ(Quota("Ada"), Currency::Parse("10") - charged["1111"]);
  EXPECT_EQ(Quota("Bob"), Currency::Parse("5") - charged["2222"]) << "below zero is allowed";
  EXPECT_EQ(Quota("Cy"), Currency()) << "no quota, nothing taken";
  EXPECT_EQ(Jobs(), "7\n");

  // The listing's costs are the same charges.
  for (const auto& [name, pin] : {std::pair{"Ada", "1111"}, std::pair{"Bob", "2222"}}) {
    ChildResult listed = Kx4({"jobs", "--user", name, "--format", "json"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    Currency sum;
    std::string costs = Python(kCosts, listed.out);
    for (size_t at = 0, end; at < costs.size(); at = end + 1) {
      end = costs.find_first_of(" \n", at);
      sum += Currency::Parse(costs.substr(at, end - at));
    }
    EXPECT_EQ(sum, charged[pin]) << name;
  }
  ChildResult summary = Kx4({"jobs", "--summary", "--format", "json"});
  EXPECT_EQ(Python("import json, sys; print([(r['User'], r['Jobs'], r['Pages'], r['Cost']) "
                   "for r in json.load(sys.stdin)])",
                   summary.out),
            "[('Ada', 3, 9, '1.0400'), ('Bob', 2, 22, '" + MoneyOf(charged["2222"]) +
                "'), ('Cy', 1, 4, '0.8000'), ('Unknown', 1, 9, '0.9000'), "
                "('Total', 7, 44, '" +
                MoneyOf(charged["1111"] + charged["2222"] + Currency::Parse("1.7")) + "')]\n");
}

TEST_P(Kx4Jobs, JobsTakesEveryFilterOfTheJobList) {
  ASSERT_EQ(Record("1111", {"--port", "LPT1:", "--pages", "1", "--code", "PRJ", "--network-user",
                            "ada", "--field-one", "north", "--field-two", "x1"})
                .status,
            0);
  ASSERT_EQ(Record("2222", {"--port", "usb001", "--pages", "1", "--code", "OPS", "--network-user",
                            "bob", "--field-one", "south"})
                .status,
            0);
  ASSERT_EQ(Record("", {"--port", "LPT1:", "--pages", "1", "--network-user", "guest", "--field-two",
                        "y2"})
                .status,
            0);
  const std::string today = DateTime::Now().Format("yyyy-MM-dd");
  const std::string tomorrow = DateTime::Now().AddDays(1).Format("yyyy-MM-dd");
  const std::string yesterday = DateTime::Now().AddDays(-1).Format("yyyy-MM-dd");
  struct Case {
    std::vector<std::string> filters;
    const char* count;
  };
  const Case cases[] = {
      {{}, "3\n"},
      {{"--code", "prj"}, "1\n"},
      {{"--code-id", "2"}, "1\n"},
      {{"--printer", "laser"}, "2\n"},
      {{"--printer", "USB"}, "1\n"},  // the port
      {{"--network-user", "B"}, "1\n"},
      {{"--network-user", "%"}, "3\n"},
      {{"--from", yesterday}, "3\n"},
      {{"--from", tomorrow}, "0\n"},
      {{"--to", today}, "3\n"},
      {{"--to", yesterday}, "0\n"},
      {{"--user", "a"}, "1\n"},
      {{"--field-one", "NO"}, "1\n"},
      {{"--field-two", "y"}, "1\n"},
      {{"--printer", "laser", "--field-two", "x", "--from", today + " 00:00"}, "1\n"},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const auto& f : c.filters)
      shown += f + " ";
    EXPECT_EQ(Listed(c.filters), c.count) << shown;
  }

  // A PIN gives its user's rights: once reports are secured, Bob sees only
  // his own jobs, and nobody without a PIN sees any.
  ASSERT_EQ(Kx4({"security", "set", "--secure-viewer"}).status, 0);
  EXPECT_EQ(Listed({}, "2222"), "1\n");
  EXPECT_EQ(Listed({"--code", "PRJ"}, "2222"), "0\n");
  ChildResult anonymous = Kx4({"jobs"});
  EXPECT_EQ(anonymous.status, 1);
  EXPECT_EQ(anonymous.err, "You do not have the proper access to execute this method.\n");
}

TEST_P(Kx4Jobs, ExportMarksWhatItWroteAndHandsEverythingBackOnFailure) {
  for (const char* pages : {"1", "2", "3"})
    ASSERT_EQ(
        Record("1111", {"--port", "LPT1:", "--pages", pages, "--document", "Doc, \"v2\""}).status,
        0);
  // Jobs of one second have no order among themselves.
  const std::string rows =
      "import csv, sys; r = list(csv.reader(sys.stdin)); "
      "print(len(r) - 1, sorted(row[-1] for row in r[1:]), r[0][-1])";

  // Failures write nothing the next run would miss.
  ChildResult full = Kx4({"export", "-o", "/dev/full"});
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "kx4: the export could not be written to /dev/full.\n");
  TempDir folder;
  ChildResult missing = Kx4({"export", "-o", folder / "no/such/folder.csv"});
  EXPECT_EQ(missing.status, 1);
  ChildResult dry = Kx4({"export", "--dry-run", "--format", "json"});
  ASSERT_EQ(dry.status, 0) << dry.err;
  EXPECT_EQ(Python("import json, sys; print(sorted((j['Pages'], j['Cost'], j['Document']) for j in "
                   "json.load(sys.stdin)))",
                   dry.out),
            "[(1, '0.1000', 'Doc, \"v2\"'), (2, '0.2000', 'Doc, \"v2\"'), "
            "(3, '0.3000', 'Doc, \"v2\"')]\n");

  ChildResult first = Kx4({"export", "-o", folder / "run1.csv"});
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.out, "Exported 3 jobs costing 0.6000 to " + (folder / "run1.csv") + ".\n");
  EXPECT_EQ(Python(rows, ReadFile(folder / "run1.csv")), "3 ['0.1000', '0.2000', '0.3000'] Cost\n");
  ChildResult second = Kx4({"export"});
  ASSERT_EQ(second.status, 0);
  EXPECT_EQ(Python(rows, second.out), "0 [] Cost\n") << "every job went with the first run";

  ASSERT_EQ(Record("2222", {"--port", "LPT1:", "--pages", "4"}).status, 0);
  ChildResult undo = Kx4({"export", "--undo-last"});
  ASSERT_EQ(undo.status, 0) << undo.err;
  ChildResult again = Kx4({"export"});
  EXPECT_EQ(Python(rows, again.out), "4 ['0.1000', '0.2000', '0.3000', '0.4000'] Cost\n");

  // A run that never finished leaves its jobs pending: the next one refuses
  // unless told to take them over.
  ASSERT_EQ(Kx4({"export", "--undo-last"}).status, 0);
  auto raw = std::make_shared<ado::Connection>();
  raw->SetConnectionString("Provider=SQLOLEDB;Data Source=" + server_ + ";Database=" + database_ +
                           ";Trusted_Connection=Yes;");
  raw->Open();
  Execute(raw, "UPDATE tblPrintJobs SET Accounted = 1, AccountedOn = ? WHERE Pages < 3",
          {Variant(DateTime::FromCivil(2026, 1, 2, 3, 4))});
  raw->Close();
  ChildResult refused = Kx4({"export"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err,
            "kx4: 2 jobs are still pending from an export run that did not finish; "
            "--take-over exports them with this run.\n");
  EXPECT_EQ(refused.out, "");
  ChildResult taken = Kx4({"export", "--take-over"});
  ASSERT_EQ(taken.status, 0) << taken.err;
  EXPECT_EQ(Python(rows, taken.out), "4 ['0.1000', '0.2000', '0.3000', '0.4000'] Cost\n");
}

TEST_P(Kx4Jobs, PurgeDeletesTheJobsOfItsRangeOnly) {
  ASSERT_EQ(Record("1111", {"--port", "LPT1:", "--pages", "1"}).status, 0);
  ASSERT_EQ(Record("", {"--port", "LPT1:", "--pages", "1"}).status, 0);
  ChildResult old = Kx4({"purge", "--from", "2000-01-01", "--to", "2000-01-02 12:00"});
  ASSERT_EQ(old.status, 0) << old.err;
  EXPECT_EQ(old.out,
            "Purged the jobs printed from 2000-01-01T00:00:00 up to "
            "2000-01-02T12:00:00.\n");
  EXPECT_EQ(Jobs(), "2\n");
  ChildResult backwards = Kx4({"purge", "--from", "2030-01-01", "--to", "2000-01-01"});
  EXPECT_EQ(backwards.status, 1);
  EXPECT_EQ(backwards.err, "Invalid dates. From date must be less than to date.\n");
  const DateTime now = DateTime::Now();
  ASSERT_EQ(Kx4({"purge", "--from", now.AddDays(-1).Format("yyyy-MM-dd"), "--to",
                 now.AddDays(1).Format("yyyy-MM-dd")})
                .status,
            0);
  EXPECT_EQ(Jobs(), "0\n");
}

TEST_P(Kx4Jobs, BadInputIsRefusedAndChangesNothing) {
  struct Case {
    std::string pin;
    std::vector<std::string> args;
    int status;
    std::string err;  // the whole message, or for usage errors a part
  };
  ASSERT_EQ(Kx4({"user", "set", "2", "--no-active"}).status, 0);
  ASSERT_EQ(Kx4({"settings", "set", "--cancel-max-page"}).status, 0);
  const std::vector<Case> cases = {
      {"1111",
       {"job", "record", "--port", "LPT9:", "--pages", "1"},
       1,
       "Configuration expected. Id: -1\n"},
      {"2222", {"job", "record", "--port", "LPT1:", "--pages", "1"}, 1, "Invalid PIN code.\n"},
      {"9999", {"job", "record", "--port", "LPT1:", "--pages", "1"}, 1, "User record expected.\n"},
      {"1111",
       {"job", "record", "--port", "LPT1:", "--pages", "-2"},
       1,
       "kx4: the page count cannot be negative (-2).\n"},
      {"1111",
       {"job", "record", "--port", "LPT1:", "--pages", "30", "--copies", "2"},
       1,
       "Too big: ask the print room.\n"},
      {"1111",
       {"job", "record", "--port", "LPT1:", "--pages", "1", "--code", "NOPE"},
       1,
       "Validated value record expected. Code: NOPE\n"},
      {"1111",
       {"job", "record", "--port", "LPT1:", "--pages", "1", "--copies", "0"},
       1,
       "The print job was not priced: the number of copies 0 is outside 1 to 32767.\n"},
      {"",
       {"code", "batch", "1,x", "--active", "--modifier", "90"},
       1,
       "The id list \"1,x\" is not valid: use decimal ids separated by commas.\n"},
      {"",
       {"config", "delete", "1"},
       1,
       "Cannot delete the configuration, it is associated with printers.\n"},
      {"", {"job", "record", "--port", "LPT1:", "--pages", "three"}, 2, "--pages"},
      {"", {"jobs", "--from", "2026-02-30"}, 2, "--from: '2026-02-30' is not a date"},
      {"", {"jobs", "--to", "yesterday"}, 2, "--to: 'yesterday' is not a date"},
      {"", {"purge", "--from", "2026-01-01", "--to", "1/2/2026"}, 2, "is not a date"},
      {"", {"purge", "--from", "2026-01-01"}, 2, "--to is required"},
      {"",
       {"config", "add", "Cheap", "--cost", "abc"},
       2,
       "--cost: 'abc' is not an amount of money"},
      {"", {"config", "set", "1", "--cost", "0,05"}, 2, "is not an amount of money"},
      {"", {"config", "add", "Odd", "--unit", "yards"}, 2, "--unit"},
      {"", {"code", "batch", "1", "--active"}, 2, "give both"},
      {"", {"export", "--undo-last", "--dry-run"}, 2, "excludes"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    if (!c.pin.empty())
      args.insert(args.begin(), "--pin-stdin");
    ChildResult run = Kx4(args, c.pin.empty() ? "" : c.pin + "\n");
    EXPECT_EQ(run.status, c.status) << args[0] << " " << args[1] << ": " << run.err;
    if (c.status == 1)
      EXPECT_EQ(run.err, c.err);
    else
      EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
  EXPECT_EQ(Jobs(), "0\n");
  EXPECT_EQ(Quota("Ada"), Currency::Parse("10"));
  EXPECT_EQ(Scalar("SELECT COUNT(*) AS N FROM tblConfigurations"), "1\n");
  EXPECT_EQ(Scalar("SELECT UnitCost FROM tblConfigurations"), "0.1000\n");

  // With the setting off, the page limit only warns.
  ASSERT_EQ(Kx4({"settings", "set", "--no-cancel-max-page"}).status, 0);
  ChildResult warned = Record("1111", {"--port", "LPT1:", "--pages", "30", "--copies", "2"});
  EXPECT_EQ(warned.status, 0);
  EXPECT_EQ(warned.err, "kx4: warning: Too big: ask the print room.\n");
  EXPECT_EQ(Jobs(), "1\n");
}

TEST_P(Kx4Jobs, ConfigurationsAndBillingCodesGoThroughTheirRecordClasses) {
  ChildResult show = Kx4({"config", "show", "1", "--format", "json"});
  ASSERT_EQ(show.status, 0) << show.err;
  EXPECT_EQ(Python("import json, sys; d = json.load(sys.stdin); print(d['Name'], d['UnitCost'], "
                   "d['MaxPages'], d['MaxError'], d['ColorModifier'], d['TrackOptionId'], "
                   "d['UnitMeasureId'], d['Active'], sep='|')",
                   show.out),
            "Office|0.1000|50|Too big: ask the print room.|200|2|1|True\n");
  ASSERT_EQ(Kx4({"config", "add", "Plotters", "--unit", "sqfeet", "--cost", "1.5"}).out, "2\n");
  ASSERT_EQ(Kx4({"config", "set", "2", "--max-pages", "0", "--name", "Plotter room"}).status, 0);
  EXPECT_EQ(Kx4({"config", "list", "--format", "csv"}).out,
            "ConfigurationId,Name,TrackOptionId,TrackDesc,UnitMeasureId,UnitMeasure,UnitCost,"
            "MaxPages,Modifier\r\n1,Office,2,Track only,1,Pages,0.1000,50,200\r\n"
            "2,Plotter room,1,Popup,2,Square Feet,1.5000,,100\r\n");
  ChildResult papers =
      Kx4({"config", "papers", "1", "--offer", "1=90", "--withdraw", "2", "--format", "csv"});
  EXPECT_EQ(papers.out,
            "PaperTypeId,Description,DefaultType,Offered,Modifier\r\n1,Plain,true,true,90\r\n"
            "2,Glossy,false,false,150\r\n");
  EXPECT_EQ(Kx4({"config", "papers", "1", "--offer", "7"}).err,
            "kx4: no active paper type has the id 7.\n");

  // A port no printer has is priced by the unlisted-printer configuration.
  ASSERT_EQ(Kx4({"config", "unlisted", "2"}).status, 0);
  EXPECT_EQ(Python("import json, sys; print(json.load(sys.stdin)['Name'])",
                   Kx4({"config", "unlisted", "--format", "json"}).out),
            "Plotter room\n");
  ChildResult plotted = Record("", {"--port", "usb://plotter", "--pages", "1", "--width", "2159",
                                    "--height", "2794", "--dry-run"});
  EXPECT_EQ(Python("import json, sys; d = json.load(sys.stdin); print(d['Recorded'], "
                   "d['ListedPrinter'], d['ConfigName'], d['PrinterName'], d['Cost'])",
                   plotted.out),
            "False False Plotter room usb://plotter 0.9740\n");
  EXPECT_EQ(Jobs(), "0\n") << "a dry run records nothing";
  EXPECT_EQ(Kx4({"config", "delete", "2"}).err,
            "Cannot delete the configuration, it is associated with printers.\n");
  ASSERT_EQ(Kx4({"config", "add", "Spare"}).out, "3\n");
  ASSERT_EQ(Kx4({"config", "delete", "3"}).status, 0);
  EXPECT_EQ(Kx4({"config", "show", "3"}).err, "Configuration expected. Id: 3\n");

  ASSERT_EQ(Kx4({"code", "set", "2", "--description", "Operations", "--modifier", "95"}).status, 0);
  ASSERT_EQ(Kx4({"code", "batch", "1, 2", "--no-active", "--modifier", "80"}).status, 0);
  EXPECT_EQ(Kx4({"code", "list", "--inactive", "--code", "o", "--format", "csv"}).out,
            "ValidatedId,Code,Description,Modifier,Active\r\n2,OPS,Operations,80,false\r\n");
  EXPECT_EQ(Kx4({"code", "add", "ops"}).err, Kx4({"code", "add", "OPS"}).err)
      << "codes are unique ignoring case";
  EXPECT_EQ(Kx4({"code", "add", "ops"}).status, 1);
  ASSERT_EQ(Kx4({"code", "delete", "1"}).status, 0);
  EXPECT_EQ(Kx4({"code", "show", "2", "--format", "csv"}).out,
            "ValidatedId,Code,Description,Modifier,Active\r\n2,OPS,Operations,80,false\r\n");
  EXPECT_EQ(Kx4({"code", "list", "--format", "csv"}).out.find("PRJ"), std::string::npos);
}

KX4_INSTANTIATE_ENGINES(Kx4Jobs);

// The README's first command on a machine that has no database yet.
TEST(Kx4Demo, FillsAFolderOfItsOwnAndLeavesTheUsersSettingsAlone) {
  kx4::testing::TempHive hive;
  TempDir data;
  const std::vector<std::string> environment = {"XDG_DATA_HOME=" + data.Path()};
  const std::string folder = data / "demo";
  ChildResult demo = Kx4({"demo", "--folder", folder, "--jobs", "400"}, "", environment);
  ASSERT_EQ(demo.status, 0) << demo.err;
  for (const char* part : {"A fresh database", "Jobs by user", "The last jobs of Grace Hopper",
                           "Export run", "KX4_HIVE_DIR="})
    EXPECT_NE(demo.out.find(part), std::string::npos) << part << " in\n" << demo.out;
  EXPECT_EQ(demo.err, "") << "no progress bar without a terminal";
  EXPECT_FALSE(std::filesystem::exists(hive.UserHive()));
  EXPECT_FALSE(std::filesystem::exists(hive.SystemHive()));
  EXPECT_FALSE(std::filesystem::exists(data / "kestrix"));
  EXPECT_TRUE(std::filesystem::exists(folder + "/Demo.db"));

  // The export holds every job recorded, each costed.
  const size_t recorded = demo.out.find("jobs recorded");
  ASSERT_NE(recorded, std::string::npos);
  const std::string line = demo.out.substr(recorded, demo.out.find('\n', recorded) - recorded);
  EXPECT_EQ(Python("import csv, sys; r = list(csv.DictReader(sys.stdin)); "
                   "print(len(r), all(float(j['Cost']) >= 0 for j in r))",
                   ReadFile(folder + "/export.csv")),
            line.substr(line.find_last_of(' ') + 1) + " True\n");

  // Its own hive reaches the database.
  ChildResult summary = Kx4({"--pin-stdin", "jobs", "--summary", "--format", "json"}, "1001\n",
                            {"KX4_HIVE_DIR=" + folder + "/hive"});
  ASSERT_EQ(summary.status, 0) << summary.err;
  EXPECT_EQ(Python("import json, sys; print(json.load(sys.stdin)[-1]['Jobs'])", summary.out),
            line.substr(line.find_last_of(' ') + 1) + "\n");

  ChildResult again = Kx4({"demo", "--folder", folder}, "", environment);
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.err, "kx4: " + folder + "/Demo.db already exists; give the demo a new folder.\n");
}

}  // namespace
}  // namespace kx4::test
