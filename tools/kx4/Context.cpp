#include "tools/kx4/Context.h"

#include <kx4data/ConnectionSettings.h>
#include <kx4data/KXData.h>
#include <kx4data/Variant.h>

#include <CLI/CLI.hpp>

namespace kx4::cli {

void Check(const KXErrorPtr& error) {
  if (!error)
    return;
  // Messages carry the dialog's line breaks.
  std::string message = error->Message();
  for (size_t at = message.find("\r\n"); at != std::string::npos; at = message.find("\r\n", at))
    message.erase(at, 1);
  throw CommandError(message);
}

Context::Context(std::istream& in, std::ostream& out, std::ostream& err, bool terminal_input)
    : secrets_(in, err, terminal_input), out_(out), err_(err) {}

void Context::AddGlobalOptions(CLI::App& app) {
  app.add_flag("--all-users", all_users_,
               "Use (and with init, store) the settings of every user of this machine");
  app.add_flag("--pin", ask_pin_, "Authorise with a PIN code typed on the terminal (no echo)");
  app.add_flag("--pin-stdin", pin_stdin_,
               "Authorise with a PIN code read from a line of standard input");
  app.add_flag("--password-stdin", password_stdin_,
               "Read the database password from a line of standard input");
  app.footer(
      "Secrets read from standard input come one per line, in this order: the\n"
      "database password, the PIN code that authorises, a new user's PIN code.\n"
      "Exit status: 0 done, 1 refused or failed (the reason on standard error),\n"
      "2 a usage error.");
}

ConnectionSettings Context::StoredSettings() const {
  ConnectionSettings settings;
  settings.Load(all_users_);
  return settings;
}

std::string Context::ConnectionPassword() {
  if (password_stdin_)
    return secrets_.FromInput("database password");
  return secrets_.FromTerminal("Database password", false, "--password-stdin");
}

std::unique_ptr<KXData> Context::Connect(bool read_only) {
  auto session = std::make_unique<KXData>();
  session->SetCaller("kx4");
  if (all_users_)
    session->SetAllUsersOnly(true);
  session->SetReadOnly(read_only);
  ConnectionSettings settings = ConnectionSettings::Of(*session);
  const bool login_without_password =
      !settings.NTAuthenticate() && !settings.User().empty() && !settings.HasPassword();
  if (password_stdin_ || (login_without_password && secrets_.Terminal())) {
    // A password typed for this run is used and forgotten, never stored.
    settings.SetPassword(ConnectionPassword());
    Check(settings.Connect(*session));
  } else {
    Check(session->EstablishConnection(Variant(true)));
  }
  return session;
}

std::string Context::AuthorizingPin() {
  if (pin_stdin_)
    return secrets_.FromInput("PIN code");
  if (ask_pin_)
    return secrets_.FromTerminal("PIN code", false, "--pin-stdin");
  return "";
}

std::unique_ptr<KXData> Context::OpenSession(bool read_only) {
  std::unique_ptr<KXData> session = Connect(read_only);
  Check(session->GetAuthorization(AuthorizingPin()));
  return session;
}

}  // namespace kx4::cli
