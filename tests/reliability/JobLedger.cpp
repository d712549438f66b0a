#include "reliability/JobLedger.h"

#include <kx4data/Variant.h>
#include <kx4data/ado/Recordset.h>

#include <sqlite3.h>

#include <cstdlib>

#include "dataaccess/sqlite/SqliteFunctions.h"

namespace kx4::reliability {

int32_t JobLedger::AddUser(const std::shared_ptr<ado::Connection>& connection, bool use_quota,
                           const char* quota) {
  const Currency initial = Currency::Parse(quota);
  const std::string pin = "crash" + std::to_string(users_.size());
  test::Execute(
      connection,
      "INSERT INTO tblUsers (PinCode, Name, UseQuota, QuotaRemaining, Active) VALUES (N'" + pin +
          "', N'" + pin + "', " + (use_quota ? "1" : "0") + ", ?, 1)",
      {Variant(initial)});
  const int32_t id =
      test::Scalar(connection, "SELECT UserId FROM tblUsers WHERE PinCode = N'" + pin + "'")
          .ToLong();
  users_[id] = {use_quota, initial};
  return id;
}

std::vector<int32_t> JobLedger::ChildUsers() const {
  std::vector<int32_t> ids;
  for (const auto& [id, user] : users_)
    ids.push_back(id);
  ids.push_back(-1);
  return ids;
}

void JobLedger::Saved(const std::vector<std::string>& documents) {
  saved_.insert(documents.begin(), documents.end());
}

std::string JobLedger::Check(const std::shared_ptr<ado::Connection>& connection) {
  std::string problems;
  auto fail = [&](const std::string& what) { problems += what + "\n"; };

  std::map<std::string, int> copies;
  std::map<int32_t, Currency> charged;
  auto jobs = test::Query(connection,
                          "SELECT Document, UserId, CostPerUnit, Pages, Copies FROM tblPrintJobs");
  stored_ = 0;
  for (; !jobs->Eof(); jobs->MoveNext()) {
    ++stored_;
    ++copies[jobs->Fields(0).Value().ToString()];
    const Variant user = jobs->Fields(1).Value();
    if (user.IsNull())
      continue;
    const int64_t units =
        int64_t{jobs->Fields(3).Value().ToLong()} * jobs->Fields(4).Value().ToLong();
    charged[user.ToLong()] += jobs->Fields(2).Value().ToCurrency() * units;
  }
  for (const auto& [document, count] : copies) {
    if (count > 1)
      fail("job " + document + " is stored " + std::to_string(count) + " times");
  }
  for (const std::string& document : saved_) {
    if (copies.find(document) == copies.end())
      fail("job " + document + " was saved but is missing");
  }

  auto users = test::Query(connection, "SELECT UserId, QuotaRemaining FROM tblUsers");
  for (; !users->Eof(); users->MoveNext()) {
    const int32_t id = users->Fields(0).Value().ToLong();
    const auto user = users_.find(id);
    if (user == users_.end())
      continue;
    const Currency quota = users->Fields(1).Value().ToCurrency();
    const Currency expected =
        user->second.use_quota ? user->second.initial - charged[id] : user->second.initial;
    if (quota != expected)
      fail("user " + std::to_string(id) + " has " + quota.ToString() + " left, expected " +
           expected.ToString() + " (jobs charged " + charged[id].ToString() + ")");
  }
  return problems;
}

std::string SqliteIntegrity(const std::string& path) {
  sqlite3* db = nullptr;
  std::string result;
  // The indexes use the engine's collations, so the check needs them too.
  // Leaving the write-ahead log to the writers keeps their checkpoints (and
  // cuts landing in them) part of the run.
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
      ado::sqlite::RegisterFunctions(db) != SQLITE_OK ||
      sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr) != SQLITE_OK) {
    result = std::string("cannot open: ") + sqlite3_errmsg(db);
  } else {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) != SQLITE_OK) {
      result = std::string("cannot check: ") + sqlite3_errmsg(db);
    } else {
      int rc;
      while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        if (!result.empty())
          result += "; ";
        result += reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
      }
      if (rc != SQLITE_DONE)
        result += std::string(" [") + sqlite3_errmsg(db) + "]";
    }
    sqlite3_finalize(st);
  }
  sqlite3_close_v2(db);
  return result;
}

std::string SqlitePath(const test::TestDatabase& db) {
  return std::string(std::getenv("XDG_DATA_HOME")) + "/kestrix/" + db.Database() + ".db";
}

}  // namespace kx4::reliability
