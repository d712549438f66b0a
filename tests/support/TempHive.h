// A fresh, empty hive folder for one test: $KX4_HIVE_DIR points at it while
// the object lives, and both are restored and removed afterwards.
#ifndef KX4DATA_TESTS_SUPPORT_TEMPHIVE_H_
#define KX4DATA_TESTS_SUPPORT_TEMPHIVE_H_

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>

namespace kx4::testing {

class TempHive {
 public:
  TempHive() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/kx4-hive-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
      throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
    if (const char* old = std::getenv("KX4_HIVE_DIR"))
      previous_ = old;
    ::setenv("KX4_HIVE_DIR", dir_.c_str(), 1);
  }
  ~TempHive() {
    if (previous_)
      ::setenv("KX4_HIVE_DIR", previous_->c_str(), 1);
    else
      ::unsetenv("KX4_HIVE_DIR");
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  TempHive(const TempHive&) = delete;
  TempHive& operator=(const TempHive&) = delete;

  const std::string& Dir() const { return dir_; }
  std::string UserHive() const { return dir_ + "/user.reg"; }
  std::string SystemHive() const { return dir_ + "/system.reg"; }

  static void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }

 private:
  std::string dir_;
  std::optional<std::string> previous_;
};

}  // namespace kx4::testing

#endif  // KX4DATA_TESTS_SUPPORT_TEMPHIVE_H_
