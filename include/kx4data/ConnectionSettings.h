// Connection settings a host can make, inspect, try and store: the server
// and database, the login (or integrated authentication), the network
// library and the two time-outs, kept for this user or for every user of the
// machine.  A new KXData session starts from the stored ones.
#ifndef KX4DATA_CONNECTIONSETTINGS_H_
#define KX4DATA_CONNECTIONSETTINGS_H_

#include <cstdint>
#include <memory>
#include <string>

#include <kx4data/Export.h>
#include <kx4data/KXError.h>

namespace kx4 {

class KXData;
class clsConnectionVariables;

class KX4DATA_API ConnectionSettings {
 public:
  // Empty: no server or database, a login without user or password, the
  // password not to be stored, time-outs 1 (connect) and 60 (query) seconds.
  ConnectionSettings();
  ~ConnectionSettings();
  ConnectionSettings(const ConnectionSettings& other);
  ConnectionSettings& operator=(const ConnectionSettings& other);

  // A copy of the settings the session connects with.
  static ConnectionSettings Of(const KXData& pinsData);

  // Server, Database, User and the password are kept without leading and
  // trailing blanks.
  const std::string& Server() const;
  void SetServer(const std::string& value);
  const std::string& Database() const;
  void SetDatabase(const std::string& value);
  const std::string& User() const;
  void SetUser(const std::string& value);
  // Write-only: the password leaves these settings only through
  // BuildConnectionString and PasswordToPrefill.
  void SetPassword(const std::string& value);
  bool HasPassword() const;
  // Integrated authentication (the operating-system user) instead of User
  // and password.
  bool NTAuthenticate() const;
  void SetNTAuthenticate(bool value);
  // Whether Store keeps the password (enciphered).
  bool StorePassword() const;
  void SetStorePassword(bool value);
  // The network library; empty for the default.  Kept as given.
  const std::string& NetProvider() const;
  void SetNetProvider(const std::string& value);
  // Seconds.  0 waits without limit.
  int16_t ConnectTimeout() const;
  void SetConnectTimeout(int16_t value);
  int16_t QueryTimeout() const;
  void SetQueryTimeout(int16_t value);

  // "Provider=SQLOLEDB;Data Source=...;Database=...;" followed by the network
  // library and either "Trusted_Connection=Yes;" or "User ID=...;Password=...";
  // empty while Server or Database is.  Values go in as they are.
  std::string BuildConnectionString() const;
  // What the login dialog shows in its password box: the password when it is
  // to be stored, else the empty text.
  std::string PasswordToPrefill() const;

  // Writes the settings for this user (false) or for all users (true).  A
  // per-user store also fills the machine-wide settings while those name no
  // server.  Failures to write are not reported.
  void Store(bool pblnAllUsers) const;
  // Reads this user's settings when they name a server (and `pblnAllUsers`
  // is false), else the machine-wide ones; missing values take defaults.
  void Load(bool pblnAllUsers);

  // What the login dialog does with typed settings.  The session tries them;
  // when they connect, it closes the connection it had and keeps the new one,
  // and the settings are stored for this user or for all users, as the
  // session's AllUsersOnly says, and become the session's settings.  When
  // they do not, the connection error is returned, nothing is stored and the
  // session keeps its connection and settings.
  [[nodiscard]] KXErrorPtr AttemptConnection(KXData& pinsData) const;
  // The same without storing anything: for a host that asks for a password
  // it does not keep.  When the settings connect, the session closes the
  // connection it had and keeps the new one and these settings; when they do
  // not, the connection error is returned and the session is unchanged.
  [[nodiscard]] KXErrorPtr Connect(KXData& pinsData) const;

 private:
  std::unique_ptr<clsConnectionVariables> settings_;
};

}  // namespace kx4

#endif  // KX4DATA_CONNECTIONSETTINGS_H_
