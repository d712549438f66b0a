#include "session/Common.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <system_error>

#include <kx4data/UserInterface.h>

#include "session/Utf16.h"

namespace kx4 {
namespace {

constexpr char kUtilsInCommon[] = "/common/libkx4utils.so";
constexpr char kUtilsMissing[] =
    "Could not set path to kx4utils.dll. Please contact technical support.";
constexpr int32_t kStopStyle = 16;
// The cipher library's buffers: enough for every stored secret.
constexpr int32_t kBufferChars = 256;

// One line on standard error for the first log failure of the process; the
// log must never turn the error being reported into a failure of its own.
void ReportLogFailure(const std::string& path, const std::string& reason) noexcept {
  static std::atomic<bool> reported{false};
  if (reported.exchange(true))
    return;
  try {
    std::string line = "kx4data: could not write the error log " + path + ": " + reason + "\n";
    ssize_t ignored = ::write(STDERR_FILENO, line.data(), line.size());
    (void)ignored;
  } catch (...) {
  }
}

// Whether the log ends inside an entry: a writer killed in the middle of a
// large write leaves part of its entry behind (the kernel stops copying at a
// fatal signal).  Unreadable (a write-only log) counts as a whole last entry.
bool EndsInsideEntry(int fd) {
  struct stat attributes;
  if (::fstat(fd, &attributes) != 0 || attributes.st_size == 0)
    return false;
  char last = '\n';
  return ::pread(fd, &last, 1, attributes.st_size - 1) == 1 && last != '\n';
}

struct Utils {
  int32_t (*encrypt)(const void*, int32_t, const char*, char*, int32_t*) = nullptr;
  int32_t (*decrypt)(const char*, const char*, char16_t*, int32_t*) = nullptr;
};

// Loaded once per process by its absolute path, so the current directory is
// never touched; a failed load is tried again on the next call.
const Utils* LoadUtils() {
  static std::mutex mutex;
  static Utils utils;
  std::lock_guard<std::mutex> lock(mutex);
  if (utils.encrypt)
    return &utils;
  std::string path = CommonFolder() + "/libkx4utils.so";
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle)
    return nullptr;
  auto encrypt = reinterpret_cast<decltype(Utils::encrypt)>(::dlsym(handle, "EncryptToBase64"));
  auto decrypt = reinterpret_cast<decltype(Utils::decrypt)>(::dlsym(handle, "DecryptFromBase64"));
  if (!encrypt || !decrypt) {
    ::dlclose(handle);
    return nullptr;
  }
  utils.decrypt = decrypt;
  utils.encrypt = encrypt;
  return &utils;
}

const Utils* UtilsOrMessage() {
  const Utils* utils = LoadUtils();
  if (!utils)
    CurrentUserInterface()->MessageBox(kUtilsMissing, kApplicationTitle, kStopStyle);
  return utils;
}

}  // namespace

std::string QuoteSQL(const std::string& pstrValue, bool pblnLike) {
  if (pstrValue.empty())
    return "NULL";
  std::string text;
  text.reserve(pstrValue.size() + 4);
  for (char c : pstrValue) {
    text += c;
    if (c == '\'')
      text += '\'';
  }
  if (pblnLike)
    return BuildLikePattern(text);
  return "N'" + text + "'";
}

std::string BuildLikePattern(const std::string& text) {
  std::string pattern = "N'";
  for (char c : text) {
    if (c == '_' || c == '[') {
      pattern += '[';
      pattern += c;
      pattern += ']';
    } else {
      pattern += c;
    }
  }
  return pattern + "%'";
}

Variant DateToSQL(DateTime date) {
  return Variant("CAST('" + date.Format("MMM dd, yyyy hh:mm:ss") + "' AS smalldatetime)");
}

void WriteErrorLog(const std::string& text) {
  std::string path = "error.log";
  try {
    const char* folder = std::getenv("KX4_LOG_DIR");
    path = (folder && *folder ? std::string(folder) : LibraryFolder()) + "/error.log";
    const std::string record = "\"" + text + "\"\r\n";
    int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EACCES)
      fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
      ReportLogFailure(path, std::generic_category().message(errno));
      return;
    }
    // The lock makes looking at the end and appending one step for every
    // writer of the log; it goes with the descriptor, or with the process.
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    // An entry cut short ends without its line break: the next one starts on
    // a line of its own instead of running on inside it.
    static char kLineBreak[] = "\r\n";
    iovec pieces[2] = {{kLineBreak, 2}, {const_cast<char*>(record.data()), record.size()}};
    const int first = EndsInsideEntry(fd) ? 0 : 1;
    const size_t size = record.size() + (first == 0 ? 2 : 0);
    // One write on an O_APPEND descriptor: entries of several processes
    // land whole, one after the other.
    ssize_t written;
    do {
      written = ::writev(fd, pieces + first, 2 - first);
    } while (written < 0 && errno == EINTR);
    int write_error = written < 0 ? errno : 0;
    int close_error = ::close(fd) != 0 ? errno : 0;
    if (write_error != 0)
      ReportLogFailure(path, std::generic_category().message(write_error));
    else if (static_cast<size_t>(written) != size)
      ReportLogFailure(path, "entry cut short after " + std::to_string(written) + " bytes");
    else if (close_error != 0)
      ReportLogFailure(path, std::generic_category().message(close_error));
  } catch (const std::exception& e) {
    ReportLogFailure(path, e.what());
  }
}

std::string EncipherText(const std::string& pstrText, const std::string& pstrKey) {
  const Utils* utils = UtilsOrMessage();
  if (!utils)
    return {};
  std::optional<std::u16string> units = Utf8ToUtf16(pstrText);
  if (!units || units->size() > INT32_MAX / 2)
    return {};
  std::string buffer(kBufferChars, ' ');
  int32_t length = kBufferChars;
  if (utils->encrypt(units->data(), static_cast<int32_t>(units->size() * 2), pstrKey.c_str(),
                     buffer.data(), &length) == 0)
    return {};
  if (length < 0 || length > kBufferChars)
    return {};
  buffer.resize(static_cast<size_t>(length));
  if (!buffer.empty() && buffer.back() == '\0')
    buffer.pop_back();
  return buffer;
}

std::string DecipherText(const std::string& pstrText, const std::string& pstrKey) {
  const Utils* utils = UtilsOrMessage();
  if (!utils)
    return {};
  std::u16string buffer(kBufferChars, u' ');
  int32_t length = kBufferChars;
  if (utils->decrypt(pstrText.c_str(), pstrKey.c_str(), buffer.data(), &length) == 0)
    return {};
  if (length < 0 || length > kBufferChars)
    return {};
  buffer.resize(static_cast<size_t>(length));
  return Utf16ToUtf8(buffer).value_or(std::string());
}

std::string CommonFolder() {
  thread_local std::string cached;
  if (!cached.empty())
    return cached;
  std::string folder = LibraryFolder();
  while (!folder.empty() && folder.back() == '/')
    folder.pop_back();  // the root becomes "", so "/common" is its common folder
  for (;;) {
    if (FileExists(folder + kUtilsInCommon))
      break;
    size_t slash = folder.rfind('/');
    if (slash == std::string::npos)
      break;
    folder.erase(slash);
  }
  cached = folder + "/common";
  return cached;
}

std::string LibraryFolder() {
  static const char marker = 0;
  Dl_info info{};
  if (::dladdr(&marker, &info) == 0 || !info.dli_fname)
    return ".";
  const std::string_view file = info.dli_fname;
  const size_t slash = file.rfind('/');
  std::string folder(slash == std::string_view::npos ? std::string_view(".")
                     : slash == 0                    ? std::string_view("/")
                                                     : file.substr(0, slash));
  char resolved[PATH_MAX];
  if (::realpath(folder.c_str(), resolved))
    folder.assign(resolved);
  return folder;
}

bool FileExists(const std::string& path) {
  struct stat attributes;
  return ::stat(path.c_str(), &attributes) == 0;
}

}  // namespace kx4
