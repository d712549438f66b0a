// Message boxes: what the style flags select (icon, buttons, the default
// and the Escape answer) and the modal window that shows them.
#ifndef KX4DATA_UI_FLTK_MESSAGEBOXDIALOG_H_
#define KX4DATA_UI_FLTK_MESSAGEBOXDIALOG_H_

#include <cstdint>
#include <string>
#include <vector>

namespace kx4::fltk {

enum class MessageIcon { kNone, kStop, kQuestion, kExclamation, kInformation };

struct MessageButton {
  const char* caption;
  int32_t answer;  // vbOK, vbCancel, ...
};

struct MessageBoxLayout {
  MessageIcon icon = MessageIcon::kNone;
  std::vector<MessageButton> buttons;
  size_t default_button = 0;
  // The answer of Escape and the close box; 0 when neither may close it.
  int32_t escape_answer = 0;
};

// Unknown button codes show OK alone; a default beyond the buttons is the
// first.
MessageBoxLayout DescribeMessageBox(int32_t style);

// Shows the box modally; returns the answer of the button pressed.
int32_t RunMessageBox(const std::string& text, const std::string& caption, int32_t style);

}  // namespace kx4::fltk

#endif  // KX4DATA_UI_FLTK_MESSAGEBOXDIALOG_H_
