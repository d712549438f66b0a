// The database creation scripts, compiled in from schema/<engine>.sql.
#ifndef KX4DATA_SCHEMA_SCHEMA_H_
#define KX4DATA_SCHEMA_SCHEMA_H_

#include <string_view>

namespace kx4::schema {

std::string_view SqliteScript();
std::string_view PostgresScript();  // empty until the PostgreSQL script exists

}  // namespace kx4::schema

#endif  // KX4DATA_SCHEMA_SCHEMA_H_
