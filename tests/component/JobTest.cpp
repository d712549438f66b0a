// A C host that knows only identifiers and entry points drives a whole job
// through the shared library, on both engines (component_job.c).
#include <gtest/gtest.h>

#include "session/SessionSupport.h"
#include "support/ChildProcess.h"
#include "support/TempHive.h"
#include "support/TestDatabase.h"

namespace kx4::test {
namespace {

class ComponentJobTest : public EngineTest {};

TEST_P(ComponentJobTest, ACHostRecordsListsAndExportsAJob) {
  kx4::testing::TempHive hive;
  StoreSettingsFor(db());
  const ChildResult run = RunChild({KX4_COMPONENT_JOB, KX4DATA_FILE, hive.SystemHive()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "job done\n") << run.err;
  // Registration was undone on the way out.
  EXPECT_EQ(kx4::testing::TempHive::Read(hive.SystemHive()).find("KXDataAccess"),
            std::string::npos);
  // Both jobs are stored, exported, and charged.
  auto raw = Connect();
  EXPECT_EQ(Scalar(raw, "SELECT COUNT(*) FROM tblPrintJobs WHERE Accounted = 2").ToLong(), 2);
  EXPECT_EQ(Scalar(raw, "SELECT QuotaRemaining FROM tblUsers WHERE Name = 'Early Bound'")
                .ToCurrency()
                .ToString(),
            "4.6");
}

KX4_INSTANTIATE_ENGINES(ComponentJobTest);

}  // namespace
}  // namespace kx4::test
