// Runs with a time stamp of the caller's choosing, for the library's own
// tests and tools: runs a minute apart, or in the same minute, without
// waiting for the clock.  Not installed.
#ifndef KX4DATA_RECORDS_ACCOUNTINGINTERNAL_H_
#define KX4DATA_RECORDS_ACCOUNTINGINTERNAL_H_

#include <kx4data/Accounting.h>
#include <kx4data/DateTime.h>

namespace kx4 {

class AccountingInternal {
 public:
  static Accounting StampedAt(DateTime date_accounted) { return Accounting(date_accounted); }
};

}  // namespace kx4

#endif  // KX4DATA_RECORDS_ACCOUNTINGINTERNAL_H_
