// "kx4 init" creates a database and keeps its settings; "kx4 connection"
// shows and tries the settings kept.
#include <kx4data/ConnectionSettings.h>
#include <kx4data/KXData.h>
#include <kx4data/RuntimeError.h>
#include <kx4data/ado/Database.h>

#include <CLI/CLI.hpp>

#include "tools/kx4/Commands.h"
#include "tools/kx4/Context.h"

namespace kx4::cli {
namespace {

struct InitOptions {
  std::string server = "(localdb)";
  std::string database = "Tracking";
  std::string user;
  bool integrated = false;
  bool store_password = false;
  std::string network_library;
  int16_t connect_timeout = 15;
  int16_t query_timeout = 60;
  bool force = false;
};

void RunInit(Context& context, const InitOptions& options) {
  ConnectionSettings settings;
  settings.SetServer(options.server);
  settings.SetDatabase(options.database);
  settings.SetNetProvider(options.network_library);
  settings.SetConnectTimeout(options.connect_timeout);
  settings.SetQueryTimeout(options.query_timeout);
  settings.SetNTAuthenticate(options.user.empty());
  if (!options.user.empty()) {
    settings.SetUser(options.user);
    settings.SetPassword(context.ConnectionPassword());
    settings.SetStorePassword(options.store_password);
  }
  const std::string connection_string = settings.BuildConnectionString();
  try {
    if (options.force)
      ado::DropDatabase(connection_string);
    ado::CreateDatabase(connection_string);
  } catch (const RuntimeError& failure) {
    throw CommandError(failure.Description());
  }
  // Connecting checks the new database as every session will; only then
  // are the settings kept, as the login dialog keeps them.
  KXData session;
  session.SetCaller("kx4");
  if (context.AllUsers())
    session.SetAllUsersOnly(true);
  if (KXErrorPtr error = settings.AttemptConnection(session)) {
    session.CloseConnection();
    try {
      ado::DropDatabase(connection_string);
    } catch (const RuntimeError&) {
      // The connection error below is the one that matters.
    }
    Check(error);
  }
  // Storing reports nothing, so read back what later runs will find.
  const ConnectionSettings kept = context.StoredSettings();
  if (kept.Server() != settings.Server() || kept.Database() != settings.Database())
    throw CommandError("Created " + session.DatabaseInfo() +
                       ", but its connection settings could not be kept; check that the "
                       "settings folder can be written.");
  context.Out() << "Created " << session.DatabaseInfo() << "; settings kept for "
                << (context.AllUsers() ? "every user of this machine" : "this user") << ".\n";
}

void AddInit(CLI::App& root, Context& context) {
  auto options = std::make_shared<InitOptions>();
  CLI::App* init =
      root.add_subcommand("init", "Create a new database and keep its connection settings");
  init->add_option("--server", options->server,
                   "(localdb) for the embedded database, else a PostgreSQL server: host, "
                   "host,port or a socket folder")
      ->capture_default_str();
  init->add_option("--database", options->database,
                   "Name (embedded: a file in ~/.local/share/kestrix, or an absolute path)")
      ->capture_default_str();
  auto* user = init->add_option(
      "--user", options->user, "Log in as this user, with a password (typed, or --password-stdin)");
  init->add_flag("--integrated", options->integrated,
                 "Log in as the operating-system user (the default without --user)")
      ->excludes(user);
  init->add_flag("--store-password", options->store_password,
                 "Keep the password with the settings (enciphered)")
      ->needs(user);
  init->add_option("--network-library", options->network_library, "Network library name");
  init->add_option("--connect-timeout", options->connect_timeout,
                   "Seconds allowed to connect; 0 waits without limit")
      ->capture_default_str();
  init->add_option("--query-timeout", options->query_timeout,
                   "Seconds allowed for one statement; 0 waits without limit")
      ->capture_default_str();
  init->add_flag("--force", options->force, "Replace a database of that name, deleting its data");
  init->callback([&context, options] { RunInit(context, *options); });
}

void AddConnectionShow(CLI::App& group, Context& context) {
  auto format = std::make_shared<Format>(Format::kTable);
  CLI::App* show =
      group.add_subcommand("show", "Show the connection settings kept (never the password)");
  AddFormatOption(*show, *format);
  show->callback([&context, format] {
    const ConnectionSettings settings = context.StoredSettings();
    const bool login = !settings.NTAuthenticate();
    ShowRecord(
        context, *format,
        Shown{{"Server", "Database", "Authentication", "User", "Password", "NetworkLibrary",
               "ConnectTimeout", "QueryTimeout"},
              {Variant(settings.Server()), Variant(settings.Database()),
               Variant(login ? "login" : "integrated"), Variant(login ? settings.User() : ""),
               Variant(!login                   ? ""
                       : settings.HasPassword() ? "kept"
                                                : "asked for"),
               Variant(settings.NetProvider()), Variant(settings.ConnectTimeout()),
               Variant(settings.QueryTimeout())}});
  });
}

void AddConnectionTest(CLI::App& group, Context& context) {
  CLI::App* test = group.add_subcommand("test", "Connect with the settings kept");
  test->callback([&context] {
    std::unique_ptr<KXData> session = context.Connect();
    context.Out() << "Connected to " << session->DatabaseInfo() << ", database version "
                  << session->DBVersion() << ".\n";
  });
}

}  // namespace

void AddInitCommand(CLI::App& root, Context& context) {
  AddInit(root, context);
}

void AddConnectionCommands(CLI::App& root, Context& context) {
  CLI::App* group = AddGroup(root, "connection", "The connection settings kept");
  AddConnectionShow(*group, context);
  AddConnectionTest(*group, context);
}

}  // namespace kx4::cli
