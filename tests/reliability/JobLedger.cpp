#include "reliability/JobLedger.h"

#include <kx4data/KXEnums.h>
#include <kx4data/Variant.h>
#include <kx4data/ado/Recordset.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "dataaccess/sqlite/SqliteFunctions.h"
#include "reliability/Workload.h"

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

int32_t JobLedger::AddConfiguration(const std::shared_ptr<ado::Connection>& connection) {
  if (paper_types_ == 0) {
    for (const char* paper : {"Plain", "Glossy", "Card"}) {
      test::Execute(
          connection,
          std::string("INSERT INTO tblPaperTypes (Description, ListPosition) VALUES (N'") + paper +
              "', " + std::to_string(++paper_types_) + ")");
    }
  }
  const std::string name = "crash" + std::to_string(configurations_.size());
  test::Execute(connection, "INSERT INTO tblConfigurations (Name) VALUES (N'" + name + "')");
  const int32_t id =
      test::Scalar(connection,
                   "SELECT ConfigurationId FROM tblConfigurations WHERE Name = N'" + name + "'")
          .ToLong();
  test::Execute(connection,
                "INSERT INTO tblConfigurationPaperTypes (ConfigurationId, PaperTypeId) SELECT " +
                    std::to_string(id) + ", PaperTypeId FROM tblPaperTypes");
  configurations_.push_back(id);
  configuration_versions_[id] = -1;
  return id;
}

void JobLedger::Saved(const std::vector<std::string>& documents) {
  saved_.insert(documents.begin(), documents.end());
}

namespace {

std::vector<std::string> Split(const std::string& list) {
  std::vector<std::string> items;
  for (size_t at = 0; at < list.size();) {
    size_t end = list.find(',', at);
    if (end == std::string::npos)
      end = list.size();
    items.push_back(list.substr(at, end - at));
    at = end + 1;
  }
  return items;
}

}  // namespace

void JobLedger::Export(const std::vector<std::string>& documents) {
  ++export_runs_;
  for (const std::string& document : documents)
    ++exported_[document];
}

void JobLedger::Child(const std::string& output) {
  Saved(Reported(output, 'J'));
  const std::vector<std::string> done = Reported(output, 'D');
  for (const std::string& listed : Reported(output, 'P')) {
    const size_t space = listed.find(' ');
    const std::vector<std::string> documents = Split(listed.substr(space + 1));
    if (std::find(done.begin(), done.end(), listed.substr(0, space)) != done.end()) {
      Export(documents);
    } else {
      unconfirmed_ = documents;
      has_unconfirmed_ = true;
    }
  }
  // Every job of the latest stamp is back to not accounted: no run lists them.
  if (!Reported(output, 'R').empty())
    cleared_ = true;
  for (const std::string& saved : Reported(output, 'K')) {
    const size_t space = saved.find(' ');
    const int32_t id = std::atoi(saved.substr(0, space).c_str());
    configuration_versions_[id] = std::atoll(saved.c_str() + space + 1);
    ++configuration_saves_;
  }
}

std::string JobLedger::Check(const std::shared_ptr<ado::Connection>& connection,
                             bool all_exported) {
  std::string problems;
  auto fail = [&](const std::string& what) { problems += what + "\n"; };

  std::map<std::string, int> copies;
  std::map<std::string, int32_t> accounted;
  std::map<int32_t, Currency> charged;
  auto jobs = test::Query(connection,
                          "SELECT Document, UserId, CostPerUnit, Pages, Copies, Accounted, "
                          "AccountedOn FROM tblPrintJobs");
  stored_ = 0;
  for (; !jobs->Eof(); jobs->MoveNext()) {
    ++stored_;
    const std::string document = jobs->Fields(0).Value().ToString();
    ++copies[document];
    const int32_t state = jobs->Fields(5).Value().ToLong();
    accounted[document] = state;
    if (state < kxaNotAccounted || state > kxaAccounted ||
        jobs->Fields(6).IsNull() != (state == kxaNotAccounted))
      fail("job " + document + " is in state " + std::to_string(state) +
           (jobs->Fields(6).IsNull() ? " without" : " with") + " a stamp");
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

  CheckExports(accounted, all_exported, fail);
  CheckConfigurations(connection, fail);

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

void JobLedger::CheckExports(const std::map<std::string, int32_t>& accounted, bool all_exported,
                             const std::function<void(const std::string&)>& fail) {
  if (cleared_) {
    // ClearLastRun handed back the latest run: whatever is not exported now
    // was not exported by the runs that listed it.
    for (auto& [document, runs] : exported_) {
      const auto state = accounted.find(document);
      if (state != accounted.end() && state->second != kxaAccounted)
        runs = 0;
    }
    cleared_ = false;
  }
  if (has_unconfirmed_) {
    size_t done = 0;
    for (const std::string& document : unconfirmed_) {
      const auto state = accounted.find(document);
      done += state != accounted.end() && state->second == kxaAccounted ? 1 : 0;
    }
    if (done == unconfirmed_.size())
      Export(unconfirmed_);
    else if (done != 0)
      fail("an interrupted run exported " + std::to_string(done) + " of its " +
           std::to_string(unconfirmed_.size()) + " jobs");
    has_unconfirmed_ = false;
  }
  for (const auto& [document, runs] : exported_) {
    if (runs > 1)
      fail("job " + document + " was exported by " + std::to_string(runs) + " runs");
    if (runs > 0 && accounted.find(document) == accounted.end())
      fail("job " + document + " was exported but is missing");
  }
  for (const auto& [document, state] : accounted) {
    const auto runs = exported_.find(document);
    const bool listed = runs != exported_.end() && runs->second > 0;
    if (listed != (state == kxaAccounted))
      fail("job " + document + " is in state " + std::to_string(state) +
           (listed ? " though a completed run listed it" : " though no completed run listed it"));
    if (all_exported && state != kxaAccounted)
      fail("job " + document + " is left in state " + std::to_string(state));
  }
}

void JobLedger::CheckConfigurations(const std::shared_ptr<ado::Connection>& connection,
                                    const std::function<void(const std::string&)>& fail) {
  for (int32_t id : configurations_) {
    const std::string key = std::to_string(id);
    auto row = test::Query(
        connection,
        "SELECT UnitCost, MaxError FROM tblConfigurations WHERE ConfigurationId = " + key);
    if (row->Eof()) {
      fail("configuration " + key + " is missing");
      continue;
    }
    const int64_t version = row->Fields(0).Value().ToCurrency().Ticks();
    const int64_t reported = configuration_versions_[id];
    if (version < reported ||
        (reported >= 0 && row->Fields(1).Value().ToString() != "v" + std::to_string(version)))
      fail("configuration " + key + " holds version " + std::to_string(version) + " (" +
           row->Fields(1).Value().ToString() + "), its last save was " + std::to_string(reported));
    if (reported < 0 && version == 0)
      continue;  // never saved yet
    auto papers =
        test::Query(connection,
                    "SELECT C.CostModifier, P.ListPosition FROM tblConfigurationPaperTypes "
                    "C INNER JOIN tblPaperTypes P ON P.PaperTypeId = C.PaperTypeId WHERE "
                    "C.ConfigurationId = " +
                        key + " ORDER BY P.ListPosition");
    size_t count = 0;
    for (; !papers->Eof(); papers->MoveNext(), ++count) {
      // Stored as the modifier minus 100.
      const int32_t stored = papers->Fields(0).Value().ToLong() + 100;
      const int position = papers->Fields(1).Value().ToLong() - 1;
      if (stored != ConfigModifier(version, position))
        fail("configuration " + key + " version " + std::to_string(version) + ": paper type " +
             std::to_string(position) + " has modifier " + std::to_string(stored));
    }
    if (count != paper_types_)
      fail("configuration " + key + " offers " + std::to_string(count) + " paper types");
  }
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
