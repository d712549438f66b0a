#include "dataaccess/CaseRules.h"

#include <string>

namespace kx4::ado {

EngineError UnsuitableDatabase(std::string_view source, std::string_view database,
                               std::string_view reason) {
  ProviderError error;
  error.NativeError = kNativeUnsuitableDatabase;
  error.SQLState = "55000";
  error.Source = std::string(source);
  error.Description =
      "The database \"" + std::string(database) +
      "\" does not compare names the way this library does: " + std::string(reason) +
      ". Its names, codes and printer ports would match, sort and stay unique "
      "by other rules than the library's case table. Create the database with "
      "the library (kx4::ado::CreateDatabase), which sets these rules up, and "
      "copy the data into it.";
  return EngineError(kErrProviderFailure, {std::move(error)});
}

}  // namespace kx4::ado
