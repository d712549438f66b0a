// The libpq connection parameters for a parsed connection string.  Values go
// to PQconnectStartParams as they are, never through a conninfo text, so
// spaces, quotes and backslashes in them need no escaping.
#ifndef KX4DATA_DATAACCESS_POSTGRES_CONNECTPARAMS_H_
#define KX4DATA_DATAACCESS_POSTGRES_CONNECTPARAMS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dataaccess/Engine.h"

namespace kx4::ado::pg {

// Where "Data Source" points: a host name or address, or a socket folder, and
// a port.  Empty members leave libpq's default (the local socket, 5432).
struct ServerAddress {
  std::string host;
  std::string port;
};

// Accepts "host", "host,port" (the SQL Server way), "host:port", "[v6]" with
// either port form, a bare IPv6 address, an absolute socket folder with an
// optional ",port", "tcp:" before any of these, and "." or "(local)" for the
// local socket.  Throws EngineError (connection failure) for a named instance
// ("host\instance") or a port that is not a number from 1 to 65535.
ServerAddress ParseDataSource(std::string_view data_source);

class ConnectParams {
 public:
  // `database` replaces the connection string's database when not empty
  // (creating and dropping databases go through the maintenance database).
  static ConnectParams From(const ConnectionOptions& options, std::string_view database = {});

  const std::string* Find(std::string_view keyword) const;
  const std::vector<std::pair<std::string, std::string>>& Values() const { return values_; }
  // Seconds allowed for the whole connect; 0 = no limit.
  int32_t TimeoutSeconds() const { return timeout_seconds_; }
  bool ReadOnly() const { return read_only_; }

  // Null-terminated arrays for libpq; valid while this object lives.
  std::vector<const char*> Keywords() const;
  std::vector<const char*> ValuesArray() const;

 private:
  void Add(std::string keyword, std::string value);
  std::vector<std::pair<std::string, std::string>> values_;
  int32_t timeout_seconds_ = 0;
  bool read_only_ = false;
};

// The login name of the operating-system user this process runs as.
std::string OperatingSystemUser();

}  // namespace kx4::ado::pg

#endif  // KX4DATA_DATAACCESS_POSTGRES_CONNECTPARAMS_H_
