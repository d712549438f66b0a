#include "registry/HiveFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "registry/Registry.h"

namespace kx4::registry {

namespace {

std::atomic<testing::BeforeRenameHook> before_rename_hook{nullptr};

int32_t FromErrno(int error, int32_t fallback) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case ENOMEM:
      return ERROR_OUTOFMEMORY;
    default:
      return fallback;
  }
}

// Closes its descriptor, which also releases a flock taken on it.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() { Reset(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  void Reset(int fd = -1) {
    if (fd_ >= 0)
      ::close(fd_);
    fd_ = fd;
  }
  int Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

int Lock(int fd, int operation) {
  while (::flock(fd, operation) != 0) {
    if (errno != EINTR)
      return -1;
  }
  return 0;
}

std::string LockPath(const HiveLocation& location) {
  return location.path + ".lock";
}

std::string HomeDirectory() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0')
    return home;
  if (const passwd* entry = ::getpwuid(::getuid()))
    return entry->pw_dir;
  return "/";
}

// mkdir -p; new folders get `mode`.
int32_t MakeDirectories(const std::string& directory, mode_t mode) {
  struct stat st;
  if (::stat(directory.c_str(), &st) == 0)
    return S_ISDIR(st.st_mode) ? ERROR_SUCCESS : ERROR_CANTWRITE;
  size_t slash = directory.find_last_of('/');
  if (slash != std::string::npos && slash > 0) {
    int32_t code = MakeDirectories(directory.substr(0, slash), mode);
    if (code != ERROR_SUCCESS)
      return code;
  }
  if (::mkdir(directory.c_str(), mode) != 0 && errno != EEXIST)
    return FromErrno(errno, ERROR_CANTWRITE);
  ::chmod(directory.c_str(), mode);  // whatever the umask
  return ERROR_SUCCESS;
}

// Reads the whole hive file.  `exists` tells whether there was one; `st`
// receives its status.
int32_t ReadFile(const std::string& path, std::string& text, bool& exists, struct stat& st) {
  text.clear();
  exists = false;
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) {
    if (errno == ENOENT || errno == ENOTDIR)
      return ERROR_SUCCESS;
    return FromErrno(errno, ERROR_CANTOPEN);
  }
  exists = true;
  if (::fstat(fd.Get(), &st) != 0)
    return FromErrno(errno, ERROR_CANTREAD);
  if (!S_ISREG(st.st_mode))
    return ERROR_CANTOPEN;
  char buffer[16384];
  for (;;) {
    ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return FromErrno(errno, ERROR_CANTREAD);
    }
    if (n == 0)
      break;
    text.append(buffer, static_cast<size_t>(n));
  }
  return ERROR_SUCCESS;
}

int32_t ParseText(const std::string& text, Hive& hive, ParseError* error) {
  return hive.Parse(text, error) ? ERROR_SUCCESS : ERROR_BADDB;
}

// Temporaries are "<hive name>.tmp" + six characters; only a writer holding
// the exclusive lock can have one open, so any other is left by a crash.
void RemoveStaleTemporaries(const HiveLocation& location) {
  std::string prefix = location.path.substr(location.directory.size() + 1) + ".tmp";
  DIR* dir = ::opendir(location.directory.c_str());
  if (dir == nullptr)
    return;
  while (const dirent* entry = ::readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name.size() == prefix.size() + 6 && name.substr(0, prefix.size()) == prefix)
      ::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

int32_t WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return FromErrno(errno, ERROR_CANTWRITE);
    }
    done += static_cast<size_t>(n);
  }
  return ERROR_SUCCESS;
}

// Writes `text` to a fresh temporary beside the hive and renames it over the
// hive.  `old`, when the hive existed, supplies its mode and owner.
int32_t ReplaceFile(const HiveLocation& location, const std::string& text, const struct stat* old) {
  std::string temporary = location.path + ".tmpXXXXXX";
  FileDescriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
  if (!fd.Valid())
    return FromErrno(errno, ERROR_CANTWRITE);
  auto fail = [&](int32_t code) {
    fd.Reset();
    ::unlink(temporary.c_str());
    return code;
  };
  mode_t mode = old != nullptr ? (old->st_mode & 07777) : location.file_mode;
  if (::fchmod(fd.Get(), mode) != 0)
    return fail(FromErrno(errno, ERROR_CANTWRITE));
  if (old != nullptr && ::geteuid() == 0 && (old->st_uid != 0 || old->st_gid != 0)) {
    // root editing someone else's hive must not take it away from them
    if (::fchown(fd.Get(), old->st_uid, old->st_gid) != 0)
      return fail(FromErrno(errno, ERROR_CANTWRITE));
  }
  if (int32_t code = WriteAll(fd.Get(), text); code != ERROR_SUCCESS)
    return fail(code);
  if (::fsync(fd.Get()) != 0)
    return fail(FromErrno(errno, ERROR_CANTWRITE));
  if (::close(fd.Release()) != 0)
    return fail(FromErrno(errno, ERROR_CANTWRITE));
  if (auto hook = before_rename_hook.load())
    hook(temporary);
  if (::rename(temporary.c_str(), location.path.c_str()) != 0)
    return fail(FromErrno(errno, ERROR_CANTWRITE));
  // The new hive is in place for every reader from here on; a folder that
  // cannot be synced only weakens durability across a power loss.
  FileDescriptor dir(::open(location.directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Valid())
    ::fsync(dir.Get());
  return ERROR_SUCCESS;
}

}  // namespace

HiveLocation LocateHive(HiveKind kind) {
  bool user = kind == HiveKind::kUser;
  const char* file = user ? "/user.reg" : "/system.reg";
  HiveLocation location;
  location.file_mode = user ? 0600 : 0644;
  const char* relocated = std::getenv("KX4_HIVE_DIR");
  if (relocated != nullptr && relocated[0] != '\0') {
    location.directory = relocated;
    location.directory_mode = 0755;
  } else if (user) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    // relative values are to be ignored
    std::string base =
        config != nullptr && config[0] == '/' ? config : HomeDirectory() + "/.config";
    while (base.size() > 1 && base.back() == '/')
      base.pop_back();
    location.directory = base + "/kestrix";
    location.directory_mode = 0700;
  } else {
    location.directory = "/etc/kestrix";
    location.directory_mode = 0755;
  }
  while (location.directory.size() > 1 && location.directory.back() == '/')
    location.directory.pop_back();
  location.path = location.directory + file;
  return location;
}

int32_t ReadHive(HiveKind kind, Hive& hive, ParseError* error) {
  HiveLocation location = LocateHive(kind);
  // Without a lock file (never written, or not ours to open) the read is
  // still consistent: writers only ever rename complete files into place.
  FileDescriptor lock(::open(LockPath(location).c_str(), O_RDONLY | O_CLOEXEC));
  if (lock.Valid() && Lock(lock.Get(), LOCK_SH) != 0)
    return ERROR_CANTREAD;
  std::string text;
  bool exists;
  struct stat st;
  if (int32_t code = ReadFile(location.path, text, exists, st); code != ERROR_SUCCESS)
    return code;
  lock.Reset();
  return ParseText(text, hive, error);
}

int32_t UpdateHive(HiveKind kind, const std::function<int32_t(Hive&, bool& changed)>& change) {
  HiveLocation location = LocateHive(kind);
  if (int32_t code = MakeDirectories(location.directory, location.directory_mode);
      code != ERROR_SUCCESS)
    return code;
  FileDescriptor lock(
      ::open(LockPath(location).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, location.file_mode));
  if (!lock.Valid())
    return FromErrno(errno, ERROR_CANTWRITE);
  if (Lock(lock.Get(), LOCK_EX) != 0)
    return ERROR_CANTWRITE;

  std::string text;
  bool exists;
  struct stat st;
  if (int32_t code = ReadFile(location.path, text, exists, st); code != ERROR_SUCCESS)
    return code;
  if (exists && ::faccessat(AT_FDCWD, location.path.c_str(), W_OK, AT_EACCESS) != 0)
    return FromErrno(errno, ERROR_CANTWRITE);
  Hive hive(kind);
  if (int32_t code = ParseText(text, hive, nullptr); code != ERROR_SUCCESS)
    return code;

  bool changed = false;
  if (int32_t code = change(hive, changed); code != ERROR_SUCCESS || !changed)
    return code;
  RemoveStaleTemporaries(location);
  return ReplaceFile(location, hive.Serialize(), exists ? &st : nullptr);
}

namespace testing {
void SetBeforeRenameHook(BeforeRenameHook hook) {
  before_rename_hook.store(hook);
}
}  // namespace testing

}  // namespace kx4::registry
