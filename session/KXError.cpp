#include <kx4data/KXError.h>

#include <kx4data/UserInterface.h>

namespace kx4 {

void KXError::Display() const {
  CurrentUserInterface()->MessageBox(message_, "Kestrix Error", icon_type_);
}

KXErrorPtr MakeError(const std::string& message, int16_t icon_type, KXErrors kx_error_number) {
  auto error = std::make_shared<KXError>();
  error->SetMessage(message);
  error->SetIconType(icon_type);
  error->SetKXErrorNumber(kx_error_number);
  return error;
}

}  // namespace kx4
