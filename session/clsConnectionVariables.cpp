#include "session/clsConnectionVariables.h"

#include <kx4data/RuntimeError.h>
#include <kx4data/Variant.h>

#include "connection/clsRegistry.h"
#include "dataaccess/Engine.h"
#include "session/Common.h"

namespace kx4 {

namespace {

std::string TrimSpaces(const std::string& s) {
  size_t first = s.find_first_not_of(' ');
  if (first == std::string::npos)
    return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// Stored values may have been edited by hand into something of another
// type; what cannot be converted reads as the value's default instead of
// failing the load.
std::string ReadText(clsRegistry& reg, const char* name, const char* fallback) {
  Variant value = reg.GetValueOrDefault(name, Variant(fallback));
  try {
    return value.ToString();
  } catch (const RuntimeError&) {
    return fallback;
  }
}

bool ReadFlag(clsRegistry& reg, const char* name, const Variant& fallback) {
  Variant value = reg.GetValueOrDefault(name, fallback);
  try {
    return value.ToBoolean();
  } catch (const RuntimeError&) {
    return fallback.ToBoolean();
  }
}

// A stored number that fits the 16-bit setting and passes `acceptable`, or
// `fallback`.
template <typename Predicate>
int16_t ReadSeconds(clsRegistry& reg, const char* name, int16_t fallback, Predicate acceptable) {
  Variant value = reg.GetValueOrDefault(name, Variant(std::to_string(fallback)));
  if (!value.IsNumeric())
    return fallback;
  try {
    int16_t seconds = value.ToInteger();
    return acceptable(seconds) ? seconds : fallback;
  } catch (const RuntimeError&) {
    return fallback;
  }
}

void WriteValues(clsRegistry& reg, const clsConnectionVariables& settings) {
  // A read on the same object may have left another value type behind.
  reg.SetValueType(registry::REG_SZ);
  reg.SetCreateValue("SQLServer", settings.Server());
  reg.SetCreateValue("SQLDatabase", settings.Database());
  reg.SetCreateValue("User", settings.User());
  reg.SetCreateValue("Password",
                     settings.StorePassword()
                         ? EncipherText(settings.Password(), clsConnectionVariables::kPassPhrase)
                         : std::string());
  reg.SetCreateValue("Store Password", settings.StorePassword());
  reg.SetCreateValue("NTAuthenticate", settings.NTAuthenticate());
  reg.SetCreateValue("NetProvider", settings.NetProvider());
  reg.SetCreateValue("ConnectTimeout", settings.ConnectTimeout());
  reg.SetCreateValue("QueryTimeout", settings.QueryTimeout());
}

}  // namespace

void clsConnectionVariables::SetServer(const std::string& value) {
  server_ = TrimSpaces(value);
}
void clsConnectionVariables::SetPassword(const std::string& value) {
  password_ = TrimSpaces(value);
}
void clsConnectionVariables::SetUser(const std::string& value) {
  user_ = TrimSpaces(value);
}
void clsConnectionVariables::SetDatabase(const std::string& value) {
  database_ = TrimSpaces(value);
}

std::string clsConnectionVariables::BuildConnectionString() const {
  if (database_.empty() || server_.empty())
    return {};
  // Values go in as they are, unless a ';' in one would end it early and
  // let the rest pass for settings of its own ("Password=x;Data Source=...").
  using Value = ado::ConnectionOptions;
  std::string text = "Provider=SQLOLEDB;Data Source=" + Value::Quote(server_) +
                     ";Database=" + Value::Quote(database_) + ";";
  if (!net_provider_.empty())
    text += "Network Library=" + Value::Quote(net_provider_) + ";";
  if (nt_authenticate_) {
    text += "Trusted_Connection=Yes;";
  } else {
    text += "User ID=" + Value::Quote(user_) + ";" + "Password=" + Value::Quote(password_);
  }
  return text;
}

void clsConnectionVariables::Store(bool pblnAllUsers) const {
  clsRegistry reg;
  reg.SetValueType(registry::REG_SZ);
  reg.SetSectionKey(kRegistryKey);
  if (!pblnAllUsers) {
    reg.SetClassKey(registry::HKEY_CURRENT_USER);
    WriteValues(reg, *this);
  }
  // A machine that has no settings yet takes the first user's.
  reg.SetClassKey(registry::HKEY_LOCAL_MACHINE);
  if (!ReadText(reg, "SQLServer", "").empty() && !pblnAllUsers)
    return;
  WriteValues(reg, *this);
}

void clsConnectionVariables::Load(bool pblnAllUsers) {
  clsRegistry reg;
  reg.SetClassKey(registry::HKEY_CURRENT_USER);
  reg.SetSectionKey(kRegistryKey);
  reg.SetValueType(registry::REG_SZ);
  SetServer(ReadText(reg, "SQLServer", ""));
  if (server_.empty() || pblnAllUsers) {
    reg.SetClassKey(registry::HKEY_LOCAL_MACHINE);
    SetServer(ReadText(reg, "SQLServer", ""));
  }
  // Everything else from the hive that supplied the server.
  SetDatabase(ReadText(reg, "SQLDatabase", ""));
  SetUser(ReadText(reg, "User", ""));
  store_password_ = ReadFlag(reg, "Store Password", Variant("-1"));
  std::string sealed = ReadText(reg, "Password", "");
  SetPassword(store_password_ && !sealed.empty() ? DecipherText(sealed, kPassPhrase) : "");
  nt_authenticate_ = ReadFlag(reg, "NTAuthenticate", Variant(false));
  SetNetProvider(ReadText(reg, "NetProvider", ""));
  // Zero would mean waiting for ever to connect.
  connect_timeout_ = ReadSeconds(reg, "ConnectTimeout", 1, [](int16_t s) { return s > 0; });
  query_timeout_ = ReadSeconds(reg, "QueryTimeout", 60, [](int16_t) { return true; });
}

}  // namespace kx4
