// The login dialog's form: its controls with their captions, contents and
// places, and every rule of the dialog that needs no screen.  The library
// creates one whenever a session has to ask for connection settings and
// hands it to the installed user interface (UserInterface::ShowLoginForm),
// whose view draws the controls where the form says and reports what the
// user does.  Positions are in twips; kTwipsPerPixel converts at 96 dpi.
#ifndef KX4DATA_FRMLOGIN_H_
#define KX4DATA_FRMLOGIN_H_

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <kx4data/Export.h>
#include <kx4data/KXError.h>

namespace kx4 {

class ConnectionSettings;
class KXData;
class UserInterface;

class KX4DATA_API frmLogin {
 public:
  // The controls, numbered in tab order; lblCaption<n> is the caption label
  // with index n.
  enum Control : int32_t {
    txtServer,
    txtDatabase,
    txtUser,
    txtPassword,
    chkNTAuthenticate,
    chkPassword,
    txtNetProvider,
    txtConnectionTimeout,
    txtQueryTimeout,
    cmdOK,
    cmdCancel,
    cmdHelp,
    cmdAdvanced,
    lblCaption1,
    lblCaption2,
    lblCaption3,
    lblCaption4,
    fraAdvanced,
    lblCaption0,
    lblCaption5,
    lblCaption6,
  };
  static constexpr int32_t kControlCount = lblCaption6 + 1;

  enum class Kind { kTextBox, kCheckBox, kButton, kLabel, kFrame };

  struct ControlState {
    Kind kind;
    const char* name;
    std::string caption;  // buttons ("&" marks the access key), check boxes, labels, the frame
    int32_t left, top, width, height;  // twips; inside fraAdvanced relative to it
    bool in_frame;
    bool visible;
    std::string text;    // text boxes
    bool checked;        // check boxes
    int32_t max_length;  // text boxes; 0 for no limit
    bool masked;         // every character shown as "*"
    bool selects_on_focus;
    bool is_default;  // pressed by Enter
    bool is_cancel;   // pressed by Escape
  };

  // Key-state masks of KeyDown and KeyUp.
  static constexpr int32_t kShiftMask = 1;
  static constexpr int32_t kCtrlMask = 2;
  static constexpr int32_t kAltMask = 4;

  static constexpr const char* kTitle = "Kestrix Microsoft SQL Server Login";
  static constexpr const char* kCancelledMessage = "User cancelled the login.";
  static constexpr int32_t kClientWidth = 4905;
  static constexpr int32_t kTwipsPerPixel = 15;
  static constexpr int32_t kHelpTopic = 4;

  // Shows the dialog through the installed user interface with the session's
  // settings filled in; up to three connection attempts.  Null once an
  // attempt connected (the session then holds that connection and the
  // settings, which are stored); the third failed attempt's error; or the
  // cancel error (erActionCancelled, icon 48) when the user cancelled or
  // closed the dialog.
  [[nodiscard]] static KXErrorPtr GetAuthenticConnection(KXData& pinsData);

  ~frmLogin();
  frmLogin(const frmLogin&) = delete;
  frmLogin& operator=(const frmLogin&) = delete;

  // --- What the view draws ---
  const ControlState& Get(Control control) const { return controls_[control]; }
  // The client area: kClientWidth wide, ClientHeight() high, in twips.
  int32_t ClientHeight() const { return client_height_; }
  bool Advanced() const { return advanced_; }
  // The dialog has closed (connected, third failure, cancel or close box).
  bool Closed() const { return closed_; }

  // --- What the view reports ---
  // The window handle that owns the help and message boxes.
  void SetWindowHandle(int32_t hwnd) { hwnd_ = hwnd; }
  // The dialog became active: the control to move the focus to (the empty,
  // visible user box, the first time only); nothing leaves the focus where
  // it is, on the first control in tab order when the dialog opens.
  std::optional<Control> Activated();
  // The user changed a text box.  The form keeps at most max_length
  // characters.
  void Change(Control control, const std::string& text);
  // A character typed into a text box, before it lands: the character to
  // use, or 0 when it is refused (the view beeps).
  int32_t KeyPressed(Control control, int32_t key_ascii);
  // Every key going down or up anywhere in the dialog, with the modifier
  // keys (kShiftMask, kCtrlMask, kAltMask) held once the key has moved.
  void KeyDown(int32_t shift);
  void KeyUp(int32_t shift);
  // A button pressed or a check box clicked (the form toggles it).  Login
  // may take a while and may show a message box.
  void Click(Control control);
  // The window's close box.
  void Unload();

 private:
  KX4DATA_LOCAL frmLogin(KXData& pinsData, UserInterface& ui);

  KX4DATA_LOCAL void Fill(const ConnectionSettings& settings);
  KX4DATA_LOCAL void ArrangeControls();
  KX4DATA_LOCAL void ValidateTimeouts();
  [[nodiscard]] KX4DATA_LOCAL KXErrorPtr AttemptConnection();
  KX4DATA_LOCAL void Login();
  KX4DATA_LOCAL void Move(Control control, int32_t left, int32_t top);
  KX4DATA_LOCAL std::string Text(Control control) const;
  ControlState& At(Control control) { return controls_[control]; }

  KXData& session_;
  UserInterface& ui_;
  std::array<ControlState, kControlCount> controls_;
  KXErrorPtr result_error_;
  bool finished_ = false;
  int16_t attempts_ = 0;
  bool advanced_ = false;
  bool activated_ = false;
  bool no_modifier_held_ = true;
  int32_t client_height_ = 3975;
  bool closed_ = false;
  int32_t hwnd_ = 0;
};

}  // namespace kx4

#endif  // KX4DATA_FRMLOGIN_H_
