#include <kx4data/Printer.h>

#include <gtest/gtest.h>

#include "records/RecordTestSupport.h"

namespace kx4::test {
namespace {

class PrinterTest : public RecordTest {
 protected:
  int32_t AddPrinter(const std::string& name, const std::string& port, int32_t config) {
    Printer p;
    p.SetName(name);
    p.SetPort(port);
    p.SetConfigurationId(config);
    KXErrorPtr error = p.Save(session());
    EXPECT_EQ(error, nullptr) << (error ? error->Message() : "");
    return p.Id();
  }
  int32_t ConfigOf(int32_t id) {
    return Value("SELECT ConfigurationId FROM tblPrinters WHERE PrinterId = " + std::to_string(id))
        .ToLong();
  }
};

TEST_P(PrinterTest, SavesLoadsAndUpdates) {
  Printer p;
  p.SetName("  Laser 4  ");
  p.SetPort("LPT1:");
  p.SetConfigurationId(3);
  ASSERT_EQ(p.Save(session()), nullptr);
  ASSERT_GT(p.Id(), 0);
  EXPECT_EQ(p.Name(), "Laser 4");
  EXPECT_FALSE(session().InTransaction());

  p.SetConfigurationId(5);
  p.SetPort("lpt1:");  // its own port in another case is no duplicate
  ASSERT_EQ(p.Save(session()), nullptr);
  EXPECT_EQ(Count("tblPrinters"), 1);

  Printer loaded;
  ASSERT_EQ(loaded.Load(session(), p.Id()), nullptr);
  EXPECT_EQ(loaded.Id(), p.Id());
  EXPECT_EQ(loaded.Name(), "Laser 4");
  EXPECT_EQ(loaded.Port(), "lpt1:");
  EXPECT_EQ(loaded.ConfigurationId(), 5);

  KXErrorPtr error = loaded.Load(session(), 999);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->KXErrorNumber(), erRecordExpected);
  EXPECT_EQ(error->IconType(), 16);
  EXPECT_EQ(error->Message(), "Expected printer with id: 999");
  EXPECT_EQ(loaded.Id(), 999);
  EXPECT_EQ(loaded.Name(), "Laser 4");
}

TEST_P(PrinterTest, RefusesAPortAnotherPrinterHasInAnyCase) {
  const int32_t first = AddPrinter("First", "\\\\Server\\Laser", 1);
  Printer second;
  second.SetName("Second");
  second.SetPort("\\\\SERVER\\laser");
  KXErrorPtr error = second.Save(session());
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->KXErrorNumber(), erDataValueExists);
  EXPECT_EQ(error->IconType(), 48);
  EXPECT_EQ(error->Message(), "The printer \\\\SERVER\\laser already exists in the database.");
  EXPECT_EQ(second.Id(), -1);

  // Moving another stored printer onto the port is refused too.
  second.SetPort("LPT2:");
  ASSERT_EQ(second.Save(session()), nullptr);
  second.SetPort("\\\\server\\LASER");
  ASSERT_NE(second.Save(session()), nullptr);
  EXPECT_EQ(Value("SELECT Port FROM tblPrinters WHERE PrinterId = " + std::to_string(second.Id()))
                .ToString(),
            "LPT2:");
  EXPECT_EQ(Count("tblPrinters"), 2);
  EXPECT_GT(first, 0);
}

TEST_P(PrinterTest, PrintersWithoutAPortNeverClash) {
  const int32_t a = AddPrinter("A", "", 1);
  const int32_t b = AddPrinter("B", "", 1);
  EXPECT_NE(a, b);
  EXPECT_EQ(Count("tblPrinters WHERE Port IS NULL"), 2);

  Printer loaded;
  ASSERT_EQ(loaded.Load(session(), b), nullptr);
  EXPECT_EQ(loaded.Port(), "");
  EXPECT_EQ(loaded.Name(), "B");

  Printer by_port;
  KXErrorPtr error = by_port.LoadByPort(session(), "");
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->KXErrorNumber(), erRecordExpected);
  EXPECT_EQ(error->Message(), "Could not find printer with port ");
  EXPECT_EQ(by_port.Id(), -1);
}

TEST_P(PrinterTest, LoadByPortIgnoresCaseAndKeepsTheCallersText) {
  AddPrinter("Other", "COM1:", 2);
  const int32_t id = AddPrinter("Plotter", "\\\\PRINTSRV\\PLOTTER", 7);

  Printer p;
  ASSERT_EQ(p.LoadByPort(session(), "\\\\printsrv\\plotter"), nullptr);
  EXPECT_EQ(p.Id(), id);
  EXPECT_EQ(p.Name(), "Plotter");
  EXPECT_EQ(p.ConfigurationId(), 7);
  EXPECT_EQ(p.Port(), "\\\\printsrv\\plotter");

  Printer missing;
  missing.SetName("kept");
  missing.SetConfigurationId(4);
  KXErrorPtr error = missing.LoadByPort(session(), " com1:");  // not trimmed
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->Message(), "Could not find printer with port  com1:");
  EXPECT_EQ(error->IconType(), 16);
  EXPECT_EQ(missing.Port(), " com1:");
  EXPECT_EQ(missing.Id(), -1);
  EXPECT_EQ(missing.Name(), "kept");
  EXPECT_EQ(missing.ConfigurationId(), 4);
}

TEST_P(PrinterTest, DeleteRunsEvenUnsavedAndRemovesOnlyItsRow) {
  const int32_t keep = AddPrinter("Keep", "LPT1:", 1);
  const int32_t drop = AddPrinter("Drop", "LPT2:", 1);
  Printer unsaved;
  EXPECT_EQ(unsaved.Delete(session()), nullptr);
  EXPECT_EQ(Count("tblPrinters"), 2);

  Printer p;
  p.SetId(drop);
  ASSERT_EQ(p.Delete(session()), nullptr);
  EXPECT_EQ(Count("tblPrinters"), 1);
  EXPECT_EQ(Count("tblPrinters WHERE PrinterId = " + std::to_string(keep)), 1);
}

TEST_P(PrinterTest, BatchUpdateMovesExactlyTheListedPrinters) {
  std::vector<int32_t> ids;
  for (int i = 1; i <= 8; ++i)
    ids.push_back(AddPrinter("P" + std::to_string(i), "PORT" + std::to_string(i), 1));

  Printer mover;
  mover.SetConfigurationId(9);
  mover.SetId(ids[0]);  // plays no part
  ASSERT_EQ(mover.BatchUpdate(session(),
                              " " + std::to_string(ids[1]) + " , " + std::to_string(ids[6]) + " "),
            nullptr);
  for (size_t i = 0; i < ids.size(); ++i)
    EXPECT_EQ(ConfigOf(ids[i]), i == 1 || i == 6 ? 9 : 1) << "printer " << i + 1;
}

TEST_P(PrinterTest, BatchUpdateRefusesAnythingButAnIdListAndRunsNothing) {
  const int32_t id = AddPrinter("P", "LPT1:", 1);
  Printer mover;
  mover.SetConfigurationId(9);
  ErrorLogWatch log;
  for (const std::string& bad : {std::string(""), std::to_string(id) + ") OR (1=1",
                                 std::to_string(id) + "); DELETE FROM tblPrinters; --",
                                 std::to_string(id) + ",", std::string("-1"), std::string("1;2")}) {
    KXErrorPtr error = mover.BatchUpdate(session(), bad);
    ASSERT_NE(error, nullptr) << bad;
    EXPECT_EQ(error->IconType(), 16);
    EXPECT_NE(error->Message().find("not valid"), std::string::npos) << error->Message();
  }
  EXPECT_TRUE(log.NewText().empty());
  EXPECT_EQ(Count("tblPrinters"), 1);
  EXPECT_EQ(ConfigOf(id), 1);

  auto unauthorized = OpenSession(true, false);
  KXErrorPtr error = mover.BatchUpdate(*unauthorized, std::to_string(id));
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->IconType(), 48);
  EXPECT_EQ(ConfigOf(id), 1);
}

TEST_P(PrinterTest, ChangesNeedAdministratorRights) {
  auto unauthorized = OpenSession(true, false);
  Printer p;
  p.SetPort("LPT1:");
  for (KXErrorPtr error : {p.Save(*unauthorized), p.Delete(*unauthorized)}) {
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->Message(), "You do not have the proper access to execute this method.");
    EXPECT_EQ(error->IconType(), 48);
  }
  EXPECT_EQ(Count("tblPrinters"), 0);
}

TEST_P(PrinterTest, FailedInsertIsRolledBackAndLogsItsBatch) {
  // A trigger-free way to fail the insert alone: the count still runs on the
  // table, the insert batch names a column that is gone.
  Exec("ALTER TABLE tblPrinters RENAME COLUMN ConfigurationId TO ConfigurationIdAway");
  Printer p;
  p.SetName("Jim's");
  p.SetPort("lpt3:");
  p.SetConfigurationId(2);
  ErrorLogWatch log;
  KXErrorPtr error = p.Save(session());
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(p.Id(), -1);
  EXPECT_FALSE(session().InTransaction());
  auto entries = LogEntries(log.NewText());
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1],
            "SET NOCOUNT ON INSERT INTO tblPrinters (Name, Port, ConfigurationId) "
            "VALUES (N'Jim''s', N'lpt3:', 2)SELECT @@IDENTITY As NewId SET NOCOUNT OFF");
  EXPECT_EQ(Count("tblPrinters"), 0);
}

KX4_INSTANTIATE_ENGINES(PrinterTest);

}  // namespace
}  // namespace kx4::test
