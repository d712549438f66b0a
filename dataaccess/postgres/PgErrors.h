// PostgreSQL failures as the provider errors of the server the library was
// written for: the native number in that server's numbering (callers test
// 2601, 2627, 18456, ...), PostgreSQL's own text and its SQLSTATE.
#ifndef KX4DATA_DATAACCESS_POSTGRES_PGERRORS_H_
#define KX4DATA_DATAACCESS_POSTGRES_PGERRORS_H_

#include <libpq-fe.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "dataaccess/Engine.h"

namespace kx4::ado::pg {

inline constexpr char kErrorSource[] = "PostgreSQL";

// A result that is cleared when it goes.
struct ResultDeleter {
  void operator()(PGresult* result) const { PQclear(result); }
};
using ResultPtr = std::unique_ptr<PGresult, ResultDeleter>;

// Native numbers without a counterpart among the server's own messages.
inline constexpr int32_t kNativeConnectionFailed = 17;  // server missing or unreachable
inline constexpr int32_t kNativeConnectionLost = 10054;
inline constexpr int32_t kNativeTimeout = -2;         // statement time-out
inline constexpr int32_t kNativeOther = 50000;        // anything unmapped
inline constexpr int32_t kNativeReadOnly = 3906;      // write on a read-only session
inline constexpr int32_t kNativeCommitFailed = 3930;  // transaction doomed by a failed statement

// The native number for a SQLSTATE; `constraint` tells a primary key (2627)
// from a unique index (2601).
int32_t NativeErrorFor(std::string_view sqlstate, std::string_view constraint = {});

// The HRESULT of a failed call with this SQLSTATE: time-outs and connection
// failures have their own, a refusal by a constraint is an integrity
// violation, every other statement failure is a failed command.
int32_t HResultFor(std::string_view sqlstate);

// From the error fields of a failed result.
EngineError ResultError(const PGresult* result);
// From a connection that failed to open (`opening`) or broke while running a
// statement.
EngineError ConnectionError(PGconn* conn, bool opening);
// A failure this layer detects itself.
EngineError MakeError(int32_t hresult, int32_t native, std::string description,
                      std::string sqlstate);
[[noreturn]] void ThrowConnectionError(std::string description,
                                       int32_t native = kNativeConnectionFailed,
                                       std::string sqlstate = "08001");

}  // namespace kx4::ado::pg

#endif  // KX4DATA_DATAACCESS_POSTGRES_PGERRORS_H_
