// The login dialog's window: draws the form's controls where the form puts
// them (15 twips to a pixel) and reports every click, change and key to it.
#ifndef KX4DATA_UI_FLTK_LOGINVIEW_H_
#define KX4DATA_UI_FLTK_LOGINVIEW_H_

#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Widget.H>

#include <array>
#include <memory>

#include <kx4data/frmLogin.h>

namespace kx4::fltk {

class LoginView {
 public:
  explicit LoginView(frmLogin& form);
  ~LoginView();
  LoginView(const LoginView&) = delete;
  LoginView& operator=(const LoginView&) = delete;

  // Shows the window modally until the form closes.
  void Run();

 private:
  static int Dispatch(int event, Fl_Window* window);
  static void OnWidget(Fl_Widget* widget, void* data);
  static void OnWindow(Fl_Widget* widget, void* data);

  // Puts every widget where the form says, with its caption, text and state.
  void Sync();
  Fl_Widget* Control(frmLogin::Control control) const { return widgets_[control]; }

  frmLogin& form_;
  std::unique_ptr<Fl_Double_Window> window_;
  std::array<Fl_Widget*, frmLogin::kControlCount> widgets_{};
};

}  // namespace kx4::fltk

#endif  // KX4DATA_UI_FLTK_LOGINVIEW_H_
