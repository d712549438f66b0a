#include "records/TransactionGuard.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "records/RecordTestSupport.h"

namespace kx4::test {
namespace {

class TransactionGuardTest : public RecordTest {};

TEST_P(TransactionGuardTest, AFailedCallRollsBackWhatTheTransactionWrote) {
  auto write_then_fail = [&] {
    TransactionGuard transaction(session());
    ASSERT_EQ(transaction.Begin(), nullptr);
    int32_t affected = 0;
    ASSERT_EQ(KXDataInternal::ExecuteNoRecords(session(), "UPDATE tblSettings SET MaxBatch = 9",
                                               affected),
              nullptr);
    throw std::runtime_error("conversion failed");
  };
  EXPECT_THROW(write_then_fail(), std::runtime_error);
  EXPECT_FALSE(session().InTransaction());
  EXPECT_EQ(Value("SELECT MaxBatch FROM tblSettings").ToLong(), 0);
}

TEST_P(TransactionGuardTest, FinishCommitsOnSuccessAndHandsAnErrorOnUnchanged) {
  int32_t affected = 0;
  {
    TransactionGuard transaction(session());
    ASSERT_EQ(transaction.Begin(), nullptr);
    ASSERT_EQ(KXDataInternal::ExecuteNoRecords(session(), "UPDATE tblSettings SET MaxBatch = 5",
                                               affected),
              nullptr);
    EXPECT_EQ(transaction.Finish(nullptr), nullptr);
  }
  EXPECT_EQ(Value("SELECT MaxBatch FROM tblSettings").ToLong(), 5);

  KXErrorPtr failure = MakeError("second statement failed", KXError::kIconStop);
  {
    TransactionGuard transaction(session());
    ASSERT_EQ(transaction.Begin(), nullptr);
    ASSERT_EQ(KXDataInternal::ExecuteNoRecords(session(), "UPDATE tblSettings SET MaxBatch = 7",
                                               affected),
              nullptr);
    EXPECT_EQ(transaction.Finish(failure), failure);
  }
  EXPECT_FALSE(session().InTransaction());
  EXPECT_EQ(Value("SELECT MaxBatch FROM tblSettings").ToLong(), 5);
}

KX4_INSTANTIATE_ENGINES(TransactionGuardTest);

}  // namespace
}  // namespace kx4::test
