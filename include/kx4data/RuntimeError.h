// A failed call: the run-time error that ends an operation without an error
// object (a conversion that cannot be made, a subscript out of range, a
// provider failure before the session turns it into a KXError).
#ifndef KX4DATA_RUNTIMEERROR_H_
#define KX4DATA_RUNTIMEERROR_H_

#include <cstdint>
#include <stdexcept>
#include <string>

#include <kx4data/Export.h>

namespace kx4 {

// Run-time error numbers the library raises itself.
inline constexpr int32_t kErrOverflow = 6;
inline constexpr int32_t kErrSubscriptOutOfRange = 9;
inline constexpr int32_t kErrTypeMismatch = 13;
inline constexpr int32_t kErrInvalidUseOfNull = 94;
inline constexpr int32_t kErrInvalidProcedureCall = 5;

class KX4DATA_API RuntimeError : public std::runtime_error {
 public:
  RuntimeError(int32_t number, const std::string& description, std::string source = {})
      : std::runtime_error(description), number_(number), source_(std::move(source)) {}

  int32_t Number() const { return number_; }
  std::string Description() const { return what(); }
  const std::string& Source() const { return source_; }

 private:
  int32_t number_;
  std::string source_;
};

}  // namespace kx4

#endif  // KX4DATA_RUNTIMEERROR_H_
