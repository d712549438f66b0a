// The heap bytes a stretch of code holds at its peak, for the memory
// benchmarks.  A benchmark that links MemoryMeter.cpp routes every malloc of
// the process (libpq's and libstdc++'s included) through a counter; counting
// is off, and costs one load per call, outside a Meter's lifetime.
#ifndef KX4DATA_BENCH_SUPPORT_MEMORYMETER_H_
#define KX4DATA_BENCH_SUPPORT_MEMORYMETER_H_

#include <cstddef>
#include <cstdint>

namespace kx4::bench {

// Counts from its construction; one at a time per process.
class Meter {
 public:
  Meter();
  ~Meter();
  Meter(const Meter&) = delete;
  Meter& operator=(const Meter&) = delete;

  // Bytes allocated and not yet freed since construction, at their highest
  // and now (negative when more was freed than allocated).
  int64_t Peak() const;
  int64_t Now() const;
};

}  // namespace kx4::bench

#endif  // KX4DATA_BENCH_SUPPORT_MEMORYMETER_H_
