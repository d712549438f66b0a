// Creating and dropping a database from the schema scripts: a host extension
// for tools that set up databases.  kx4data itself never creates tables.
#ifndef KX4DATA_ADO_DATABASE_H_
#define KX4DATA_ADO_DATABASE_H_

#include <string>

#include <kx4data/Export.h>

namespace kx4::ado {

// Creates the database that `connection_string` names, with every table,
// index and seed row (the settings row holds version 4).  Throws RuntimeError
// when it exists already or cannot be created.
KX4DATA_API void CreateDatabase(const std::string& connection_string);
// Removes it; a database that does not exist is no error.
KX4DATA_API void DropDatabase(const std::string& connection_string);

}  // namespace kx4::ado

#endif  // KX4DATA_ADO_DATABASE_H_
