// Isolates each test process: registry hives, the error log and embedded
// databases all go to a fresh folder that is removed at the end.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/TestDatabase.h"

namespace kx4::test {
namespace {

std::string& Scratch() {
  static std::string folder;
  return folder;
}

class IsolatedEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    char pattern[] = "/tmp/kx4test.XXXXXX";
    const char* made = mkdtemp(pattern);
    ASSERT_NE(made, nullptr) << "cannot create the scratch folder";
    Scratch() = made;
    owner_ = getpid();
    for (const char* sub : {"hive", "log", "data"})
      ::mkdir((Scratch() + "/" + sub).c_str(), 0700);
    setenv("KX4_HIVE_DIR", (Scratch() + "/hive").c_str(), 1);
    setenv("KX4_LOG_DIR", (Scratch() + "/log").c_str(), 1);
    setenv("XDG_DATA_HOME", (Scratch() + "/data").c_str(), 1);
  }
  void TearDown() override {
    // Forked children must not take the parent's folder with them.
    if (!Scratch().empty() && getpid() == owner_) {
      std::error_code ignored;
      std::filesystem::remove_all(Scratch(), ignored);
    }
  }

 private:
  pid_t owner_ = 0;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new IsolatedEnvironment);

}  // namespace

const std::string& ScratchFolder() {
  return Scratch();
}

}  // namespace kx4::test
