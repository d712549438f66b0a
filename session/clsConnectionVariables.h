// Everything needed to reach the database, its connection string, and its
// place in the registry under "Software\Kestrix 4.0", per user or for all
// users of the machine.
#ifndef KX4DATA_SESSION_CLSCONNECTIONVARIABLES_H_
#define KX4DATA_SESSION_CLSCONNECTIONVARIABLES_H_

#include <cstdint>
#include <string>

namespace kx4 {

class clsConnectionVariables {
 public:
  static constexpr const char* kRegistryKey = "Software\\Kestrix 4.0";
  static constexpr const char* kPassPhrase = "#41mm8Rta";

  // Server, Password, User and Database are stored without leading and
  // trailing spaces.
  void SetServer(const std::string& value);
  const std::string& Server() const { return server_; }
  // Always empty: assigning has no effect, and it is never stored.
  void SetOwner(const std::string&) {}
  std::string Owner() const { return {}; }
  void SetPassword(const std::string& value);
  const std::string& Password() const { return password_; }
  void SetUser(const std::string& value);
  const std::string& User() const { return user_; }
  // Integrated authentication instead of User and Password.
  void SetNTAuthenticate(bool value) { nt_authenticate_ = value; }
  bool NTAuthenticate() const { return nt_authenticate_; }
  // Whether Store saves the password (enciphered).
  void SetStorePassword(bool value) { store_password_ = value; }
  bool StorePassword() const { return store_password_; }
  void SetDatabase(const std::string& value);
  const std::string& Database() const { return database_; }
  // The network library; empty for the provider's default.  Not trimmed.
  const std::string& NetProvider() const { return net_provider_; }
  void SetNetProvider(const std::string& value) { net_provider_ = value; }
  // Seconds.
  int16_t ConnectTimeout() const { return connect_timeout_; }
  void SetConnectTimeout(int16_t value) { connect_timeout_ = value; }
  int16_t QueryTimeout() const { return query_timeout_; }
  void SetQueryTimeout(int16_t value) { query_timeout_ = value; }

  // "Provider=SQLOLEDB;Data Source=...;Database=...;" with the network
  // library and the credentials; empty while Server or Database is.  Values
  // go in as they are.
  std::string BuildConnectionString() const;
  // Writes the settings for this user (false) or for all users (true).  A
  // per-user store also fills the machine-wide settings while those have no
  // server.  Registry failures are not reported.
  void Store(bool pblnAllUsers) const;
  // Reads this user's settings when they name a server (and `pblnAllUsers`
  // is false), else the machine-wide ones; missing values take defaults.
  void Load(bool pblnAllUsers);

 private:
  std::string server_;
  std::string password_;
  std::string user_;
  bool nt_authenticate_ = false;
  bool store_password_ = false;
  std::string database_;
  std::string net_provider_;
  int16_t connect_timeout_ = 1;
  int16_t query_timeout_ = 60;
};

}  // namespace kx4

#endif  // KX4DATA_SESSION_CLSCONNECTIONVARIABLES_H_
