// Plays a user at a real window: a list of steps that runs inside the
// dialog's own event loop, typing and clicking through xdotool (real X
// events) and looking at the windows in between.
#ifndef KX4DATA_TESTS_UI_WINDOWDRIVER_H_
#define KX4DATA_TESTS_UI_WINDOWDRIVER_H_

#include <FL/Fl_Window.H>

#include <functional>
#include <string>
#include <vector>

#include <kx4data/frmLogin.h>

#include "ui/Png.h"

namespace kx4::test {

class WindowDriver {
 public:
  // `form` is the login form being shown, while it is (set by the test's
  // user interface).
  explicit WindowDriver(const frmLogin* const& form) : form_(form) {}
  ~WindowDriver();
  WindowDriver(const WindowDriver&) = delete;
  WindowDriver& operator=(const WindowDriver&) = delete;

  // A step polled every 20 ms until it returns true.
  void Until(std::string what, std::function<bool()> done);
  // A step that runs once.
  void Do(std::string what, std::function<void()> action);
  // Runs xdotool with `args` and waits until it ends; the lazy form works
  // the arguments out when the step comes.
  void Xdotool(std::vector<std::string> args);
  void Xdotool(std::string what, std::function<std::vector<std::string>()> args);

  // Steps for the login window (and the message boxes it shows).
  void WaitForWindow(const std::string& title);
  // Waits until the login window has the form's size on the server.
  void WaitForLoginSize(int32_t client_height_twips);
  // Clicks the middle of a control where the form has laid it out.
  void ClickLogin(frmLogin::Control control);
  // Gives the keyboard to the window titled `title`.
  void Focus(const std::string& title);
  void Type(const std::string& text);
  // Presses the keys named, one after the other ("Tab Tab Return").
  void Key(const std::string& keys);
  void Screenshot(const std::string& title, const std::string& path);

  // Starts the steps; they run while an event loop does.
  void Start();
  // Every step ran; otherwise Failure() says which did not.  The last step
  // usually closes the dialog, which ends the loop before its xdotool has
  // been seen to end: that one is waited for here.
  bool Finished();
  std::string Failure() const;

 private:
  struct Step {
    std::string what;
    std::function<bool()> done;
  };
  static void Tick(void* data);
  void Fail(const std::string& why);

  const frmLogin* const& form_;
  std::vector<Step> steps_;
  size_t next_ = 0;
  double waited_ = 0;
  std::string failure_;
  int child_ = -1;
};

// The shown window titled `title`, or null.
Fl_Window* FindWindow(const std::string& title);
// The window's title and size as the X server has them.
std::string ServerTitle(Fl_Window& window);
void ServerSize(Fl_Window& window, int& width, int& height);
// The window's pixels as the X server shows them.
Image Capture(Fl_Window& window);

}  // namespace kx4::test

#endif  // KX4DATA_TESTS_UI_WINDOWDRIVER_H_
