// The engine contract of dataaccess/Engine.h, held against every engine with
// one expectation.  To add a case, write TEST_P(EngineContract, ...) in any
// EngineContract*Test.cpp of this folder (listed in its CMakeLists.txt); the
// suite is instantiated for every engine once, in EngineContractTest.cpp.
#ifndef KX4DATA_TESTS_DATAACCESS_ENGINECONTRACT_H_
#define KX4DATA_TESTS_DATAACCESS_ENGINECONTRACT_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dataaccess/Connection.h"
#include "support/TestDatabase.h"

namespace kx4::test {

class EngineContract : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (!IsSkipped())
      c_ = Connect();
  }

  // A statement that runs far beyond a one-second time-out; `writes` makes it
  // an UPDATE.
  std::string Slow(bool writes) const {
    const std::string wait =
        IsSqlite() ? "(SELECT COUNT(*) FROM (WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x "
                     "+ 1 FROM n) SELECT x FROM n)) > 0"
                   : "(SELECT 1 FROM pg_sleep(10)) = 1";
    return writes ? "UPDATE tblApplications SET Name = N'late' WHERE " + wait
                  : "SELECT COUNT(*) FROM tblSettings WHERE " + wait;
  }

  int32_t Count(const std::string& sql, const std::vector<Variant>& values = {}) {
    return Scalar(c_, sql, values).ToLong();
  }
  int32_t Applications() { return Count("SELECT COUNT(*) FROM tblApplications"); }

  std::shared_ptr<ado::Connection> c_;
};

}  // namespace kx4::test

#endif  // KX4DATA_TESTS_DATAACCESS_ENGINECONTRACT_H_
