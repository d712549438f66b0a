// A connection to the database, chosen from the connection string: the
// embedded SQLite engine for "Data Source=(localdb)", a PostgreSQL server
// otherwise.
#ifndef KX4DATA_DATAACCESS_CONNECTION_H_
#define KX4DATA_DATAACCESS_CONNECTION_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dataaccess/Types.h"

namespace kx4::ado {

class EngineConnection;

class Connection {
 public:
  Connection();
  ~Connection();  // closes
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  const std::string& ConnectionString() const { return connection_string_; }
  void SetConnectionString(std::string value) { connection_string_ = std::move(value); }
  int32_t ConnectionTimeout() const { return connection_timeout_; }  // seconds; 0 = none
  void SetConnectionTimeout(int32_t seconds) { connection_timeout_ = seconds; }
  int32_t Mode() const { return mode_; }  // adModeRead or adModeReadWrite
  void SetMode(int32_t mode) { mode_ = mode; }

  // Each of these throws RuntimeError on failure after filling Errors() with
  // what the engine reported; a successful call clears Errors().
  void Open(const std::string& user_id = "", const std::string& password = "",
            int32_t options = adOptionUnspecified);
  void Close();
  int32_t State() const { return engine_ ? adStateOpen : adStateClosed; }
  void BeginTrans();
  void CommitTrans();
  void RollbackTrans();

  const std::vector<ProviderError>& Errors() const { return errors_; }

  // For Command: the open engine connection; throws RuntimeError when closed.
  EngineConnection& Engine();
  // Records a failure of the engine and rethrows it as a RuntimeError.
  [[noreturn]] void Fail(const std::exception_ptr& failure);
  void ClearErrors() { errors_.clear(); }

 private:
  std::string connection_string_;
  int32_t connection_timeout_ = 15;
  int32_t mode_ = adModeUnknown;
  std::unique_ptr<EngineConnection> engine_;
  std::vector<ProviderError> errors_;
};

}  // namespace kx4::ado

#endif  // KX4DATA_DATAACCESS_CONNECTION_H_
