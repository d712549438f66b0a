// The embedded database in the tools an administrator reaches for: Debian's
// sqlite3 shell and Python's sqlite3 module, with the extension kx4sqlite.so
// and without it, on a database the library created and filled.
#include <kx4data/AppTrack.h>
#include <kx4data/KXData.h>
#include <kx4data/PaperType.h>
#include <kx4data/PrintJob.h>
#include <kx4data/Printer.h>
#include <kx4data/User.h>
#include <kx4data/ado/Database.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "session/SessionSupport.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "support/TestDatabase.h"

namespace kx4::test {
namespace {

constexpr char kShell[] = "/usr/bin/sqlite3";
// Debian's own: it can load extensions, which a Python built elsewhere may not.
constexpr char kPython[] = "/usr/bin/python3";
constexpr char kExtension[] = KX4_BUILD_DIR "/lib/kx4sqlite.so";
constexpr char kNoCollation[] = "no such collation sequence: KX4_CI";

// Runs the statements of its input, one per ";\n", printing rows as the
// shell's list mode does.
constexpr char kPythonRunner[] = R"(
import sqlite3, sys
db = sqlite3.connect(sys.argv[1], isolation_level=None)
if len(sys.argv) > 2:
    db.enable_load_extension(True)
    db.load_extension(sys.argv[2])
    db.enable_load_extension(False)
for statement in sys.stdin.read().split(';\n'):
    if statement.strip():
        for row in db.execute(statement):
            print('|'.join('' if v is None else str(v) for v in row))
)";

enum class Tool { kShell, kPython };

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

// `statements` ("...;\n" each) through `tool` on the database `file`.
ChildResult RunTool(Tool tool, const std::string& file, const std::string& statements,
                    bool extension = true) {
  if (tool == Tool::kShell)
    return RunChild({kShell, "-bail", file}, {}, {},
                    (extension ? std::string(".load ") + kExtension + "\n" : "") + statements);
  std::vector<std::string> argv = {kPython, "-c", kPythonRunner, file};
  if (extension)
    argv.push_back(kExtension);
  return RunChild(argv, {}, {}, statements);
}

// A database of the library, filled through the record classes, with
// sessions as agents and the administration tool have them.
class LibraryDatabase {
 public:
  LibraryDatabase() : db_(Engine::kSqlite) {
    StoreSettingsFor(db_);
    file_ = ado::LocateDatabase(db_.ConnectionString()).file;
    // A session reads the settings when it is made.
    session_ = std::make_unique<KXData>();
    Check(session_->EstablishConnection(Variant(true)));
    Check(session_->GetAuthorization());
  }

  void Fill() {
    zoe_ = SavedUser("Zoë Quill", "4711", Currency::Parse("1.5"));
    owner_ = SavedUser("Job Owner", "4712", Currency::Parse("0"));
    PaperType glossy;
    glossy.SetDescription("Glossy");
    glossy.SetCostModifier(150);
    Check(glossy.Save(*session_));
    Printer printer;
    printer.SetName("Laser 1");
    printer.SetPort("LPT1:");
    printer.SetConfigurationId(1);
    Check(printer.Save(*session_));
    AppTrack app;
    app.SetName("WINWORD.EXE");
    app.SetDescription("Word");
    Check(app.Save(*session_));
    PrintJob job;
    job.SetUserId(owner_);
    job.SetUnitMeasureId(kxuPages);
    job.SetPages(2);
    job.SetCopies(1);
    job.SetCostPerUnit(Currency::Parse("0.25"));
    job.SetNetworkUser("owner");
    job.SetPrinterName("Laser 1");
    job.SetDocument("Report.pdf");
    Check(job.Save(*session_));
  }

  // The library's own answer.
  std::string Count(const std::string& table) {
    return Scalar(db_.Connect(), "SELECT COUNT(*) FROM " + table).ToString();
  }

  static void Check(const KXErrorPtr& error) { ASSERT_EQ(error, nullptr) << error->Message(); }

  KXData& session() { return *session_; }
  const std::string& file() const { return file_; }
  int32_t zoe() const { return zoe_; }

 private:
  int32_t SavedUser(const std::string& name, const std::string& pin, Currency quota) {
    User user;
    user.SetName(name);
    user.SetPinCode(pin);
    user.SetUseQuota(true);
    user.SetQuotaRemaining(quota);
    user.SetAdminSecurity(true);
    Check(user.Save(*session_));
    return user.Id();
  }

  TestDatabase db_;
  std::string file_;
  std::unique_ptr<KXData> session_;
  int32_t zoe_ = 0;
  int32_t owner_ = 0;
};

class StandardTools : public ::testing::TestWithParam<Tool> {
 protected:
  void SetUp() override {
    database_ = std::make_unique<LibraryDatabase>();
    database_->Fill();
  }

  // The rows the statements print; the test fails when the tool does.
  std::vector<std::string> Rows(const std::string& statements) {
    ChildResult run = RunTool(GetParam(), database_->file(), statements);
    EXPECT_EQ(run.status, 0) << statements << run.err;
    return Lines(run.out);
  }
  std::string Value(const std::string& statement) {
    std::vector<std::string> rows = Rows(statement + ";\n");
    EXPECT_EQ(rows.size(), 1u) << statement;
    return rows.empty() ? "" : rows.front();
  }

  std::unique_ptr<LibraryDatabase> database_;
};

TEST_P(StandardTools, CountAndListEveryTable) {
  const std::vector<std::string> tables = Rows(
      "SELECT name FROM sqlite_schema WHERE type = 'table' AND name LIKE 'tbl%' ORDER BY 1;\n");
  EXPECT_EQ(tables.size(), 11u);
  for (const std::string& table : tables) {
    const std::string count = database_->Count(table);
    EXPECT_EQ(Value("SELECT count(*) FROM " + table), count) << table;
    // Listed through the name indexes, which only KX4_CI can read.
    EXPECT_EQ(Rows("SELECT * FROM " + table + " ORDER BY 1;\n").size(), std::stoul(count)) << table;
  }
  EXPECT_EQ(Rows("SELECT Name FROM tblUsers ORDER BY Name;\n"),
            (std::vector<std::string>{"Job Owner", "Zoë Quill"}));
}

TEST_P(StandardTools, FindWhatTheLibraryFindsWhateverTheCase) {
  const std::string zoe = std::to_string(database_->zoe());
  EXPECT_EQ(Value("SELECT UserId FROM tblUsers WHERE Name = 'ZOË QUILL  '"), zoe);
  EXPECT_EQ(Value("SELECT UserId FROM tblUsers WHERE Name LIKE 'zoË [p-r]%'"), zoe);
  EXPECT_EQ(Value("SELECT upper(Name) || '|' || lower(Name) FROM tblUsers WHERE UserId = " + zoe),
            "ZOË QUILL|zoë quill");
  EXPECT_EQ(Value("SELECT count(*) FROM tblUsers WHERE kx4_key(Name) = kx4_key('zoë quill ')"),
            "1");
  // The port index is built from the library's UPPER.
  EXPECT_EQ(Value("SELECT Name FROM tblPrinters WHERE upper(Port) = 'lpt1:' COLLATE KX4_CI"),
            "Laser 1");
  EXPECT_EQ(Value("SELECT Description FROM tblPaperTypes WHERE Description = 'GLOSSY'"), "Glossy");
}

TEST_P(StandardTools, InsertAUserTheLibraryLoads) {
  const std::string id = Value(
      "INSERT INTO tblUsers (Name, UseQuota, QuotaRemaining) "
      "VALUES ('Émile Zola', 1, kx4_tomoney('2.25'));\n"
      "SELECT last_insert_rowid()");
  User loaded;
  ASSERT_EQ(loaded.Load(database_->session(), std::stoi(id)), nullptr);
  EXPECT_EQ(loaded.Name(), "Émile Zola");
  EXPECT_TRUE(loaded.UseQuota());
  EXPECT_EQ(loaded.QuotaRemaining(), Currency::Parse("2.25"));
  EXPECT_TRUE(loaded.Active());

  // The unique keys hold as the library's collation says: another case of a
  // stored description is the same description.
  ChildResult duplicate = RunTool(GetParam(), database_->file(),
                                  "INSERT INTO tblPaperTypes (Description) VALUES ('GLOSSY ');\n");
  EXPECT_NE(duplicate.status, 0);
  EXPECT_NE(duplicate.err.find("UNIQUE constraint failed: tblPaperTypes.Description"),
            std::string::npos)
      << duplicate.err;
  EXPECT_EQ(database_->Count("tblPaperTypes"), "1");
}

TEST_P(StandardTools, ReadAQuotaAsItsDecimal) {
  EXPECT_EQ(Value("SELECT kx4_mtext(QuotaRemaining) FROM tblUsers WHERE Name = 'zoë quill'"),
            "1.5000");
  // Stored as ten-thousandths, which the schema's comments say.
  EXPECT_EQ(Value("SELECT QuotaRemaining FROM tblUsers WHERE Name = 'zoë quill'"), "15000");
  // The job owner's two pages at 0.25 took the quota below zero.
  EXPECT_EQ(Value("SELECT kx4_mtext(QuotaRemaining) FROM tblUsers WHERE Name = 'JOB OWNER'"),
            "-0.5000");
  EXPECT_EQ(Value("SELECT kx4_mtext(sum(QuotaRemaining)) FROM tblUsers"), "1.0000");
  EXPECT_EQ(Value("SELECT kx4_mtext(CostPerUnit) FROM tblPrintJobs"), "0.2500");
}

TEST_P(StandardTools, WithoutTheExtensionSayTheCollationIsMissing) {
  for (const char* statement :
       {"SELECT count(*) FROM tblUsers;\n", "SELECT Name FROM tblUsers WHERE Name = 'zoë quill';\n",
        "INSERT INTO tblUsers (Name) VALUES ('Someone');\n"}) {
    ChildResult run = RunTool(GetParam(), database_->file(), statement, false);
    EXPECT_NE(run.status, 0) << statement;
    EXPECT_NE(run.err.find(kNoCollation), std::string::npos) << statement << run.err;
  }
  EXPECT_EQ(database_->Count("tblUsers"), "2");
}

INSTANTIATE_TEST_SUITE_P(Tools, StandardTools, ::testing::Values(Tool::kShell, Tool::kPython),
                         [](const ::testing::TestParamInfo<Tool>& info) {
                           return std::string(info.param == Tool::kShell ? "Shell" : "Python");
                         });

// Backups taken with the shell while an agent records jobs: each is a whole
// database of its own, never a file copy that could miss the write-ahead log.
TEST(StandardToolsBackup, BackupsTakenWhileAnAgentWritesAreSound) {
  LibraryDatabase database;
  database.Fill();
  constexpr int kJobs = 400;
  ChildResult writer;
  std::thread agent([&] {
    writer =
        RunChild({KX4_JOB_WRITER, std::to_string(database.zoe()), std::to_string(kJobs), "0.0001"});
  });
  // Wait for the agent's first jobs, so that the backups overlap its writing.
  for (int i = 0; i < 500 && std::stoi(database.Count("tblPrintJobs")) < 20; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));

  TempDir backups;
  std::vector<std::string> files;
  for (const char* how : {".backup '%s'\n", "VACUUM INTO '%s';\n", ".backup '%s'\n"}) {
    const std::string file = backups / ("copy" + std::to_string(files.size()) + ".db");
    std::string command(how);
    command.replace(command.find("%s"), 2, file);
    ChildResult backup = RunTool(Tool::kShell, database.file(), command);
    ASSERT_EQ(backup.status, 0) << backup.err;
    files.push_back(file);
  }
  agent.join();
  ASSERT_EQ(writer.status, 0) << writer.err;
  EXPECT_EQ(database.Count("tblPrintJobs"), std::to_string(kJobs + 1));

  for (const std::string& file : files) {
    struct stat wal = {};
    EXPECT_NE(::stat((file + "-wal").c_str(), &wal), 0) << "a backup needs no log: " << file;
    ChildResult check = RunTool(Tool::kShell, file,
                                "PRAGMA integrity_check;\n"
                                "SELECT count(*) FROM tblPrintJobs;\n"
                                "SELECT count(*) FROM tblPrintJobs WHERE UserId = " +
                                    std::to_string(database.zoe()) + ";\n");
    ASSERT_EQ(check.status, 0) << check.err;
    const std::vector<std::string> rows = Lines(check.out);
    ASSERT_EQ(rows.size(), 3u) << check.out;
    EXPECT_EQ(rows[0], "ok") << file;
    EXPECT_GE(std::stoi(rows[1]), 20) << file;
    EXPECT_LE(std::stoi(rows[1]), kJobs + 1) << file;
    // Every job in the copy came with its charge: the copy is one moment.
    ChildResult quota = RunTool(Tool::kShell, file,
                                "SELECT QuotaRemaining FROM tblUsers WHERE UserId = " +
                                    std::to_string(database.zoe()) + ";\n");
    ASSERT_EQ(quota.status, 0) << quota.err;
    const Currency charged = Currency::Parse("0.0001") * std::stoi(rows[2]);
    EXPECT_EQ(quota.out, std::to_string((Currency::Parse("1.5") - charged).Ticks()) + "\n") << file;
  }
  // The library opens a backup as it opens its own database.
  auto copy = std::make_shared<ado::Connection>();
  copy->SetConnectionString("Provider=SQLOLEDB;Data Source=(localdb);Database=" + files.front() +
                            ";Trusted_Connection=Yes;");
  copy->Open();
  EXPECT_EQ(Scalar(copy, "SELECT Version FROM tblSettings").ToString(), "4");
}

}  // namespace
}  // namespace kx4::test
