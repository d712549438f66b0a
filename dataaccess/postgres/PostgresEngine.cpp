// Placeholder until the PostgreSQL engine lands: every use fails cleanly.
// The postgres branch replaces this folder wholesale.
#include "dataaccess/Engine.h"

namespace kx4::ado {
namespace {

[[noreturn]] void NotBuilt() {
  ProviderError e;
  e.NativeError = 4060;
  e.Description = "PostgreSQL engine not built";
  e.SQLState = "08001";
  e.Source = "kx4data";
  throw EngineError(kErrProviderFailure, {e});
}

class Placeholder final : public Engine {
 public:
  std::unique_ptr<EngineConnection> Open(const ConnectionOptions&) const override { NotBuilt(); }
  void CreateDatabase(const ConnectionOptions&) const override { NotBuilt(); }
  void DropDatabase(const ConnectionOptions&) const override { NotBuilt(); }
};

}  // namespace

const Engine& PostgresEngine() {
  static const Placeholder engine;
  return engine;
}

}  // namespace kx4::ado
