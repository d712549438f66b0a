// Creating and dropping a database from the schema scripts: a host extension
// for tools that set up databases.  kx4data itself never creates tables.
#ifndef KX4DATA_ADO_DATABASE_H_
#define KX4DATA_ADO_DATABASE_H_

#include <string>
#include <utility>
#include <vector>

#include <kx4data/Export.h>

namespace kx4::ado {

// Creates the database that `connection_string` names, with every table,
// index and seed row (the settings row holds version 4).  Throws RuntimeError
// when it exists already or cannot be created.
KX4DATA_API void CreateDatabase(const std::string& connection_string);
// Removes it; a database that does not exist is no error.
KX4DATA_API void DropDatabase(const std::string& connection_string);

// Where a database lives, for opening it with its engine's own tools.
struct DatabaseLocation {
  // The embedded engine's: the path of the database file.
  bool embedded = false;
  std::string file;
  // A server's: libpq connection keywords with their values, as the library
  // connects (host, port, dbname, user, password; each only when set).
  std::vector<std::pair<std::string, std::string>> server;
};

// Where the database that `connection_string` names is; whether it exists is
// not checked.  Throws RuntimeError when the string names no database.
KX4DATA_API DatabaseLocation LocateDatabase(const std::string& connection_string);

}  // namespace kx4::ado

#endif  // KX4DATA_ADO_DATABASE_H_
