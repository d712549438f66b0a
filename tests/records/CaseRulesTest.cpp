// Names, codes, descriptions and ports compare, sort and stay unique by the
// library's own case table and without regard to trailing blanks, on both
// engines alike, whatever the server's locale (the test server has none).
#include <kx4data/PaperType.h>
#include <kx4data/Printer.h>
#include <kx4data/RuntimeError.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dataaccess/Connection.h"
#include "records/RecordTestSupport.h"

namespace kx4::test {
namespace {

class CaseRulesTest : public RecordTest {
 protected:
  int32_t AddPrinter(const std::string& name, const std::string& port) {
    Printer p;
    p.SetName(name);
    p.SetPort(port);
    p.SetConfigurationId(1);
    KXErrorPtr e = p.Save(session());
    EXPECT_EQ(e, nullptr) << (e ? e->Message() : "");
    return p.Id();
  }
  KXErrorPtr SavePrinter(const std::string& port) {
    Printer p;
    p.SetName("another");
    p.SetPort(port);
    return p.Save(session());
  }
  KXErrorPtr SavePaper(const std::string& description) {
    PaperType paper;
    paper.SetDescription(description);
    return paper.Save(session());
  }
  bool Exists(const std::string& table, const std::string& field, const std::string& text) {
    bool exists = false;
    KXErrorPtr e = session().DataValueExists(exists, table, field, Variant(text));
    EXPECT_EQ(e, nullptr) << (e ? e->Message() : "");
    return exists;
  }
  // The server's native number of the failure of `sql`, 0 when it runs.
  int32_t NativeError(const std::string& sql) {
    try {
      Exec(sql);
    } catch (const RuntimeError&) {
      return raw()->Errors().empty() ? -1 : raw()->Errors().front().NativeError;
    }
    return 0;
  }
  std::vector<std::string> Column(const std::string& sql) {
    std::vector<std::string> values;
    auto rs = Query(raw(), sql);
    for (; !rs->Eof(); rs->MoveNext())
      values.push_back(rs->Fields(0).Value().ToString());
    return values;
  }
  void AddJob(const std::string& printer, const std::string& network_user) {
    Exec(
        "INSERT INTO tblPrintJobs (NetworkUser, PrinterName, PrinterPort, ProcessName, Document, "
        "DatePrinted) VALUES (N'" +
        network_user + "', N'" + printer + "', N'LPT1:', N'WORD.EXE', N'doc', GETDATE())");
  }
};

TEST_P(CaseRulesTest, LettersBeyondAsciiMatchInEitherCase) {
  Exec("INSERT INTO tblUsers (PinCode, Name) VALUES (N'cGlu', N'Zoë')");
  EXPECT_TRUE(Exists("tblUsers", "Name", "zoë"));
  EXPECT_TRUE(Exists("tblUsers", "Name", "ZOË"));
  EXPECT_FALSE(Exists("tblUsers", "Name", "zoe"));

  const int32_t kitchen = AddPrinter("Kitchen", "Drucker-Küche-δ");
  Printer found;
  ASSERT_EQ(found.LoadByPort(session(), "DRUCKER-KÜCHE-Δ"), nullptr);
  EXPECT_EQ(found.Id(), kitchen);
  EXPECT_EQ(found.Port(), "DRUCKER-KÜCHE-Δ");  // the caller's text stays
  KXErrorPtr e = SavePrinter("drucker-KÜCHE-Δ");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->KXErrorNumber(), erDataValueExists);

  ASSERT_EQ(SavePaper("éclat ω"), nullptr);
  e = SavePaper("ÉCLAT Ω");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->KXErrorNumber(), erDataValueExists);
  EXPECT_EQ(e->Number(), 2601);
  // Letters that only look alike stay apart: the library's table has no
  // sharp s in upper case and no dotted capital I in lower case.
  ASSERT_EQ(SavePaper("Straße"), nullptr);
  EXPECT_EQ(SavePaper("STRASSE"), nullptr);
  ASSERT_EQ(SavePaper("istanbul"), nullptr);
  EXPECT_EQ(SavePaper("İSTANBUL"), nullptr);
  EXPECT_EQ(Count("tblPaperTypes"), 5);
}

TEST_P(CaseRulesTest, TrailingBlanksMakeNoNewName) {
  const int32_t lpt = AddPrinter("Laser", "lpt1:");
  Printer found;
  ASSERT_EQ(found.LoadByPort(session(), "LPT1: "), nullptr);
  EXPECT_EQ(found.Id(), lpt);
  KXErrorPtr e = SavePrinter("LPT1:  ");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->KXErrorNumber(), erDataValueExists);
  // Leading blanks count.
  EXPECT_EQ(SavePrinter(" LPT1:"), nullptr);

  ASSERT_EQ(SavePaper("Glossy"), nullptr);
  e = SavePaper("GLOSSY ");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Number(), 2601);
  EXPECT_TRUE(Exists("tblPaperTypes", "Description", "glossy   "));

  // Codes and configuration names, through the unique indexes.
  Exec("INSERT INTO tblValidatedValues (Code) VALUES (N'mkt-ä')");
  EXPECT_EQ(NativeError("INSERT INTO tblValidatedValues (Code) VALUES (N'MKT-Ä ')"), 2601);
  Exec("INSERT INTO tblConfigurations (Name) VALUES (N'DEFAULT  ')");
  EXPECT_EQ(NativeError("INSERT INTO tblConfigurations (Name) VALUES (N'default')"), 2601);
  EXPECT_EQ(Column("SELECT Code FROM tblValidatedValues WHERE Code = N'MKT-Ä    '"),
            std::vector<std::string>{"mkt-ä"});
  // Stored text keeps its blanks.
  EXPECT_EQ(Value("SELECT Name FROM tblConfigurations").ToString(), "DEFAULT  ");
}

TEST_P(CaseRulesTest, PinCodesCompareExactly) {
  Exec("INSERT INTO tblUsers (PinCode, Name) VALUES (N'QUJD', N'a')");
  EXPECT_EQ(NativeError("INSERT INTO tblUsers (PinCode, Name) VALUES (N'qujd', N'b')"), 0);
  EXPECT_EQ(NativeError("INSERT INTO tblUsers (PinCode, Name) VALUES (N'QUJD', N'c')"), 2601);
  EXPECT_EQ(
      Value("SELECT COUNT(*) FROM tblUsers WHERE PinCode = ?", {std::string("qujd")}).ToLong(), 1);
}

TEST_P(CaseRulesTest, NamesSortByTheUpperCasedText) {
  for (const char* name :
       {"zeta", "_under", "Ölfass", "alpha2", "[bracket", "Ωmega", "ärger", "Alpha", "bob"})
    Exec(std::string("INSERT INTO tblUsers (PinCode, Name) VALUES (N'") + name + "', N'" + name +
         "')");
  const std::vector<std::string> sorted = {"Alpha",  "alpha2", "bob",    "zeta", "[bracket",
                                           "_under", "ärger",  "Ölfass", "Ωmega"};
  EXPECT_EQ(Column("SELECT Name FROM tblUsers ORDER BY Name"), sorted);
  EXPECT_EQ(Column("SELECT U.Name AS UserName FROM tblUsers U ORDER BY UserName"), sorted);
  EXPECT_EQ(Column("SELECT PinCode, Name FROM tblUsers ORDER BY 2"), sorted);
  EXPECT_EQ(Column("SELECT Name FROM tblUsers ORDER BY 1 DESC"),
            std::vector<std::string>(sorted.rbegin(), sorted.rend()));
  EXPECT_EQ(Column("SELECT TOP 2 Name FROM tblUsers WHERE Name > N'ZETA' ORDER BY Name"),
            (std::vector<std::string>{"[bracket", "_under"}));
}

TEST_P(CaseRulesTest, LikePrefixesFoldBeyondAscii) {
  AddJob("Drucker-Küche", "jürgen");
  AddJob("DRUCKER-KÜCHE 2", "JÜRGEN");
  AddJob("Drucker-Kueche", "Jurgen");
  const auto count = [&](const std::string& where) {
    return Count("tblPrintJobs P WHERE " + where);
  };
  EXPECT_EQ(count("UPPER(P.PrinterName) LIKE N'DRUCKER-KÜ%'"), 2);
  EXPECT_EQ(count("P.PrinterName LIKE N'drucker-kü%'"), 2);
  EXPECT_EQ(count("LOWER(P.NetworkUser) LIKE n'jür%'"), 2);
  EXPECT_EQ(count("UPPER(P.PrinterName) NOT LIKE N'%KÜCHE%'"), 1);
  EXPECT_EQ(count("UPPER(P.PrinterName) LIKE N'DRUCKER[_]%'"), 0);
  // The list shows them folded by the same table.
  EXPECT_EQ(Column("SELECT UPPER(P.PrinterName) AS PrinterName, LOWER(P.NetworkUser) AS "
                   "NetworkUser FROM tblPrintJobs P ORDER BY P.PrinterName"),
            (std::vector<std::string>{"DRUCKER-KUECHE", "DRUCKER-KÜCHE", "DRUCKER-KÜCHE 2"}));
  EXPECT_EQ(Column("SELECT LOWER(P.NetworkUser) AS NetworkUser FROM tblPrintJobs P ORDER BY "
                   "P.PrinterName DESC"),
            (std::vector<std::string>{"jürgen", "jürgen", "jurgen"}));
  // One network user however the jobs spelt it.
  EXPECT_EQ(
      Column("SELECT DISTINCT P.NetworkUser FROM tblPrintJobs P ORDER BY P.NetworkUser").size(),
      2u);
}

TEST_P(CaseRulesTest, DatabaseWithoutTheRulesIsRefusedWhenOpened) {
  // Descriptions that no longer fold: made by hand, say.
  if (IsSqlite()) {
    Exec("DROP TABLE tblPaperTypes");
    Exec(
        "CREATE TABLE tblPaperTypes (PaperTypeId INTEGER PRIMARY KEY, Description "
        "NVARCHAR(100), CostModifier SMALLINT, ListPosition INT, Active BIT, DefaultType BIT)");
  } else {
    Exec("ALTER TABLE tblPaperTypes ALTER COLUMN Description TYPE text");
  }
  // The connections already open keep their rules; a new one is refused.
  EXPECT_EQ(Count("tblUsers"), 0);
  KXData fresh;
  KXErrorPtr e = fresh.EstablishConnection(Variant(true));
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->KXErrorNumber(), erDatabaseConnection);
  EXPECT_EQ(e->Number(), 50001);
  EXPECT_NE(e->Message().find("does not compare names the way this library does: its column "
                              "tblPaperTypes.Description"),
            std::string::npos)
      << e->Message();
  EXPECT_NE(e->Message().find("kx4::ado::CreateDatabase"), std::string::npos);

  ado::Connection direct;
  direct.SetConnectionString(db().ConnectionString());
  EXPECT_THROW(direct.Open(), RuntimeError);
  ASSERT_FALSE(direct.Errors().empty());
  EXPECT_EQ(direct.Errors().front().NativeError, 50001);
  EXPECT_EQ(direct.Errors().front().SQLState, "55000");
}

KX4_INSTANTIATE_ENGINES(CaseRulesTest);

}  // namespace
}  // namespace kx4::test
