#include "records/RecordCommon.h"

#include <gtest/gtest.h>

namespace kx4 {
namespace {

TEST(RecordCommon, StatementPieces) {
  EXPECT_EQ(FlagSQL(true), "-1");
  EXPECT_EQ(FlagSQL(false), "0");
  EXPECT_EQ(IdOrNullSQL(-1), "NULL");
  EXPECT_EQ(IdOrNullSQL(0), "NULL");
  EXPECT_EQ(IdOrNullSQL(7), "7");
}

TEST(RecordCommon, IdListsAcceptOnlyDecimalIdsAndCommas) {
  for (const char* ok : {"3,5", "3", " 3 , 5 ", "10,20,30", "7\t,8"}) {
    EXPECT_EQ(ValidateIdList(ok), nullptr) << ok;
  }
  for (const char* bad : {"", " ", ",", "3,", ",3", "3,,5", "3 5", "3;5", "-3", "3) OR (1=1",
                          "3,5); DELETE FROM tblUsers; --", "0x10", "1.5"}) {
    KXErrorPtr e = ValidateIdList(bad);
    ASSERT_NE(e, nullptr) << bad;
    EXPECT_EQ(e->IconType(), KXError::kIconStop);
    EXPECT_NE(e->Message().find("not valid"), std::string::npos);
  }
}

}  // namespace
}  // namespace kx4
