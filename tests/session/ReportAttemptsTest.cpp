// Hostile report statements, kept as data in tests/data/report-attempts.txt:
// on both engines each is refused before it reaches the engine, and the
// database is as it was afterwards.
#include <kx4data/KXData.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include <kx4data/ado/Recordset.h>

#include "session/SessionSupport.h"

namespace kx4 {
namespace {

std::vector<std::string> Attempts() {
  std::ifstream in(KX4_SOURCE_DIR "/tests/data/report-attempts.txt");
  std::vector<std::string> attempts;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line.front() == '#')
      continue;
    for (const auto& [mark, text] : {std::pair{"<CR>", "\r"}, std::pair{"<LF>", "\n"}}) {
      for (size_t at; (at = line.find(mark)) != std::string::npos;)
        line.replace(at, std::string_view(mark).size(), text);
    }
    attempts.push_back(line);
  }
  return attempts;
}

class ReportAttempts : public test::SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    if (IsSkipped() || HasFatalFailure())
      return;
    // Reports stop after a second.
    auto settings = test::SettingsFor(db());
    settings->SetQueryTimeout(1);
    settings->Store(false);
  }

  // Everything a report could have changed: the tables and their rows, the
  // settings row, and on PostgreSQL large objects, sequences and locks.
  std::string Snapshot() {
    auto raw = Connect();
    std::string text;
    std::vector<std::string> tables;
    auto rows = [&](const std::string& sql, std::vector<std::string>* first = nullptr) {
      auto rs = test::Query(raw, sql);
      for (; !rs->Eof(); rs->MoveNext()) {
        if (first)
          first->push_back(rs->Fields(0).Value().ToString());
        for (int32_t i = 0; i < rs->FieldCount(); ++i)
          text += (rs->Fields(i).IsNull() ? "NULL" : rs->Fields(i).Value().ToString()) + "|";
        text += "\n";
      }
    };
    if (IsSqlite()) {
      rows("SELECT name, type, sql FROM sqlite_schema ORDER BY name");
      rows("SELECT name FROM sqlite_schema WHERE type = 'table' ORDER BY name", &tables);
    } else {
      rows(
          "SELECT table_name FROM information_schema.tables WHERE table_schema NOT IN "
          "('pg_catalog', 'information_schema') ORDER BY 1",
          &tables);
      rows("SELECT COUNT(*) FROM pg_largeobject_metadata");
      rows("SELECT sequencename, last_value FROM pg_sequences ORDER BY 1");
      rows("SELECT COUNT(*) FROM pg_locks WHERE locktype = 'advisory'");
      rows("SELECT extname FROM pg_extension ORDER BY 1");
    }
    for (const std::string& table : tables)
      rows("SELECT COUNT(*) FROM " + table);
    rows("SELECT * FROM tblSettings");
    return text;
  }
};

TEST_P(ReportAttempts, EachIsRefusedAndNothingChanges) {
  const std::vector<std::string> attempts = Attempts();
  ASSERT_GE(attempts.size(), 50u);
  const std::string before = Snapshot();
  KXData reader;
  reader.SetReadOnly(true);
  KXDataTestPeer::Grant(reader, kxsAdmin);
  for (const std::string& sql : attempts) {
    std::shared_ptr<ado::Recordset> rs;
    KXErrorPtr error = reader.ExecuteReportSQL(rs, sql);
    ASSERT_TRUE(error) << "ran: " << sql;
    EXPECT_EQ(error->KXErrorNumber(), erInvalidSecurity) << sql << "\n" << error->Message();
  }
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(test::ErrorLog(), "");  // nothing reached an engine

  // The session's time-out still holds for a statement that is let through.
  std::shared_ptr<ado::Recordset> rs;
  ASSERT_EQ(reader.ExecuteReportSQL(rs, "SELECT COUNT(*) FROM tblUsers"), nullptr);
  KXErrorPtr slow = reader.ExecuteReportSQL(
      rs,
      "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 1000000000) "
      "SELECT COUNT(*) FROM c");
  ASSERT_TRUE(slow);
  EXPECT_EQ(slow->Number(), -2) << slow->Message();
}

KX4_INSTANTIATE_ENGINES(ReportAttempts);

}  // namespace
}  // namespace kx4
