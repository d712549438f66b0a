// What every command of the tool shares: the streams, the global options,
// the way to a connected and authorised session, and the two kinds of
// failure (exit status 1 for a refused or failed operation, 2 for a usage
// error, which CLI11's ParseError carries).
#ifndef KX4_TOOLS_KX4_CONTEXT_H_
#define KX4_TOOLS_KX4_CONTEXT_H_

#include <kx4data/KXError.h>

#include <istream>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>

#include "tools/kx4/Secrets.h"

namespace CLI {
class App;
}

namespace kx4 {
class ConnectionSettings;
class KXData;
}  // namespace kx4

namespace kx4::cli {

inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// A refused or failed operation: the message goes to standard error as it
// is, and the tool exits with status 1.
class CommandError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws the error object's message as a CommandError; nothing when null.
void Check(const KXErrorPtr& error);

class Context {
 public:
  Context(std::istream& in, std::ostream& out, std::ostream& err, bool terminal_input);

  // --all-users, --pin, --pin-stdin, --password-stdin on the root command;
  // they may be given after a subcommand too.
  void AddGlobalOptions(CLI::App& app);

  std::ostream& Out() { return out_; }
  std::ostream& Err() { return err_; }
  Secrets& GetSecrets() { return secrets_; }
  bool AllUsers() const { return all_users_; }

  // The stored connection settings this run uses: the machine's with
  // --all-users, else this user's (or the machine's when the user has none).
  ConnectionSettings StoredSettings() const;
  // The connection password, from standard input with --password-stdin or
  // typed on the terminal.
  std::string ConnectionPassword();

  // The PIN code of --pin or --pin-stdin; empty without either.
  std::string AuthorizingPin();

  // A session on the stored settings, connected (read-only when asked), and
  // authorised with the PIN code of --pin or --pin-stdin, or without one.
  // A stored login without its password asks for it.
  std::unique_ptr<KXData> OpenSession(bool read_only = false);
  // Connected only; no authorisation.
  std::unique_ptr<KXData> Connect(bool read_only = false);

 private:
  Secrets secrets_;
  std::ostream& out_;
  std::ostream& err_;
  bool all_users_ = false;
  bool ask_pin_ = false;
  bool pin_stdin_ = false;
  bool password_stdin_ = false;
};

}  // namespace kx4::cli

#endif  // KX4_TOOLS_KX4_CONTEXT_H_
