#include "ui/fltk/FltkUserInterface.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <cstdlib>

#include "ui/DesktopModule.h"
#include "ui/fltk/CommonDialogs.h"
#include "ui/fltk/LoginView.h"
#include "ui/fltk/MessageBoxDialog.h"

namespace kx4::fltk {
namespace {

constexpr int32_t vbArrow = 1;
constexpr int32_t vbCrosshair = 2;
constexpr int32_t vbIbeam = 3;
constexpr int32_t vbSizeAll = 5;
constexpr int32_t vbNoDrop = 12;
constexpr int32_t vbArrowHourglass = 13;

Fl_Cursor CursorFor(int32_t pointer) {
  switch (pointer) {
    case vbHourglass:
    case vbArrowHourglass:
      return FL_CURSOR_WAIT;
    case vbArrow:
      return FL_CURSOR_ARROW;
    case vbCrosshair:
      return FL_CURSOR_CROSS;
    case vbIbeam:
      return FL_CURSOR_INSERT;
    case vbSizeAll:
      return FL_CURSOR_MOVE;
    case vbNoDrop:
      return FL_CURSOR_NONE;
    default:
      return FL_CURSOR_DEFAULT;
  }
}

}  // namespace

std::unique_ptr<FltkUserInterface> FltkUserInterface::Create(const char** why) {
  if (!fl_display) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
      *why = "there is no display: DISPLAY is not set";
      return nullptr;
    }
    Display* opened = XOpenDisplay(nullptr);
    if (!opened) {
      *why = "the display named by DISPLAY cannot be opened";
      return nullptr;
    }
    fl_open_display(opened);
  }
  return std::unique_ptr<FltkUserInterface>(new FltkUserInterface());
}

int32_t FltkUserInterface::MessageBox(const std::string& text, const std::string& caption,
                                      int32_t style) {
  return RunMessageBox(text, caption, style);
}

void FltkUserInterface::SetMousePointer(int32_t pointer) {
  pointer_ = pointer;
  const Fl_Cursor cursor = CursorFor(pointer);
  for (Fl_Window* window = Fl::first_window(); window; window = Fl::next_window(window))
    window->cursor(cursor);
  // The pointer must change before the work that it announces blocks.
  Fl::flush();
}

void FltkUserInterface::ShowLoginForm(frmLogin& form) {
  LoginView view(form);
  view.Run();
}

int32_t FltkUserInterface::ShowFileDialog(FileDialogRequest& request) {
  return RunFileDialog(request);
}
int32_t FltkUserInterface::ShowColorDialog(ColorDialogRequest& request) {
  return RunColorDialog(request);
}
int32_t FltkUserInterface::ShowFontDialog(FontDialogRequest& request) {
  return RunFontDialog(request);
}
int32_t FltkUserInterface::ShowPrintDialog(PrintDialogRequest& request) {
  return RunPrintDialog(request);
}

}  // namespace kx4::fltk

// The module's one exported entry point (see ui/DesktopModule.h).
extern "C" __attribute__((visibility("default"))) kx4::UserInterface*
kx4_create_desktop_user_interface(const char** why) {
  static_assert(std::is_same_v<decltype(&kx4_create_desktop_user_interface), kx4::DesktopFactory>);
  return kx4::fltk::FltkUserInterface::Create(why).release();
}
