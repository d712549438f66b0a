// The boundary between the data-access objects and the engines behind them.
// An engine folder implements Engine and EngineConnection; nothing above this
// header knows which engine runs a statement.
#ifndef KX4DATA_DATAACCESS_ENGINE_H_
#define KX4DATA_DATAACCESS_ENGINE_H_

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "dataaccess/Command.h"
#include "dataaccess/Types.h"

namespace kx4::ado {

class ResultTable;

// Thrown by engines: the HRESULT-like number of the failed call and the
// provider errors, native numbers in SQL Server's numbering.
class EngineError : public std::runtime_error {
 public:
  EngineError(int32_t hresult, std::vector<ProviderError> errors);
  int32_t HResult() const { return hresult_; }
  const std::vector<ProviderError>& Errors() const { return errors_; }

 private:
  int32_t hresult_;
  std::vector<ProviderError> errors_;
};

// The connection string, parsed.  Keys compare without regard to case;
// values are taken as they stand.
struct ConnectionOptions {
  std::string provider;
  std::string data_source;
  std::string database;
  std::string user_id;
  std::string password;
  std::string network_library;
  bool trusted = false;
  int32_t mode = adModeReadWrite;
  int32_t connect_timeout = 15;  // seconds; 0 = none

  static ConnectionOptions Parse(std::string_view connection_string);
  // "Data Source=(localdb)", in any case, names the embedded engine.
  bool IsEmbedded() const;
};

class EngineConnection {
 public:
  virtual ~EngineConnection() = default;

  // Runs a batch written in SQL Server's dialect: translated for this engine,
  // its pieces run in order with `params` bound to the "?" markers in order.
  // When `rows` is given it receives the last result set.  Returns true when
  // some piece produced a result set.  `affected` receives the rows touched by
  // the data change (-1 when nothing changed data).  `timeout_seconds` 0 means
  // no limit.  Throws EngineError.
  virtual bool Execute(std::string_view batch, const std::vector<Parameter>& params,
                       int32_t timeout_seconds, ResultTable* rows, int64_t& affected) = 0;

  virtual void BeginTransaction() = 0;
  virtual void CommitTransaction() = 0;
  virtual void RollbackTransaction() = 0;
};

class Engine {
 public:
  virtual ~Engine() = default;
  virtual std::unique_ptr<EngineConnection> Open(const ConnectionOptions& options) const = 0;
  virtual void CreateDatabase(const ConnectionOptions& options) const = 0;
  virtual void DropDatabase(const ConnectionOptions& options) const = 0;
};

const Engine& SqliteEngine();
const Engine& PostgresEngine();
inline const Engine& EngineFor(const ConnectionOptions& options) {
  return options.IsEmbedded() ? SqliteEngine() : PostgresEngine();
}

}  // namespace kx4::ado

#endif  // KX4DATA_DATAACCESS_ENGINE_H_
