// Turns a failed statement, transaction call or connection attempt into the
// error object the session hands to its caller.
#ifndef KX4DATA_SESSION_BUILDDATAERROR_H_
#define KX4DATA_SESSION_BUILDDATAERROR_H_

#include <cstdint>
#include <exception>
#include <string>

#include <kx4data/KXError.h>
#include <kx4data/RuntimeError.h>

namespace kx4 {

namespace ado {
class Connection;
}

// The number given to failures that are not run-time errors of the library
// (a standard-library exception escaping a call).
inline constexpr int32_t kErrInternal = 51;

// Message, CR LF, "Unexpected error occurred in " + source, CR LF, the
// description, CR LF, then "number - description" CR LF for every provider
// error after the first.  Number is the first provider error's native number,
// else `number`; icon 16, erUnknown.
[[nodiscard]] KXErrorPtr BuildDataError(const std::string& message, int32_t number,
                                        const std::string& description, const std::string& source,
                                        const ado::Connection* connection);
[[nodiscard]] KXErrorPtr BuildDataError(const std::string& message, const RuntimeError& failure,
                                        const std::string& source,
                                        const ado::Connection* connection);
// For a std::exception that is not a RuntimeError (kErrInternal).
[[nodiscard]] KXErrorPtr BuildDataError(const std::string& message, const std::exception& failure,
                                        const std::string& source,
                                        const ado::Connection* connection);

}  // namespace kx4

#endif  // KX4DATA_SESSION_BUILDDATAERROR_H_
