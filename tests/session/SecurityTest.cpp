#include <gtest/gtest.h>

#include <kx4data/KXData.h>
#include <kx4data/KXEnums.h>

#include <cstdint>

#include "session/Security.h"

namespace kx4 {
namespace {

TEST(AccessPolicies, HoldsOnlyWhatWasGranted) {
  AccessPolicies policies;
  EXPECT_FALSE(policies.Contains(kxsWriteJob));
  EXPECT_FALSE(policies.Contains(0));  // the placeholder is never examined
  policies.Add(kxsReporterOwn);
  policies.Add(kxsWriteJob);
  policies.Add(kxsWriteJob);
  EXPECT_TRUE(policies.Contains(kxsReporterOwn));
  EXPECT_TRUE(policies.Contains(kxsWriteJob));
  EXPECT_FALSE(policies.Contains(kxsAdmin));
  EXPECT_FALSE(policies.Contains(0));
  policies.Reset();
  EXPECT_FALSE(policies.Contains(kxsWriteJob));
}

// Any 32-bit number may be asked for; a new session holds none of them.
TEST(CheckSecurity, ANewSessionHoldsNothingWhateverIsAsked) {
  KXData session;
  for (int32_t policy : {0, int32_t{kxsAdmin}, int32_t{kxsWriteJob}, -1, INT32_MIN, INT32_MAX})
    EXPECT_FALSE(session.CheckSecurity(KXSecurity{policy})) << policy;
}

TEST(CheckMethodAccess, RefusesWithTheAccessMessage) {
  AccessPolicies policies;
  policies.Add(kxsReporterAll);
  EXPECT_EQ(CheckMethodAccess(policies, kxsReporterAll), nullptr);
  KXErrorPtr refused = CheckMethodAccess(policies, kxsAdmin);
  ASSERT_NE(refused, nullptr);
  EXPECT_EQ(refused->Message(), "You do not have the proper access to execute this method.");
  EXPECT_EQ(refused->IconType(), 48);
  EXPECT_EQ(refused->KXErrorNumber(), 0);
  EXPECT_EQ(refused->Number(), 0);
  EXPECT_NE(CheckMethodAccess(policies, kxsAdmin), refused) << "each refusal is a new object";
}

}  // namespace
}  // namespace kx4
