// A database of a kx4 test's own, on either engine, with settings in a hive
// of the test's own.
#ifndef KX4DATA_TESTS_KX4_KX4FIXTURE_H_
#define KX4DATA_TESTS_KX4_KX4FIXTURE_H_

#include <kx4data/ado/Database.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

#include "kx4/Kx4Run.h"
#include "support/TempHive.h"
#include "support/TestDatabase.h"

namespace kx4::test {

// A database of the test's own, created by "kx4 init", with settings in a
// hive of the test's own.
class Kx4Tool : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    database_ = "kx4cli_" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
    server_ = "(localdb)";
    if (GetParam() == Engine::kPostgres) {
      server_ = std::getenv("KX4_TEST_PGHOST") ? std::getenv("KX4_TEST_PGHOST") : "";
      if (const char* port = std::getenv("KX4_TEST_PGPORT"))
        server_ += std::string(",") + port;
    }
  }
  void TearDown() override {
    try {
      ado::DropDatabase("Provider=SQLOLEDB;Data Source=" + server_ + ";Database=" + database_ +
                        ";Trusted_Connection=Yes;");
    } catch (const std::exception& e) {
      ADD_FAILURE() << "dropping " << database_ << ": " << e.what();
    }
  }

  std::vector<std::string> InitArgs() const {
    return {"init", "--server", server_, "--database", database_};
  }
  void Init() {
    ChildResult init = Kx4(InitArgs());
    ASSERT_EQ(init.status, 0) << init.err;
  }
  // The first value of a one-row report.
  std::string Scalar(const std::string& statement) {
    ChildResult report = Kx4({"report", statement, "--format", "csv"});
    EXPECT_EQ(report.status, 0) << report.err;
    return Python("import csv, sys; print(list(csv.reader(sys.stdin))[1][0])", report.out);
  }
  // Adds a user whose PIN code comes from standard input; returns its id.
  std::string AddUser(const std::string& name, const std::string& pin,
                      std::vector<std::string> options = {}) {
    options.insert(options.begin(), {"user", "add", name, "--new-pin-stdin"});
    ChildResult add = Kx4(options, pin + "\n");
    EXPECT_EQ(add.status, 0) << add.err;
    return add.out;
  }

  kx4::testing::TempHive hive_;
  std::string server_;
  std::string database_;
};

}  // namespace kx4::test

#endif  // KX4DATA_TESTS_KX4_KX4FIXTURE_H_
