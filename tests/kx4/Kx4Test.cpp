// The kx4 tool end to end, as an administrator runs it, on both engines.
#include <kx4data/ado/Database.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "kx4/Kx4Fixture.h"
#include "kx4/Kx4Run.h"
#include "support/TempDir.h"
#include "support/TempHive.h"
#include "support/TestDatabase.h"

namespace kx4::test {
namespace {

using kx4::testing::TempHive;

constexpr char kNoAccess[] = "You do not have the proper access to execute this method.\n";

TEST_P(Kx4Tool, InitKeepsTheSettingsAndNeverOverwritesUnasked) {
  ChildResult init = Kx4(InitArgs());
  ASSERT_EQ(init.status, 0) << init.err;
  EXPECT_EQ(init.out,
            "Created " + database_ + " on " + server_ + "; settings kept for this user.\n");
  ChildResult show = Kx4({"connection", "show", "--format", "json"});
  ASSERT_EQ(show.status, 0) << show.err;
  EXPECT_EQ(
      Python("import json, sys; d = json.load(sys.stdin); "
             "print(d['Server'], d['Database'], d['Authentication'], d['ConnectTimeout'] + 0)",
             show.out),
      server_ + " " + database_ + " integrated 15\n");
  ChildResult test = Kx4({"connection", "test"});
  EXPECT_EQ(test.status, 0) << test.err;
  EXPECT_EQ(test.out, "Connected to " + database_ + " on " + server_ + ", database version 4.\n");

  EXPECT_EQ(AddUser("Jo", "1111"), "1\n");
  ChildResult again = Kx4(InitArgs());
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("already exists"), std::string::npos) << again.err;
  EXPECT_EQ(Scalar("SELECT Name FROM tblUsers"), "Jo\n") << "the database was left alone";

  ChildResult forced = Kx4({"init", "--server", server_, "--database", database_, "--force"});
  EXPECT_EQ(forced.status, 0) << forced.err;
  ChildResult gone = Kx4({"user", "show", "1"});
  EXPECT_EQ(gone.status, 1);
  EXPECT_EQ(gone.err, "User record expected: id - 1\n");
}

TEST_P(Kx4Tool, ReferenceDataGoesThroughTheRecordClasses) {
  Init();
  EXPECT_EQ(AddUser("Zoë Smith, \"Jo\"", "1111",
                    {"--quota", "10.5", "--use-quota", "--admin", "--report", "own"}),
            "1\n");
  AddUser("Second", "2222");
  ASSERT_EQ(Kx4({"user", "batch", "1, 2", "--no-active", "--use-quota", "--quota", "4", "--report",
                 "all"})
                .status,
            0);
  EXPECT_EQ(Scalar("SELECT SUM(QuotaRemaining) AS Total FROM tblUsers WHERE ReportSecurity = 2 "
                   "AND Active = 0 AND UseQuota = 1"),
            "8.0000\n");
  ASSERT_EQ(Kx4({"user", "delete", "2"}).status, 0);
  ASSERT_EQ(Kx4({"user", "set", "1", "--quota", "2.25", "--no-use-quota", "--active"}).status, 0);
  ChildResult user = Kx4({"user", "show", "1", "--format", "json"});
  ASSERT_EQ(user.status, 0) << user.err;
  EXPECT_EQ(Python("import json, sys; d = json.load(sys.stdin); "
                   "print(d['Name'], repr(d['QuotaRemaining']), d['UseQuota'], d['AdminSecurity'], "
                   "d['ReportSecurity'] + 0, 'PinCode' in d, sep='|')",
                   user.out),
            "Zoë Smith, \"Jo\"|'2.2500'|False|True|2|False\n");
  user = Kx4({"user", "show", "1", "--format", "csv"});
  EXPECT_EQ(
      Python("import csv, sys; r = list(csv.reader(sys.stdin)); print(len(r), r[1][1])", user.out),
      "2 Zoë Smith, \"Jo\"\n");

  EXPECT_EQ(Kx4({"printer", "add", "Laser 1", "--port", "LPT1:", "--config", "3"}).out, "1\n");
  EXPECT_EQ(Kx4({"printer", "add", "Laser 2", "--port", "LPT2:", "--config", "3"}).out, "2\n");
  EXPECT_EQ(Kx4({"printer", "batch", "1,2", "--config", "5"}).status, 0);
  EXPECT_EQ(Kx4({"printer", "set", "2", "--name", "Laser Two"}).status, 0);
  EXPECT_EQ(Kx4({"printer", "show", "--port", "lpt2:", "--format", "csv"}).out,
            "PrinterId,Name,Port,ConfigurationId\r\n2,Laser Two,lpt2:,5\r\n");

  EXPECT_EQ(Kx4({"paper", "add", "Plain"}).out, "1\n");
  EXPECT_EQ(Kx4({"paper", "add", "Glossy", "--modifier", "125", "--default"}).out, "2\n");
  ASSERT_EQ(Kx4({"paper", "move", "2", "up"}).status, 0);
  ChildResult glossy = Kx4({"paper", "show", "2", "--format", "json"});
  ChildResult plain = Kx4({"paper", "show", "1", "--format", "json"});
  const std::string fields =
      "import json, sys; d = json.load(sys.stdin); "
      "print(d['Description'], d['Modifier'], d['Active'], d['DefaultType'], d['ListPosition'])";
  EXPECT_EQ(Python(fields, glossy.out), "Glossy 125 True True 2\n");
  EXPECT_EQ(Python(fields, plain.out), "Plain 100 True False 3\n");
  ASSERT_EQ(Kx4({"paper", "delete", "1"}).status, 0);
  EXPECT_EQ(Kx4({"paper", "show", "1"}).err, "Paper type record expected. ID: 1\n");

  EXPECT_EQ(Kx4({"app", "add", "WINWORD", "--description", "Word", "--track", "ignore"}).out,
            "1\n");
  ASSERT_EQ(Kx4({"app", "set", "1", "--track", "track-only"}).status, 0);
  EXPECT_EQ(Kx4({"app", "show", "1", "--format", "csv"}).out,
            "ApplicationId,Name,Description,TrackOptionId\r\n1,WINWORD,Word,2\r\n");
  ASSERT_EQ(Kx4({"app", "delete", "1"}).status, 0);
  EXPECT_EQ(Kx4({"app", "show", "1"}).err, "Could not find application with id: 1\n");

  ASSERT_EQ(Kx4({"settings", "set", "--field-one-name", "Dept, floor", "--max-batch", "12",
                 "--cancel-max-page"})
                .status,
            0);
  ChildResult settings = Kx4({"settings", "show", "--format", "json"});
  EXPECT_EQ(Python("import json, sys; d = json.load(sys.stdin); print(d['FieldOneName'], "
                   "d['MaxBatch'] + 0, d['CancelMaxPage'], d['AllowBatch'], d['DBVersion'])",
                   settings.out),
            "Dept, floor 12 True False 4\n");

  // Report rows keep their types too: money as a decimal string.
  ChildResult report = Kx4({"report",
                            "SELECT UserId, Name, QuotaRemaining FROM tblUsers WHERE "
                            "QuotaRemaining > ? ORDER BY Name",
                            "-p", "money:1.5", "--format", "json"});
  ASSERT_EQ(report.status, 0) << report.err;
  EXPECT_EQ(Python("import json, sys; print(json.load(sys.stdin))", report.out),
            "[{'UserId': 1, 'Name': 'Zoë Smith, \"Jo\"', 'QuotaRemaining': '2.2500'}]\n");
}

TEST_P(Kx4Tool, RefusalsShowTheLibrarysMessageAndChangeNothing) {
  Init();
  ChildResult secure = Kx4({"security", "set", "--secure-admin"});
  EXPECT_EQ(secure.status, 1);
  EXPECT_EQ(secure.err,
            "You cannot secure the administrator as there are no users in the "
            "database with admin security.\n");
  AddUser("Admin", "1111", {"--admin", "--quota", "7"});
  AddUser("Clerk", "2222");
  ChildResult duplicate = Kx4({"user", "add", "Copy", "--new-pin-stdin"}, "1111\n");
  EXPECT_EQ(duplicate.status, 1);
  EXPECT_EQ(duplicate.err, "This pin number already exists in the database.\n");
  ChildResult ids = Kx4(
      {"user", "batch", "1,x", "--active", "--no-use-quota", "--quota", "0", "--report", "none"});
  EXPECT_EQ(ids.status, 1);
  EXPECT_EQ(ids.err, "The id list \"1,x\" is not valid: use decimal ids separated by commas.\n");
  ASSERT_EQ(Kx4({"printer", "add", "P1", "--port", "LPT1:", "--config", "1"}).status, 0);
  ChildResult port = Kx4({"printer", "add", "P2", "--port", "lpt1:", "--config", "1"});
  EXPECT_EQ(port.status, 1);
  EXPECT_EQ(port.err, "The printer lpt1: already exists in the database.\n");
  ChildResult writing = Kx4({"report", "DELETE FROM tblUsers"});
  EXPECT_EQ(writing.status, 1);
  EXPECT_FALSE(writing.err.empty());
  EXPECT_EQ(Scalar("SELECT COUNT(*) AS N FROM tblUsers"), "2\n");
  EXPECT_EQ(Scalar("SELECT QuotaRemaining FROM tblUsers WHERE UserId = 1"), "7.0000\n");
  EXPECT_EQ(Scalar("SELECT COUNT(*) AS N FROM tblPrinters"), "1\n");

  // Once the administration is secured, only an administrator's PIN opens it.
  ASSERT_EQ(Kx4({"security", "set", "--secure-admin"}).status, 0);
  ChildResult no_pin = Kx4({"user", "show", "2"});
  EXPECT_EQ(no_pin.status, 1);
  EXPECT_EQ(no_pin.err, kNoAccess);
  EXPECT_EQ(Kx4({"--pin-stdin", "user", "show", "2"}, "2222\n").err, kNoAccess);
  EXPECT_EQ(Kx4({"user", "show", "2", "--pin-stdin"}, "1111\n").status, 0);
  ChildResult last = Kx4({"user", "delete", "1", "--pin-stdin"}, "1111\n");
  EXPECT_EQ(last.status, 1);
  EXPECT_EQ(last.err,
            "You cannot delete this user as it is the last administrator in the database.\n");
  ASSERT_EQ(Kx4({"user", "set", "2", "--no-active", "--pin-stdin"}, "1111\n").status, 0);
  ChildResult inactive = Kx4({"--pin-stdin", "printer", "show", "1"}, "2222\n");
  EXPECT_EQ(inactive.status, 1);
  EXPECT_EQ(inactive.err, "Invalid PIN code.\n");
  ChildResult unknown = Kx4({"--pin-stdin", "printer", "show", "1"}, "9999\n");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_EQ(unknown.err, "User record expected.\n");
}

TEST_P(Kx4Tool, UsageErrorsAreStatus2AndChangeNothing) {
  Init();
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{"user", "add", "X", "--new-pin-stdin", "--quota", "abc"},
       "--quota: 'abc' is not an amount of money"},
      {{"user", "add", "X", "--new-pin-stdin", "--quota", "1,5"}, "not an amount of money"},
      {{"paper", "add", "Y", "--modifier", "ten"}, "--modifier"},
      {{"report", "SELECT Name FROM tblUsers WHERE UserId > ?", "-p", "date:2026-02-30"},
       "is not a date"},
      {{"report", "SELECT Name FROM tblUsers", "-p", "date:05/03/2026"}, "is not a date"},
      {{"user", "show", "abc"}, "id"},
      {{"user", "batch", "1", "--active"}, "give all four"},
      {{"user", "frobnicate"}, "A subcommand is required"},
      {{}, "A subcommand is required"},
  };
  for (const Case& c : cases) {
    ChildResult run = Kx4(c.args, "1234\n");
    EXPECT_EQ(run.status, 2) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Run with --help for more information."), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
  EXPECT_EQ(Scalar("SELECT COUNT(*) AS N FROM tblUsers"), "0\n");
  EXPECT_EQ(Scalar("SELECT COUNT(*) AS N FROM tblPaperTypes"), "0\n");
}

// Each listing command shows what its list operation of the library hands
// out, with the operation's own filters and refusals.
TEST_P(Kx4Tool, ListsShowTheLibrarysListsWithTheirFilters) {
  Init();
  AddUser("Zoë", "1111", {"--admin"});
  AddUser("Al", "2222");
  ASSERT_EQ(Kx4({"user", "set", "2", "--no-active"}).status, 0);
  ChildResult users = Kx4({"user", "list", "--format", "csv"});
  ASSERT_EQ(users.status, 0) << users.err;
  EXPECT_EQ(Python("import csv, sys; r = list(csv.reader(sys.stdin)); "
                   "print(r[0]); print([row[r[0].index('Name')] for row in r[1:]])",
                   users.out),
            "['UserId', 'Name', 'UseQuota', 'QuotaRemaining', 'Active', 'AdminSecurity', "
            "'ReportSecurity']\n['Al', 'Zoë']\n")
      << "by name, the enciphered PIN codes never shown";
  EXPECT_EQ(Kx4({"user", "list", "--active", "--format", "csv"}).out.find("Al,"),
            std::string::npos);
  ChildResult named = Kx4({"user", "list", "--name", "z", "--inactive", "--format", "csv"});
  EXPECT_EQ(Python("import csv, sys; print(len(list(csv.reader(sys.stdin))))", named.out), "1\n");

  // Printers are listed only with a configuration that exists.
  ASSERT_EQ(Kx4({"config", "add", "Office"}).out, "1\n");
  ASSERT_EQ(Kx4({"printer", "add", "Laser", "--port", "LPT1:", "--config", "1"}).status, 0);
  ASSERT_EQ(Kx4({"printer", "add", "Atrium", "--port", "USB001", "--config", "1"}).status, 0);
  ASSERT_EQ(Kx4({"printer", "add", "Lost", "--port", "LPT9:", "--config", "7"}).status, 0);
  EXPECT_EQ(Kx4({"printer", "list", "--format", "csv"}).out,
            "PrinterId,Name,Port,ConfigurationId,ConfigName\r\n2,Atrium,USB001,1,Office\r\n"
            "1,Laser,LPT1:,1,Office\r\n");

  ASSERT_EQ(Kx4({"app", "add", "WINWORD", "--description", "Word"}).status, 0);
  ASSERT_EQ(Kx4({"app", "add", "ACROBAT", "--track", "ignore"}).status, 0);
  EXPECT_EQ(Kx4({"app", "list", "--format", "csv"}).out,
            "ApplicationId,Name,Description,TrackOptionId\r\n2,ACROBAT,,3\r\n"
            "1,WINWORD,Word,1\r\n");

  // Once the administration is secured, users are listed for its PIN only.
  ASSERT_EQ(Kx4({"security", "set", "--secure-admin"}).status, 0);
  ChildResult refused = Kx4({"user", "list"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, kNoAccess);
  EXPECT_EQ(Kx4({"user", "list", "--pin-stdin"}, "1111\n").status, 0);
  EXPECT_EQ(Kx4({"printer", "list"}).status, 0) << "other lists need no right";
}

KX4_INSTANTIATE_ENGINES(Kx4Tool);

// Embedded-only cases: the machine's defaults, and what reaches files.
class Kx4Embedded : public ::testing::Test {
 protected:
  TempHive hive_;
  TempDir data_;
  std::vector<std::string> Environment() const { return {"XDG_DATA_HOME=" + data_.Path()}; }
};

TEST_F(Kx4Embedded, InitOnAFreshMachineCreatesTheDefaultDatabase) {
  ChildResult init = Kx4({"init"}, "", Environment());
  ASSERT_EQ(init.status, 0) << init.err;
  EXPECT_EQ(init.out, "Created Tracking on (localdb); settings kept for this user.\n");
  EXPECT_TRUE(std::filesystem::exists(data_.Path() + "/kestrix/Tracking.db"));
  ChildResult test = Kx4({"connection", "test"}, "", Environment());
  EXPECT_EQ(test.out, "Connected to Tracking on (localdb), database version 4.\n");
}

TEST_F(Kx4Embedded, SettingsThatCannotBeKeptAreAFailure) {
  // A file where the hive folder should be: nothing can be stored there.
  const std::string blocked = data_ / "hive";
  WriteFile(blocked, "");
  ChildResult init =
      Kx4({"init"}, "", {"XDG_DATA_HOME=" + data_.Path(), "KX4_HIVE_DIR=" + blocked});
  EXPECT_EQ(init.status, 1);
  EXPECT_EQ(init.out, "");
  EXPECT_EQ(init.err,
            "Created Tracking on (localdb), but its connection settings could not be kept; check "
            "that the settings folder can be written.\n");
}

TEST_F(Kx4Embedded, PasswordsAreReadButNeverShownNorKeptUnasked) {
  const std::string secret = "s3cret-Pw";
  auto hives = [&] {
    return TempHive::Read(hive_.UserHive()) + TempHive::Read(hive_.SystemHive());
  };
  ChildResult init = Kx4({"init", "--database", "Asked", "--user", "clerk", "--password-stdin"},
                         secret + "\n", Environment());
  ASSERT_EQ(init.status, 0) << init.err;
  ChildResult show = Kx4({"connection", "show", "--format", "csv"}, "", Environment());
  EXPECT_EQ(show.out,
            "Server,Database,Authentication,User,Password,NetworkLibrary,ConnectTimeout,"
            "QueryTimeout\r\n(localdb),Asked,login,clerk,asked for,,15,60\r\n");
  EXPECT_EQ(hives().find(secret), std::string::npos);
  ChildResult test = Kx4({"connection", "test", "--password-stdin"}, secret + "\n", Environment());
  EXPECT_EQ(test.status, 0) << test.err;

  ChildResult kept =
      Kx4({"init", "--database", "Kept", "--user", "clerk", "--store-password", "--password-stdin"},
          secret + "\n", Environment());
  ASSERT_EQ(kept.status, 0) << kept.err;
  EXPECT_NE(Kx4({"connection", "show"}, "", Environment()).out.find("kept"), std::string::npos);
  EXPECT_EQ(hives().find(secret), std::string::npos) << "kept enciphered";
  for (const ChildResult* run : {&init, &show, &test, &kept})
    EXPECT_EQ((run->out + run->err).find(secret), std::string::npos);

  ChildResult no_terminal =
      Kx4({"init", "--database", "Never", "--user", "clerk"}, "", Environment());
  EXPECT_EQ(no_terminal.status, 2);
  EXPECT_NE(no_terminal.err.find("--password-stdin"), std::string::npos) << no_terminal.err;
  EXPECT_FALSE(std::filesystem::exists(data_.Path() + "/kestrix/Never.db"));
}

TEST_F(Kx4Embedded, APinTypedOnTheTerminalIsNeverEchoed) {
  // The terminal's program inherits this process's environment.
  struct DataHome {
    std::string previous = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    explicit DataHome(const std::string& path) { ::setenv("XDG_DATA_HOME", path.c_str(), 1); }
    ~DataHome() { ::setenv("XDG_DATA_HOME", previous.c_str(), 1); }
  } data_home(data_.Path());
  ASSERT_EQ(Kx4({"init"}).status, 0);
  TerminalRun add =
      Kx4OnTerminal({"user", "add", "Jo"}, {{"PIN code for Jo: ", "4321"}, {"Again: ", "4321"}});
  EXPECT_EQ(add.status, 0) << add.screen;
  EXPECT_EQ(add.screen.find("4321"), std::string::npos) << add.screen;
  EXPECT_NE(add.screen.find("1\r\n"), std::string::npos) << add.screen;
  // The PIN was kept as typed: it authorises.
  EXPECT_EQ(Kx4({"--pin-stdin", "user", "show", "1"}, "4321\n").status, 0);

  TerminalRun differ =
      Kx4OnTerminal({"user", "add", "Al"}, {{"PIN code for Al: ", "5555"}, {"Again: ", "5556"}});
  EXPECT_EQ(differ.status, 1);
  EXPECT_NE(differ.screen.find("The two entries differ"), std::string::npos) << differ.screen;
}

}  // namespace
}  // namespace kx4::test
