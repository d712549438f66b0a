// The embedded engine: one SQLite file per database, in the user's data
// folder ($XDG_DATA_HOME/kestrix) unless the database is named by an
// absolute path.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "dataaccess/Engine.h"
#include "dataaccess/sqlite/SqliteConnection.h"
#include "dataaccess/sqlite/SqliteErrors.h"
#include "dataaccess/sqlite/SqliteFunctions.h"
#include "schema/Schema.h"

namespace kx4::ado {
namespace sqlite {
namespace {

std::string DataFolder() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg == '/')
    return std::string(xdg) + "/kestrix";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.local/share/kestrix";
}

// Creates `folder` and its parents; the last level private to the user.
bool MakeFolder(const std::string& folder) {
  std::string path;
  size_t at = 0;
  while (at != std::string::npos) {
    at = folder.find('/', at + 1);
    path = folder.substr(0, at);
    if (path.empty())
      continue;
    const bool last = at == std::string::npos;
    if (mkdir(path.c_str(), last ? 0700 : 0755) != 0 && errno != EEXIST)
      return false;
  }
  return true;
}

[[noreturn]] void BadName(const ConnectionOptions& o) {
  throw MakeError(kErrProviderFailure, 4060, "42000",
                  "Cannot open database \"" + o.database +
                      "\" requested by the login. The login failed. [not a valid database name]");
}

std::string DatabasePath(const ConnectionOptions& o) {
  const std::string& name = o.database;
  if (name.empty() || name.find('\0') != std::string::npos)
    BadName(o);
  if (name.front() == '/')
    return name;
  if (name.find('/') != std::string::npos || name == "." || name == "..")
    BadName(o);
  return DataFolder() + "/" + name + ".db";
}

class Engine final : public ado::Engine {
 public:
  std::unique_ptr<EngineConnection> Open(const ConnectionOptions& options) const override {
    return std::make_unique<SqliteConnection>(options, DatabasePath(options));
  }

  void CreateDatabase(const ConnectionOptions& options) const override {
    const std::string path = DatabasePath(options);
    if (options.database.front() != '/' && !MakeFolder(DataFolder()))
      throw MakeError(kErrProviderFailure, 5123, "42000",
                      "CREATE DATABASE failed: cannot create the folder " + DataFolder() + ": " +
                          std::strerror(errno));
    // O_EXCL makes "already exists" and "created by us" one atomic step.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST)
        throw MakeError(kErrCommandFailed, 1801, "42000",
                        "Database '" + options.database +
                            "' already exists. Choose a different database name.");
      throw MakeError(
          kErrProviderFailure, 5123, "42000",
          "CREATE DATABASE failed: cannot create " + path + ": " + std::strerror(errno));
    }
    ::close(fd);
    sqlite3* db = nullptr;
    int rc =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_EXRESCODE, nullptr);
    if (rc == SQLITE_OK)
      rc = RegisterFunctions(db);
    if (rc == SQLITE_OK)
      rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL", nullptr, nullptr,
                        nullptr);
    if (rc == SQLITE_OK) {
      const std::string script = "BEGIN;\n" + std::string(schema::SqliteScript()) + "\nCOMMIT;";
      rc = sqlite3_exec(db, script.c_str(), nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
      EngineError e = Translate(db, rc, options.database, false);
      sqlite3_close_v2(db);
      try {
        DropDatabase(options);
      } catch (const EngineError&) {
        // The first failure is the one to report.
      }
      throw e;
    }
    sqlite3_close_v2(db);
  }

  std::string Location(const ConnectionOptions& options) const override {
    return DatabasePath(options);
  }

  // Removes every file it can; the first failure other than a missing file
  // is reported.
  void DropDatabase(const ConnectionOptions& options) const override {
    const std::string path = DatabasePath(options);
    std::string failure;
    for (const char* suffix : {"", "-wal", "-shm", "-journal", "-kx4q"}) {
      const std::string file = path + suffix;
      if (::unlink(file.c_str()) != 0 && errno != ENOENT && failure.empty())
        failure = "DROP DATABASE failed: cannot remove " + file + ": " + std::strerror(errno);
    }
    if (!failure.empty())
      throw MakeError(kErrProviderFailure, 5120, "42000", failure);
  }

  DatabaseLocation Locate(const ConnectionOptions& options) const override {
    DatabaseLocation location;
    location.embedded = true;
    location.file = DatabasePath(options);
    return location;
  }
};

}  // namespace
}  // namespace sqlite

const Engine& SqliteEngine() {
  static const sqlite::Engine engine;
  return engine;
}

}  // namespace kx4::ado
