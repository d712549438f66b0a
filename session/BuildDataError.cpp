#include "session/BuildDataError.h"

#include "dataaccess/Connection.h"

namespace kx4 {

namespace {
constexpr const char* kCrLf = "\r\n";
}

KXErrorPtr BuildDataError(const std::string& message, int32_t number,
                          const std::string& description, const std::string& source,
                          const ado::Connection* connection) {
  auto error = std::make_shared<KXError>();
  error->SetNumber(number);
  std::string text =
      message + kCrLf + "Unexpected error occurred in " + source + kCrLf + description + kCrLf;
  if (connection != nullptr) {
    const auto& provider_errors = connection->Errors();
    for (size_t i = 0; i < provider_errors.size(); ++i) {
      if (i == 0) {
        // The first entry is the one the run-time error already describes.
        error->SetNumber(provider_errors[i].NativeError);
        continue;
      }
      text += std::to_string(provider_errors[i].NativeError) + " - " +
              provider_errors[i].Description + kCrLf;
    }
  }
  error->SetMessage(text);
  error->SetIconType(KXError::kIconStop);
  return error;
}

KXErrorPtr BuildDataError(const std::string& message, const RuntimeError& failure,
                          const std::string& source, const ado::Connection* connection) {
  return BuildDataError(message, failure.Number(), failure.Description(), source, connection);
}

KXErrorPtr BuildDataError(const std::string& message, const std::exception& failure,
                          const std::string& source, const ado::Connection* connection) {
  return BuildDataError(message, kErrInternal, failure.what(), source, connection);
}

}  // namespace kx4
