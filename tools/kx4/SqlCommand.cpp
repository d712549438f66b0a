// "kx4 sql": the database in its engine's own shell.  The embedded database
// opens in sqlite3 with the library's extension loaded, so that names compare
// and money converts as the library does; a server's in psql.  The shell
// replaces kx4 and inherits its terminal and standard input.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <kx4data/ConnectionSettings.h>
#include <kx4data/ado/Database.h>

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tools/kx4/Commands.h"
#include "tools/kx4/Context.h"

namespace kx4::cli {
namespace {

// kx4sqlite.so lives beside libkx4data.so, wherever the product is.
std::string ExtensionPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ado::LocateDatabase), &info) == 0 || !info.dli_fname)
    throw CommandError("Cannot tell where the library is installed.");
  std::string path = info.dli_fname;
  path.erase(path.find_last_of('/') + 1);
  return path + "kx4sqlite.so";
}

bool IsFile(const std::string& path) {
  struct stat st = {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

[[noreturn]] void Exec(Context& context, const std::string& program,
                       const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args)
    argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  context.Out().flush();
  context.Err().flush();
  ::execvp(program.c_str(), argv.data());
  const int error = errno;
  throw CommandError(
      "Cannot run " + program + ": " + std::strerror(error) +
      (error == ENOENT ? " (Debian package " +
                             std::string(program == "psql" ? "postgresql-client" : "sqlite3") + ")"
                       : ""));
}

[[noreturn]] void OpenEmbedded(Context& context, const ado::DatabaseLocation& location,
                               const std::vector<std::string>& args) {
  // sqlite3 would create an empty file where the database is missing.
  if (!IsFile(location.file))
    throw CommandError("No database file " + location.file + "; \"kx4 init\" creates one.");
  const std::string extension = ExtensionPath();
  if (!IsFile(extension))
    throw CommandError("The SQLite extension " + extension + " is missing.");
  // A dot-command argument in single quotes is taken as it is; no path the
  // product installs to holds one.
  if (extension.find('\'') != std::string::npos)
    throw CommandError("Cannot load an extension from a path with a quote: " + extension);
  std::vector<std::string> shell = {"-cmd", ".load '" + extension + "' sqlite3_kx4sqlite_init",
                                    // Agents keep writing; wait for them rather than fail at once.
                                    "-cmd", ".timeout 10000", location.file};
  shell.insert(shell.end(), args.begin(), args.end());
  Exec(context, "sqlite3", shell);
}

[[noreturn]] void OpenServer(Context& context, const ado::DatabaseLocation& location,
                             const std::vector<std::string>& args) {
  // Only the environment of psql carries the connection, the password above
  // all: a command line is visible to every user of the machine.  Settings of
  // the caller's own environment must not redirect it.
  for (const char* name : {"PGHOST", "PGHOSTADDR", "PGPORT", "PGDATABASE", "PGUSER", "PGPASSWORD",
                           "PGSERVICE", "PGSERVICEFILE"})
    ::unsetenv(name);
  for (const auto& [keyword, value] : location.server) {
    const std::string name = keyword == "host"     ? "PGHOST"
                             : keyword == "port"   ? "PGPORT"
                             : keyword == "dbname" ? "PGDATABASE"
                             : keyword == "user"   ? "PGUSER"
                                                   : "PGPASSWORD";
    ::setenv(name.c_str(), value.c_str(), 1);
  }
  Exec(context, "psql", args);
}

void RunSql(Context& context, const std::vector<std::string>& args) {
  const ConnectionSettings settings = context.StoredSettings();
  if (settings.Server().empty() || settings.Database().empty())
    throw CommandError("No connection settings are kept; \"kx4 init\" creates a database.");
  // A login whose password is not kept leaves psql to ask for it.
  const ado::DatabaseLocation location = ado::LocateDatabase(settings.BuildConnectionString());
  if (location.embedded)
    OpenEmbedded(context, location, args);
  OpenServer(context, location, args);
}

}  // namespace

void AddSqlCommand(CLI::App& root, Context& context) {
  auto args = std::make_shared<std::vector<std::string>>();
  CLI::App* sql = root.add_subcommand(
      "sql",
      "Open the database in its engine's shell: sqlite3 with the library's extension, or psql");
  sql->add_option("args", *args,
                  "Passed on to the shell (after --): sqlite3 takes them after the database "
                  "file, psql as they are");
  sql->callback([&context, args] { RunSql(context, *args); });
}

}  // namespace kx4::cli
