#include "ui/WindowDriver.h"

#include <FL/Fl.H>
#include <FL/x.H>
#include <X11/Xutil.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace kx4::test {
namespace {

constexpr double kTick = 0.02;
constexpr double kStepLimit = 20;  // seconds one step may take

int Px(int32_t twips) {
  return (twips + frmLogin::kTwipsPerPixel / 2) / frmLogin::kTwipsPerPixel;
}

std::string Id(Fl_Window& window) {
  return std::to_string(fl_xid(&window));
}

}  // namespace

WindowDriver::~WindowDriver() {
  Fl::remove_timeout(Tick, this);
  if (child_ > 0) {
    ::kill(child_, SIGKILL);
    ::waitpid(child_, nullptr, 0);
  }
}

void WindowDriver::Until(std::string what, std::function<bool()> done) {
  steps_.push_back({std::move(what), std::move(done)});
}

void WindowDriver::Do(std::string what, std::function<void()> action) {
  Until(std::move(what), [action = std::move(action)] {
    action();
    return true;
  });
}

void WindowDriver::Xdotool(std::vector<std::string> args) {
  std::string what = "xdotool";
  for (const std::string& arg : args)
    what += " " + arg;
  Xdotool(what, [args] { return args; });
}

void WindowDriver::Xdotool(std::string what, std::function<std::vector<std::string>()> args) {
  Until(what, [this, what, args] {
    if (child_ < 0) {
      std::vector<std::string> text = {"xdotool"};
      for (std::string& arg : args())
        text.push_back(std::move(arg));
      std::vector<char*> argv;
      for (std::string& arg : text)
        argv.push_back(arg.data());
      argv.push_back(nullptr);
      pid_t pid = 0;
      if (::posix_spawnp(&pid, "xdotool", nullptr, nullptr, argv.data(), environ) != 0) {
        Fail("cannot start " + what);
        return true;
      }
      child_ = pid;
      return false;
    }
    int status = 0;
    if (::waitpid(child_, &status, WNOHANG) == 0)
      return false;
    child_ = -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
      Fail(what + " failed");
    return true;
  });
}

void WindowDriver::WaitForWindow(const std::string& title) {
  Until("the window \"" + title + "\" is mapped", [title] {
    Fl_Window* window = FindWindow(title);
    if (!window || !window->shown())
      return false;
    XWindowAttributes attributes{};
    return XGetWindowAttributes(fl_display, fl_xid(window), &attributes) != 0 &&
           attributes.map_state == IsViewable;
  });
}

void WindowDriver::WaitForLoginSize(int32_t client_height_twips) {
  Until("the login window is " + std::to_string(client_height_twips) + " twips high",
        [client_height_twips] {
          Fl_Window* window = FindWindow(frmLogin::kTitle);
          if (!window)
            return false;
          int w = 0, h = 0;
          ServerSize(*window, w, h);
          return w == Px(frmLogin::kClientWidth) && h == Px(client_height_twips);
        });
}

void WindowDriver::ClickLogin(frmLogin::Control control) {
  Xdotool("click " + std::to_string(control), [this, control]() -> std::vector<std::string> {
    Fl_Window* window = FindWindow(frmLogin::kTitle);
    if (!window || !form_) {
      Fail("no login window to click in");
      return {"version"};
    }
    const frmLogin::ControlState& state = form_->Get(control);
    const frmLogin::ControlState& frame = form_->Get(frmLogin::fraAdvanced);
    const int32_t left = state.left + (state.in_frame ? frame.left : 0);
    const int32_t top = state.top + (state.in_frame ? frame.top : 0);
    // Check boxes are clicked on their box, at their left.
    const int32_t across = state.kind == frmLogin::Kind::kCheckBox ? 120 : state.width / 2;
    return {"windowfocus",
            "--sync",
            Id(*window),
            "mousemove",
            "--window",
            Id(*window),
            std::to_string(Px(left + across)),
            std::to_string(Px(top + state.height / 2)),
            "click",
            "1"};
  });
}

void WindowDriver::Focus(const std::string& title) {
  Xdotool("focus " + title, [this, title]() -> std::vector<std::string> {
    Fl_Window* window = FindWindow(title);
    if (!window) {
      Fail("no window \"" + title + "\" to focus");
      return {"version"};
    }
    return {"windowfocus", "--sync", Id(*window)};
  });
}

void WindowDriver::Type(const std::string& text) {
  Xdotool({"type", "--delay", "20", text});
}

void WindowDriver::Key(const std::string& keys) {
  std::vector<std::string> args = {"key"};
  size_t start = 0;
  while (start < keys.size()) {
    const size_t space = keys.find(' ', start);
    args.push_back(keys.substr(start, space == std::string::npos ? space : space - start));
    start = space == std::string::npos ? keys.size() : space + 1;
  }
  Xdotool(args);
}

void WindowDriver::Screenshot(const std::string& title, const std::string& path) {
  Do("screenshot " + path, [this, title, path] {
    Fl_Window* window = FindWindow(title);
    if (!window) {
      Fail("no window \"" + title + "\" to capture");
      return;
    }
    const Image image = Capture(*window);
    if (!WritePng(image, path))
      Fail("cannot write " + path);
    if (ColourCount(image) < 3 || ForegroundShare(image) < 0.02)
      Fail(path + " is blank");
  });
}

bool WindowDriver::Finished() {
  if (child_ > 0 && next_ + 1 == steps_.size()) {
    int status = 0;
    ::waitpid(child_, &status, 0);
    child_ = -1;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
      ++next_;
    else
      Fail(steps_[next_].what + " failed");
  }
  return next_ == steps_.size() && failure_.empty();
}

std::string WindowDriver::Failure() const {
  if (!failure_.empty())
    return failure_;
  if (next_ < steps_.size())
    return "the dialog closed before: " + steps_[next_].what;
  return {};
}

void WindowDriver::Start() {
  Fl::add_timeout(kTick, Tick, this);
}

void WindowDriver::Tick(void* data) {
  auto* driver = static_cast<WindowDriver*>(data);
  if (!driver->failure_.empty())
    return;
  if (driver->next_ < driver->steps_.size()) {
    Step& step = driver->steps_[driver->next_];
    if (step.done()) {
      ++driver->next_;
      driver->waited_ = 0;
    } else if ((driver->waited_ += kTick) > kStepLimit) {
      driver->Fail("timed out: " + step.what);
      return;
    }
  } else if ((driver->waited_ += kTick) > kStepLimit) {
    // Every step ran and the loop still runs: the dialog ignored them.
    driver->Fail("the dialog stayed open after the last step");
    return;
  }
  Fl::repeat_timeout(kTick, Tick, data);
}

void WindowDriver::Fail(const std::string& why) {
  if (failure_.empty())
    failure_ = why;
  // Closing every window unwinds the dialogs' loops, so the test can end.
  while (Fl_Window* window = Fl::first_window())
    window->hide();
}

Fl_Window* FindWindow(const std::string& title) {
  for (Fl_Window* window = Fl::first_window(); window; window = Fl::next_window(window)) {
    if (window->label() && title == window->label())
      return window;
  }
  return nullptr;
}

std::string ServerTitle(Fl_Window& window) {
  char* name = nullptr;
  std::string title;
  if (XFetchName(fl_display, fl_xid(&window), &name) && name) {
    title = name;
    XFree(name);
  }
  return title;
}

void ServerSize(Fl_Window& window, int& width, int& height) {
  XSync(fl_display, False);
  XWindowAttributes attributes{};
  XGetWindowAttributes(fl_display, fl_xid(&window), &attributes);
  width = attributes.width;
  height = attributes.height;
}

Image Capture(Fl_Window& window) {
  Fl::flush();
  XSync(fl_display, False);
  int width = 0, height = 0;
  ServerSize(window, width, height);
  Image image;
  XImage* x = XGetImage(fl_display, fl_xid(&window), 0, 0, static_cast<unsigned>(width),
                        static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (!x)
    return image;
  image.width = width;
  image.height = height;
  image.rgb.reserve(static_cast<size_t>(width) * height * 3);
  auto channel = [](unsigned long pixel, unsigned long mask) {
    int shift = 0;
    while (mask && !(mask & 1)) {
      mask >>= 1;
      ++shift;
    }
    return static_cast<uint8_t>(((pixel >> shift) & mask) * 255 / (mask ? mask : 1));
  };
  for (int y = 0; y < height; ++y) {
    for (int xx = 0; xx < width; ++xx) {
      const unsigned long pixel = XGetPixel(x, xx, y);
      image.rgb.push_back(channel(pixel, x->red_mask));
      image.rgb.push_back(channel(pixel, x->green_mask));
      image.rgb.push_back(channel(pixel, x->blue_mask));
    }
  }
  XDestroyImage(x);
  return image;
}

}  // namespace kx4::test
