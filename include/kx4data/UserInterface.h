// The one door to the screen: message boxes, the mouse pointer and the
// library's dialogs.  The default is headless; a host installs its own, or
// opts in to the desktop one (InstallDesktopUserInterface, or KX4_UI=fltk).
#ifndef KX4DATA_USERINTERFACE_H_
#define KX4DATA_USERINTERFACE_H_

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <kx4data/Export.h>
#include <kx4data/KXError.h>

namespace kx4 {

class KXData;
class frmLogin;

// Mouse-pointer styles the library uses.
inline constexpr int32_t vbDefault = 0;
inline constexpr int32_t vbHourglass = 11;

// Message-box style flags: buttons (the low three bits), icon, default button.
inline constexpr int32_t vbOKOnly = 0;
inline constexpr int32_t vbOKCancel = 1;
inline constexpr int32_t vbAbortRetryIgnore = 2;
inline constexpr int32_t vbYesNoCancel = 3;
inline constexpr int32_t vbYesNo = 4;
inline constexpr int32_t vbRetryCancel = 5;
inline constexpr int32_t vbCritical = 16;
inline constexpr int32_t vbQuestion = 32;
inline constexpr int32_t vbExclamation = 48;
inline constexpr int32_t vbInformation = 64;
inline constexpr int32_t vbDefaultButton2 = 256;
inline constexpr int32_t vbDefaultButton3 = 512;

// Message-box answers.
inline constexpr int32_t vbOK = 1;
inline constexpr int32_t vbCancel = 2;
inline constexpr int32_t vbAbort = 3;
inline constexpr int32_t vbRetry = 4;
inline constexpr int32_t vbIgnore = 5;
inline constexpr int32_t vbYes = 6;
inline constexpr int32_t vbNo = 7;

// Extended errors of the common dialogs.
inline constexpr int32_t kCdErrDialogFailure = 0xFFFF;   // the dialog could not be shown
inline constexpr int32_t kFnErrBufferTooSmall = 0x3003;  // the chosen name does not fit

// The open and save dialogs.  The dialog returns a name shorter than
// `name_buffer` bytes, or fails with kFnErrBufferTooSmall.
struct KX4DATA_API FileDialogRequest {
  bool save = false;
  int32_t owner = 0;
  int32_t flags = 0;
  std::vector<std::pair<std::string, std::string>> filters;  // (description, pattern)
  int32_t filter_index = 0;                                  // 1-based, in and out
  std::string file_name;  // in and out: the full path once chosen
  std::string initial_folder;
  std::string title;
  std::string default_extension;
  size_t name_buffer = 0;
  int32_t extended_error = 0;  // out, when the dialog returns 0
};

// Colours are 0x00BBGGRR.
struct KX4DATA_API ColorDialogRequest {
  int32_t owner = 0;
  int32_t flags = 0;
  int32_t color = 0;  // in and out
  std::array<int32_t, 16> custom_colors{};
  int32_t extended_error = 0;
};

struct KX4DATA_API FontDialogRequest {
  int32_t owner = 0;
  int32_t flags = 0;              // 0x40: start from face_name, charset and height
  std::string face_name;          // in and out
  uint8_t charset = 0;            // in and out
  int32_t height = 0;             // in: cell height in pixels
  int32_t point_size_tenths = 0;  // out
  int32_t extended_error = 0;
};

struct KX4DATA_API PrintDialogRequest {
  int32_t owner = 0;
  int32_t hdc = 0;
  int32_t flags = 0;
  int16_t from_page = 0;  // the five values in and out
  int16_t to_page = 0;
  int16_t min_page = 0;
  int16_t max_page = 0;
  int16_t copies = 0;
  int32_t extended_error = 0;
};

class KX4DATA_API UserInterface {
 public:
  virtual ~UserInterface() = default;
  // `style` holds the message-box flags (buttons + icon + default button);
  // returns the button pressed (vbOK, ...).
  virtual int32_t MessageBox(const std::string& text, const std::string& caption,
                             int32_t style) = 0;
  virtual int32_t MousePointer() const = 0;
  virtual void SetMousePointer(int32_t pointer) = 0;

  // Whether this interface can show the library's modal dialogs.  A session
  // asks before it offers the login dialog: when it cannot, a failed on-demand
  // connection returns the failed attempt's error unchanged, and
  // KXData::ChangeConnection returns kNoDialogMessage with erActionCancelled
  // (icon 48), keeping the session's connection as it was.
  virtual bool CanShowDialogs() const { return false; }
  // Asks the user for connection settings, starting from
  // ConnectionSettings::Of(pinsData), and tries each set with its
  // AttemptConnection(pinsData), which stores the settings that worked and
  // hands them to the session.  Null on success; the error of the third
  // failed attempt, or the cancel error (erActionCancelled) when the user
  // gave up.  Called only when CanShowDialogs() is true.  The default shows
  // the library's own login form (frmLogin) through ShowLoginForm.
  [[nodiscard]] virtual KXErrorPtr ShowLoginDialog(KXData& pinsData);
  // Shows the login form modally on the calling thread: draws its controls
  // where it says, reports what the user does, and returns once
  // form.Closed().  The default returns at once, which the form reads as a
  // cancel.
  virtual void ShowLoginForm(frmLogin& form);

  // The common dialogs: a non-zero return when the user chose something,
  // else 0 with `extended_error` set (0 for a plain cancel).  The defaults
  // show nothing and fail with kCdErrDialogFailure.
  virtual int32_t ShowFileDialog(FileDialogRequest& request);
  virtual int32_t ShowColorDialog(ColorDialogRequest& request);
  virtual int32_t ShowFontDialog(FontDialogRequest& request);
  virtual int32_t ShowPrintDialog(PrintDialogRequest& request);
};

// The answer to a request for the login dialog where no dialog can be shown.
inline constexpr const char* kNoDialogMessage =
    "The login dialog cannot be shown here, so the connection was not changed.";

// Writes "caption: text" to standard error and answers OK; the pointer calls
// do nothing.
class KX4DATA_API HeadlessUserInterface : public UserInterface {
 public:
  int32_t MessageBox(const std::string& text, const std::string& caption, int32_t style) override;
  int32_t MousePointer() const override { return vbDefault; }
  void SetMousePointer(int32_t) override {}
};

// The interface in use.  Until a host installs another it is the headless
// one, or the desktop one when KX4_UI=fltk and it can be loaded.
KX4DATA_API std::shared_ptr<UserInterface> CurrentUserInterface();
// Installs `ui` (nullptr restores the headless default) and returns the one
// it replaces.
KX4DATA_API std::shared_ptr<UserInterface> SetUserInterface(std::shared_ptr<UserInterface> ui);

// Loads the desktop interface (libkx4fltk.so beside this library) and
// installs it.  It needs an X display ($DISPLAY); when the module or the
// display is missing the interface in use stays, and `why` (when given)
// says what was missing.
KX4DATA_API bool InstallDesktopUserInterface(std::string* why = nullptr);

// The caption of message boxes that have none of their own.
inline constexpr const char* kApplicationTitle = "kx4data";

}  // namespace kx4

#endif  // KX4DATA_USERINTERFACE_H_
