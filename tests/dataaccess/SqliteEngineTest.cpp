#include <kx4data/RuntimeError.h>

#include <gtest/gtest.h>

#include "support/TestDatabase.h"

namespace kx4::test {
namespace {

TEST(SqliteSmoke, InsertAndReadBack) {
  TestDatabase db(Engine::kSqlite);
  auto c = db.Connect();
  auto rs = Query(c,
                  "SET NOCOUNT ON INSERT INTO tblApplications (Name, Description, TrackOptionId) "
                  "VALUES (N'Word', NULL, 2) SELECT @@IDENTITY AS NewId SET NOCOUNT OFF");
  ASSERT_EQ(rs->State(), ado::adStateOpen);
  EXPECT_EQ(rs->Fields("NewId").Value(), Variant(int32_t{1}));
}

}  // namespace
}  // namespace kx4::test
