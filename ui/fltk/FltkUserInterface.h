// The desktop user interface: FLTK windows on the X display.
#ifndef KX4DATA_UI_FLTK_FLTKUSERINTERFACE_H_
#define KX4DATA_UI_FLTK_FLTKUSERINTERFACE_H_

#include <memory>

#include <kx4data/UserInterface.h>

namespace kx4::fltk {

class FltkUserInterface : public UserInterface {
 public:
  // Null, with `why` set, when no X display can be opened; FLTK would end
  // the process instead.
  static std::unique_ptr<FltkUserInterface> Create(const char** why);

  int32_t MessageBox(const std::string& text, const std::string& caption, int32_t style) override;
  int32_t MousePointer() const override { return pointer_; }
  // Shows the pointer on every window of the process (the host's too).
  void SetMousePointer(int32_t pointer) override;
  bool CanShowDialogs() const override { return true; }
  void ShowLoginForm(frmLogin& form) override;
  int32_t ShowFileDialog(FileDialogRequest& request) override;
  int32_t ShowColorDialog(ColorDialogRequest& request) override;
  int32_t ShowFontDialog(FontDialogRequest& request) override;
  int32_t ShowPrintDialog(PrintDialogRequest& request) override;

 private:
  FltkUserInterface() = default;

  int32_t pointer_ = vbDefault;
};

}  // namespace kx4::fltk

#endif  // KX4DATA_UI_FLTK_FLTKUSERINTERFACE_H_
