#include <kx4data/ado/Database.h>

#include <kx4data/RuntimeError.h>

#include "dataaccess/ConnectionPool.h"
#include "dataaccess/Engine.h"

namespace kx4::ado {
namespace {

template <typename F>
void Run(const std::string& connection_string, F&& f) {
  try {
    const ConnectionOptions options = ConnectionOptions::Parse(connection_string);
    f(EngineFor(options), options);
  } catch (const EngineError& e) {
    throw RuntimeError(e.HResult(), e.what(),
                       e.Errors().empty() ? std::string("kx4data") : e.Errors().front().Source);
  }
}

}  // namespace

void CreateDatabase(const std::string& connection_string) {
  Run(connection_string,
      [](const Engine& engine, const ConnectionOptions& o) { engine.CreateDatabase(o); });
}

void DropDatabase(const std::string& connection_string) {
  Run(connection_string, [](const Engine& engine, const ConnectionOptions& o) {
    // A pooled connection must not outlive its database: an embedded
    // one could write into a new file of the same name.
    ConnectionPool::Instance().CloseDatabase(engine.Location(o));
    engine.DropDatabase(o);
  });
}

DatabaseLocation LocateDatabase(const std::string& connection_string) {
  DatabaseLocation location;
  Run(connection_string, [&location](const Engine& engine, const ConnectionOptions& o) {
    location = engine.Locate(o);
  });
  return location;
}

}  // namespace kx4::ado
