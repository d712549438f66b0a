// The one door to the screen: message boxes, the mouse pointer and the
// library's dialogs.  The default is headless; a host installs its own.
#ifndef KX4DATA_USERINTERFACE_H_
#define KX4DATA_USERINTERFACE_H_

#include <cstdint>
#include <memory>
#include <string>

#include <kx4data/Export.h>
#include <kx4data/KXError.h>

namespace kx4 {

class KXData;

// Mouse-pointer styles the library uses.
inline constexpr int32_t vbDefault = 0;
inline constexpr int32_t vbHourglass = 11;

// Message-box answers.
inline constexpr int32_t vbOK = 1;
inline constexpr int32_t vbCancel = 2;

class KX4DATA_API UserInterface {
 public:
  virtual ~UserInterface() = default;
  // `style` holds the classic message-box flags (buttons + icon); returns the
  // button pressed (vbOK, ...).
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
  // hands them to the session.  Null on success; the error of the last failed
  // attempt, or the cancel error (erActionCancelled) when the user gave up.
  // Called only when CanShowDialogs() is true; the default answers like a
  // cancel.
  [[nodiscard]] virtual KXErrorPtr ShowLoginDialog(KXData& pinsData);
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

// The interface in use; the headless one until a host installs another.
KX4DATA_API std::shared_ptr<UserInterface> CurrentUserInterface();
// Installs `ui` (nullptr restores the headless default) and returns the one
// it replaces.
KX4DATA_API std::shared_ptr<UserInterface> SetUserInterface(std::shared_ptr<UserInterface> ui);

// The caption of message boxes that have none of their own.
inline constexpr const char* kApplicationTitle = "kx4data";

}  // namespace kx4

#endif  // KX4DATA_USERINTERFACE_H_
