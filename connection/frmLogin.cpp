#include <kx4data/frmLogin.h>

#include <kx4data/ConnectionSettings.h>
#include <kx4data/KXData.h>
#include <kx4data/RuntimeError.h>
#include <kx4data/UserInterface.h>
#include <kx4data/Variant.h>

#include "connection/modHelp.h"
#include "session/Text.h"

namespace kx4 {
namespace {

constexpr int32_t kTimeoutLength = 3;
constexpr int32_t kKeyBackspace = 8;
constexpr int32_t kGap = 120;       // between a field and what follows it
constexpr int32_t kButtonGap = 60;  // between buttons in a row
constexpr int32_t kRowLeft = 60;    // the button row's left edge
constexpr const char* kCannotConnectCaption = "Cannot Connect";

using Kind = frmLogin::Kind;
using ControlState = frmLogin::ControlState;

ControlState TextBox(const char* name, int32_t left, int32_t top, int32_t width, int32_t height,
                     bool in_frame = false) {
  return {Kind::kTextBox, name, "",    left, top,   width, height, in_frame,
          true,           "",   false, 0,    false, false, false,  false};
}

ControlState Captioned(Kind kind, const char* name, const char* caption, int32_t left, int32_t top,
                       int32_t width, int32_t height, bool in_frame = false) {
  return {kind, name, caption, left, top,   width, height, in_frame,
          true, "",   false,   0,    false, false, false,  false};
}

// The design-time form, in tab order.
std::array<ControlState, frmLogin::kControlCount> DesignControls() {
  std::array<ControlState, frmLogin::kControlCount> c = {
      TextBox("txtServer", 960, 60, 2535, 315),
      TextBox("txtDatabase", 960, 540, 2535, 315),
      TextBox("txtUser", 960, 1020, 2535, 315),
      TextBox("txtPassword", 960, 1500, 2535, 315),
      Captioned(Kind::kCheckBox, "chkNTAuthenticate", "Use NT authentication", 180, 300, 2235, 195,
                true),
      Captioned(Kind::kCheckBox, "chkPassword", "Remember password", 2460, 300, 2115, 195, true),
      TextBox("txtNetProvider", 1920, 660, 2655, 285, true),
      TextBox("txtConnectionTimeout", 1920, 1020, 915, 285, true),
      TextBox("txtQueryTimeout", 1920, 1380, 915, 285, true),
      Captioned(Kind::kButton, "cmdOK", "&Login", 3660, 60, 1155, 375),
      Captioned(Kind::kButton, "cmdCancel", "Cancel", 3660, 540, 1155, 375),
      Captioned(Kind::kButton, "cmdHelp", "Help", 3660, 1020, 1155, 375),
      Captioned(Kind::kButton, "cmdAdvanced", "Advanced>>", 3660, 1500, 1155, 375),
      Captioned(Kind::kLabel, "lblCaption(1)", "Server:", 60, 120, 735, 195),
      Captioned(Kind::kLabel, "lblCaption(2)", "Password:", 60, 1560, 795, 195),
      Captioned(Kind::kLabel, "lblCaption(3)", "User:", 60, 1080, 795, 195),
      Captioned(Kind::kLabel, "lblCaption(4)", "Database:", 60, 600, 795, 195),
      Captioned(Kind::kFrame, "fraAdvanced", "Advanced Settings", 60, 2040, 4755, 1815),
      Captioned(Kind::kLabel, "lblCaption(0)", "Network provider:", 180, 720, 1635, 195, true),
      Captioned(Kind::kLabel, "lblCaption(5)", "Connection timeout:", 180, 1080, 1575, 195, true),
      Captioned(Kind::kLabel, "lblCaption(6)", "Query timeout:", 180, 1440, 1635, 195, true),
  };
  for (frmLogin::Control box :
       {frmLogin::txtServer, frmLogin::txtDatabase, frmLogin::txtUser, frmLogin::txtPassword,
        frmLogin::txtConnectionTimeout, frmLogin::txtQueryTimeout})
    c[box].selects_on_focus = true;
  c[frmLogin::txtPassword].masked = true;
  c[frmLogin::txtConnectionTimeout].max_length = kTimeoutLength;
  c[frmLogin::txtQueryTimeout].max_length = kTimeoutLength;
  c[frmLogin::cmdOK].is_default = true;
  c[frmLogin::cmdCancel].is_cancel = true;
  return c;
}

bool IsDigitOrBackspace(int32_t key) {
  return (key >= '0' && key <= '9') || key == kKeyBackspace;
}

// The first three characters of the trimmed text when they make a number
// from 1 up that fits 16 bits, else `replacement`.  A number too large for
// 16 bits (say "9e9") is replaced like any other unusable text.
std::string ValidTimeout(const std::string& text, const char* replacement) {
  const std::string kept = LeftChars(TrimSpaces(text), kTimeoutLength);
  const Variant value(kept);
  if (!value.IsNumeric())
    return replacement;
  try {
    return value.ToInteger() < 1 ? replacement : kept;
  } catch (const RuntimeError&) {
    return replacement;
  }
}

// Restores the host's mouse pointer on every way out.
class PointerGuard {
 public:
  explicit PointerGuard(UserInterface& ui) : ui_(ui), saved_(ui.MousePointer()) {}
  ~PointerGuard() { ui_.SetMousePointer(saved_); }
  PointerGuard(const PointerGuard&) = delete;
  PointerGuard& operator=(const PointerGuard&) = delete;

 private:
  UserInterface& ui_;
  int32_t saved_;
};

}  // namespace

KXErrorPtr frmLogin::GetAuthenticConnection(KXData& pinsData) {
  const std::shared_ptr<UserInterface> ui = CurrentUserInterface();
  PointerGuard pointer(*ui);
  ui->SetMousePointer(vbDefault);

  frmLogin form(pinsData, *ui);
  // A session without settings gives empty ones here.
  form.Fill(ConnectionSettings::Of(pinsData));
  form.advanced_ = false;
  form.ArrangeControls();

  ui->ShowLoginForm(form);

  if (!form.finished_)
    form.result_error_ = MakeError(kCancelledMessage, KXError::kIconExclamation, erActionCancelled);
  return std::move(form.result_error_);
}

frmLogin::frmLogin(KXData& pinsData, UserInterface& ui)
    : session_(pinsData), ui_(ui), controls_(DesignControls()) {}

frmLogin::~frmLogin() = default;

void frmLogin::Fill(const ConnectionSettings& settings) {
  At(txtDatabase).text = TrimSpaces(settings.Database());
  At(txtNetProvider).text = TrimSpaces(settings.NetProvider());
  At(txtServer).text = TrimSpaces(settings.Server());
  At(txtUser).text = TrimSpaces(settings.User());
  At(txtPassword).text = TrimSpaces(settings.PasswordToPrefill());
  // Setting a check box runs its click handling, as a click would.
  At(chkPassword).checked = !settings.StorePassword();
  Click(chkPassword);
  At(chkNTAuthenticate).checked = !settings.NTAuthenticate();
  Click(chkNTAuthenticate);
  At(txtConnectionTimeout).text = std::to_string(settings.ConnectTimeout());
  At(txtQueryTimeout).text = std::to_string(settings.QueryTimeout());
}

void frmLogin::Move(Control control, int32_t left, int32_t top) {
  At(control).left = left;
  At(control).top = top;
}

void frmLogin::ArrangeControls() {
  const bool sql = !At(chkNTAuthenticate).checked;
  for (Control row : {lblCaption3, txtUser, lblCaption2, txtPassword})
    At(row).visible = sql;

  const ControlState& server = Get(txtServer);
  const ControlState& database = Get(txtDatabase);
  const ControlState& password = Get(txtPassword);
  ControlState& frame = At(fraAdvanced);
  ControlState& ok = At(cmdOK);
  if (sql) {
    Move(cmdOK, server.left + server.width + kGap, server.top);
    Move(cmdCancel, ok.left, database.top);
    Move(cmdHelp, ok.left, Get(txtUser).top);
    Move(cmdAdvanced, ok.left, password.top);
    frame.top = password.top + password.height + kGap;
  } else {
    frame.top = database.top + database.height + kGap;
    Move(cmdOK, kRowLeft,
         advanced_ ? frame.top + frame.height + kGap : database.top + database.height + kGap);
    const ControlState& cancel = Get(cmdCancel);
    const ControlState& help = Get(cmdHelp);
    Move(cmdCancel, ok.left + ok.width + kButtonGap, ok.top);
    Move(cmdHelp, cancel.left + cancel.width + kButtonGap, ok.top);
    Move(cmdAdvanced, help.left + help.width + kButtonGap, ok.top);
  }

  At(cmdAdvanced).caption = advanced_ ? "<<Basic" : "Advanced>>";
  frame.visible = advanced_;

  if (!sql)
    client_height_ = ok.top + ok.height + kGap;
  else if (advanced_)
    client_height_ = frame.top + frame.height + kGap;
  else
    client_height_ = frame.top;
}

std::optional<frmLogin::Control> frmLogin::Activated() {
  if (activated_)
    return std::nullopt;
  activated_ = true;
  const ControlState& user = Get(txtUser);
  if (user.text.empty() && user.visible)
    return txtUser;
  return std::nullopt;
}

void frmLogin::Change(Control control, const std::string& text) {
  ControlState& box = At(control);
  if (box.kind != Kind::kTextBox || closed_)
    return;
  box.text = box.max_length > 0 ? LeftChars(text, static_cast<size_t>(box.max_length)) : text;
}

int32_t frmLogin::KeyPressed(Control control, int32_t key_ascii) {
  const bool filtered =
      control == txtConnectionTimeout || (control == txtQueryTimeout && no_modifier_held_);
  return filtered && !IsDigitOrBackspace(key_ascii) ? 0 : key_ascii;
}

void frmLogin::KeyDown(int32_t shift) {
  if ((shift & (kShiftMask | kCtrlMask | kAltMask)) != 0)
    no_modifier_held_ = false;
}

void frmLogin::KeyUp(int32_t shift) {
  if ((shift & (kShiftMask | kCtrlMask | kAltMask)) == 0)
    no_modifier_held_ = true;
}

void frmLogin::Click(Control control) {
  if (closed_)
    return;
  switch (control) {
    case chkPassword:
      At(chkPassword).checked = !At(chkPassword).checked;
      if (!At(chkPassword).checked)
        At(txtPassword).text.clear();
      break;
    case chkNTAuthenticate:
      At(chkNTAuthenticate).checked = !At(chkNTAuthenticate).checked;
      ArrangeControls();
      break;
    case cmdAdvanced:
      advanced_ = !advanced_;
      ArrangeControls();
      break;
    case cmdHelp:
      ShowHelpTopic(kHelpTopic, hwnd_, "");
      break;
    case cmdCancel:
      result_error_.reset();
      closed_ = true;
      break;
    case cmdOK:
      Login();
      break;
    default:
      break;
  }
}

void frmLogin::Unload() {
  closed_ = true;
}

std::string frmLogin::Text(Control control) const {
  return TrimSpaces(Get(control).text);
}

void frmLogin::Login() {
  ValidateTimeouts();
  ++attempts_;
  result_error_ = AttemptConnection();
  if (!result_error_ || attempts_ == 3) {
    finished_ = true;
    closed_ = true;
    return;
  }
  const std::string server = Text(txtServer);
  const std::string where = server.empty() ? "the database" : server;
  ui_.MessageBox(
      "Could not connect to " + where + ". Please try again.\r\n" + result_error_->Message(),
      kCannotConnectCaption, vbExclamation | vbOKOnly);
}

void frmLogin::ValidateTimeouts() {
  At(txtConnectionTimeout).text = ValidTimeout(Get(txtConnectionTimeout).text, "1");
  At(txtQueryTimeout).text = ValidTimeout(Get(txtQueryTimeout).text, "60");
}

// Connecting, storing what worked and handing it to the session is what the
// public settings do; the form only collects the typed values.
KXErrorPtr frmLogin::AttemptConnection() {
  ConnectionSettings settings;
  settings.SetUser(Text(txtUser));
  settings.SetPassword(Text(txtPassword));
  settings.SetServer(Text(txtServer));
  settings.SetDatabase(Text(txtDatabase));
  settings.SetStorePassword(Get(chkPassword).checked);
  settings.SetNTAuthenticate(Get(chkNTAuthenticate).checked);
  settings.SetNetProvider(Text(txtNetProvider));
  settings.SetConnectTimeout(Variant(Get(txtConnectionTimeout).text).ToInteger());
  settings.SetQueryTimeout(Variant(Get(txtQueryTimeout).text).ToInteger());
  return settings.AttemptConnection(session_);
}

}  // namespace kx4
