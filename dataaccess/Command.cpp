#include "dataaccess/Command.h"

#include <kx4data/RuntimeError.h>

#include "dataaccess/Connection.h"
#include "dataaccess/Engine.h"
#include "dataaccess/ResultTable.h"

namespace kx4::ado {
namespace {

Connection& Active(const std::shared_ptr<Connection>& connection) {
  if (!connection || connection->State() != adStateOpen)
    throw RuntimeError(kErrObjectClosed, "Operation is not allowed when the object is closed.");
  return *connection;
}

}  // namespace

void Command::Execute(int32_t* records_affected, int32_t) {
  Connection& connection = Active(connection_);
  try {
    int64_t affected = -1;
    connection.Engine().Execute(command_text_, parameters_, command_timeout_, nullptr, affected);
    connection.ClearErrors();
    if (records_affected)
      *records_affected = static_cast<int32_t>(affected);
  } catch (...) {
    connection.Fail(std::current_exception());
  }
}

bool Command::ExecuteInto(ResultTable& rows, int64_t* records_affected) {
  Connection& connection = Active(connection_);
  try {
    int64_t affected = -1;
    const bool produced =
        connection.Engine().Execute(command_text_, parameters_, command_timeout_, &rows, affected);
    connection.ClearErrors();
    if (records_affected)
      *records_affected = affected;
    return produced;
  } catch (...) {
    connection.Fail(std::current_exception());
  }
}

}  // namespace kx4::ado
