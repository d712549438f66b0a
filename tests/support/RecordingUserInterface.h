// A user interface that answers OK and remembers every message box.
#ifndef KX4DATA_TESTS_SUPPORT_RECORDINGUSERINTERFACE_H_
#define KX4DATA_TESTS_SUPPORT_RECORDINGUSERINTERFACE_H_

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <kx4data/UserInterface.h>

namespace kx4::test {

struct MessageBoxCall {
  std::string text;
  std::string caption;
  int32_t style;
};

class RecordingUserInterface : public UserInterface {
 public:
  int32_t MessageBox(const std::string& text, const std::string& caption, int32_t style) override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back({text, caption, style});
    return vbOK;
  }
  int32_t MousePointer() const override { return pointer_; }
  void SetMousePointer(int32_t pointer) override { pointer_ = pointer; }

  std::vector<MessageBoxCall> Calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<MessageBoxCall> calls_;
  int32_t pointer_ = vbDefault;
};

// Installs a recording interface for the scope and restores the previous one.
class ScopedRecordingUserInterface {
 public:
  ScopedRecordingUserInterface()
      : ui_(std::make_shared<RecordingUserInterface>()), previous_(SetUserInterface(ui_)) {}
  ~ScopedRecordingUserInterface() { SetUserInterface(previous_); }
  RecordingUserInterface& operator*() const { return *ui_; }
  RecordingUserInterface* operator->() const { return ui_.get(); }

 private:
  std::shared_ptr<RecordingUserInterface> ui_;
  std::shared_ptr<UserInterface> previous_;
};

}  // namespace kx4::test

#endif  // KX4DATA_TESTS_SUPPORT_RECORDINGUSERINTERFACE_H_
