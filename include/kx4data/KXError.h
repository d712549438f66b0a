// The one result type of the library: a null KXErrorPtr means success.
#ifndef KX4DATA_KXERROR_H_
#define KX4DATA_KXERROR_H_

#include <cstdint>
#include <memory>
#include <string>

#include <kx4data/Export.h>
#include <kx4data/KXEnums.h>

namespace kx4 {

class KX4DATA_API KXError {
 public:
  // Message-box styles the library sets.
  static constexpr int16_t kIconStop = 16;
  static constexpr int16_t kIconExclamation = 48;

  const std::string& Message() const { return message_; }
  void SetMessage(const std::string& value) { message_ = value; }
  int32_t Number() const { return number_; }
  void SetNumber(int32_t value) { number_ = value; }
  int16_t IconType() const { return icon_type_; }
  void SetIconType(int16_t value) { icon_type_ = value; }
  // Shows Message in a message box captioned "Kestrix Error" with IconType as
  // its style, through the installed user interface.
  void Display() const;
  // Any 32-bit number, also one that is no member of KXErrors.
  KXErrors KXErrorNumber() const { return kx_error_number_; }
  void SetKXErrorNumber(KXErrors value) { kx_error_number_ = value; }

 private:
  std::string message_;
  int32_t number_ = 0;
  int16_t icon_type_ = 0;
  KXErrors kx_error_number_ = erUnknown;
};

using KXErrorPtr = std::shared_ptr<KXError>;

// A new error object with the three values a validation sets.
[[nodiscard]] KX4DATA_API KXErrorPtr MakeError(const std::string& message, int16_t icon_type,
                                               KXErrors kx_error_number = erUnknown);

}  // namespace kx4

#endif  // KX4DATA_KXERROR_H_
