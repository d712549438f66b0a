// The session transaction around a record operation's multi-statement write.
#ifndef KX4DATA_RECORDS_TRANSACTIONGUARD_H_
#define KX4DATA_RECORDS_TRANSACTIONGUARD_H_

#include <cstdint>
#include <string>

#include <kx4data/KXData.h>
#include <kx4data/KXError.h>
#include <kx4data/Variant.h>

namespace kx4 {

// Begin() starts the transaction, Finish() ends it with the operation's
// outcome.  A failed call (an exception) between the two rolls back on the way
// out, so no transaction is left open and no half of a change is committed by
// the caller's next statement.
class TransactionGuard {
 public:
  explicit TransactionGuard(KXData& pinsData) : data_(pinsData) {}
  TransactionGuard(const TransactionGuard&) = delete;
  TransactionGuard& operator=(const TransactionGuard&) = delete;
  ~TransactionGuard() {
    if (open_) {
      try {
        // The failed call is the outcome; the rollback's own error is not.
        (void)data_.RollbackTrans();
      } catch (...) {
        // Already unwinding a failed call; that failure is the one to report.
      }
    }
  }

  // The rollback is owed even when BeginTrans itself fails.
  [[nodiscard]] KXErrorPtr Begin() {
    open_ = true;
    return data_.BeginTrans();
  }

  // Null `error`: commit, and its result is the operation's.  Otherwise roll
  // back, discard the rollback's result and hand `error` on unchanged.
  [[nodiscard]] KXErrorPtr Finish(KXErrorPtr error) {
    open_ = false;
    if (error) {
      (void)data_.RollbackTrans();
      return error;
    }
    return data_.CommitTrans();
  }

 private:
  KXData& data_;
  bool open_ = false;
};

// Runs an insert batch that ends by reading its key back as "NewId" and
// hands the key out in `key`; whether the row stays is up to the caller's
// transaction.
[[nodiscard]] KXErrorPtr ExecuteReturningNewId(KXData& pinsData, const std::string& batch,
                                               const Variant& parameters, int32_t& key);

// Runs an insert batch that reads its key back as "NewId" inside a session
// transaction.  `new_id` takes the key only once the row is committed, so a
// failed save never leaves an object holding the key of a row that is not
// there.
[[nodiscard]] KXErrorPtr InsertReturningNewId(KXData& pinsData, const std::string& batch,
                                              const Variant& parameters, int32_t& new_id);

}  // namespace kx4

#endif  // KX4DATA_RECORDS_TRANSACTIONGUARD_H_
