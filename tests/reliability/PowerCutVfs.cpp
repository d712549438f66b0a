#include "reliability/PowerCutVfs.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace kx4::reliability {
namespace {

constexpr int64_t kSector = 512;

// One change to a file since its last sync: `before` is what the file held
// in the changed range up to its old size.
struct Change {
  bool truncation;
  int64_t offset;  // of the write, or the new size
  std::string data;
  int64_t old_size;
  std::string before;
};

struct Tracked {
  std::vector<Change> unsynced;
};

struct State {
  sqlite3_vfs* base = nullptr;
  sqlite3_vfs vfs{};
  CutPlan plan;
  uint64_t operations = 0;
  std::map<std::string, Tracked> files;  // by path, open or closed
};

State& Shim() {
  static State state;
  return state;
}

struct ShimFile {
  sqlite3_file file;
  sqlite3_file* real;
  const std::string* path;  // null for files without a name
};

sqlite3_file* Real(sqlite3_file* f) {
  return reinterpret_cast<ShimFile*>(f)->real;
}

Tracked* TrackedOf(sqlite3_file* f) {
  const std::string* path = reinterpret_cast<ShimFile*>(f)->path;
  return path ? &Shim().files[*path] : nullptr;
}

// Counts the operation and cuts the power in its place when it is the one;
// standard error says where it landed.
void Operation(const char* kind, sqlite3_file* f) {
  State& s = Shim();
  if (s.plan.at_operation == 0 || ++s.operations != s.plan.at_operation)
    return;
  const std::string* path = reinterpret_cast<ShimFile*>(f)->path;
  const std::string where = std::string("power cut in place of a ") + kind + " of " +
                            (path ? *path : std::string("a temporary file")) + "\n";
  [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, where.data(), where.size());
  CutPower();
}

std::string ReadRange(sqlite3_file* real, int64_t offset, int64_t size) {
  std::string bytes(static_cast<size_t>(std::max<int64_t>(size, 0)), '\0');
  if (!bytes.empty())
    real->pMethods->xRead(real, bytes.data(), static_cast<int>(bytes.size()), offset);
  return bytes;
}

int64_t SizeOf(sqlite3_file* real) {
  sqlite3_int64 size = 0;
  real->pMethods->xFileSize(real, &size);
  return size;
}

int ShimClose(sqlite3_file* f) {
  sqlite3_file* real = Real(f);
  const int rc = real->pMethods ? real->pMethods->xClose(real) : SQLITE_OK;
  delete reinterpret_cast<ShimFile*>(f)->path;
  return rc;
}

int ShimRead(sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset) {
  return Real(f)->pMethods->xRead(Real(f), buffer, amount, offset);
}

int ShimWrite(sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset) {
  Operation("write", f);
  sqlite3_file* real = Real(f);
  if (Tracked* t = TrackedOf(f)) {
    const int64_t size = SizeOf(real);
    t->unsynced.push_back({false, offset, std::string(static_cast<const char*>(buffer), amount),
                           size,
                           ReadRange(real, offset, std::min<int64_t>(amount, size - offset))});
  }
  return real->pMethods->xWrite(real, buffer, amount, offset);
}

int ShimTruncate(sqlite3_file* f, sqlite3_int64 size) {
  Operation("truncation", f);
  sqlite3_file* real = Real(f);
  if (Tracked* t = TrackedOf(f)) {
    const int64_t old_size = SizeOf(real);
    t->unsynced.push_back({true, size, {}, old_size, ReadRange(real, size, old_size - size)});
  }
  return real->pMethods->xTruncate(real, size);
}

int ShimSync(sqlite3_file* f, int flags) {
  Operation("sync", f);
  const int rc = Real(f)->pMethods->xSync(Real(f), flags);
  if (rc == SQLITE_OK) {
    if (Tracked* t = TrackedOf(f))
      t->unsynced.clear();
  }
  return rc;
}

int ShimFileSize(sqlite3_file* f, sqlite3_int64* size) {
  return Real(f)->pMethods->xFileSize(Real(f), size);
}
int ShimLock(sqlite3_file* f, int level) {
  return Real(f)->pMethods->xLock(Real(f), level);
}
int ShimUnlock(sqlite3_file* f, int level) {
  return Real(f)->pMethods->xUnlock(Real(f), level);
}
int ShimCheckReservedLock(sqlite3_file* f, int* out) {
  return Real(f)->pMethods->xCheckReservedLock(Real(f), out);
}
int ShimFileControl(sqlite3_file* f, int op, void* arg) {
  return Real(f)->pMethods->xFileControl(Real(f), op, arg);
}
int ShimSectorSize(sqlite3_file* f) {
  return Real(f)->pMethods->xSectorSize(Real(f));
}
int ShimDeviceCharacteristics(sqlite3_file* f) {
  return Real(f)->pMethods->xDeviceCharacteristics(Real(f));
}
int ShimShmMap(sqlite3_file* f, int page, int size, int extend, void volatile** out) {
  return Real(f)->pMethods->xShmMap(Real(f), page, size, extend, out);
}
int ShimShmLock(sqlite3_file* f, int offset, int n, int flags) {
  return Real(f)->pMethods->xShmLock(Real(f), offset, n, flags);
}
void ShimShmBarrier(sqlite3_file* f) {
  Real(f)->pMethods->xShmBarrier(Real(f));
}
int ShimShmUnmap(sqlite3_file* f, int remove) {
  return Real(f)->pMethods->xShmUnmap(Real(f), remove);
}
int ShimFetch(sqlite3_file* f, sqlite3_int64 offset, int amount, void** out) {
  return Real(f)->pMethods->xFetch(Real(f), offset, amount, out);
}
int ShimUnfetch(sqlite3_file* f, sqlite3_int64 offset, void* page) {
  return Real(f)->pMethods->xUnfetch(Real(f), offset, page);
}

const sqlite3_io_methods kMethods = {
    3,
    ShimClose,
    ShimRead,
    ShimWrite,
    ShimTruncate,
    ShimSync,
    ShimFileSize,
    ShimLock,
    ShimUnlock,
    ShimCheckReservedLock,
    ShimFileControl,
    ShimSectorSize,
    ShimDeviceCharacteristics,
    ShimShmMap,
    ShimShmLock,
    ShimShmBarrier,
    ShimShmUnmap,
    ShimFetch,
    ShimUnfetch,
};

int ShimOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* out_flags) {
  State& s = Shim();
  auto* shim = reinterpret_cast<ShimFile*>(f);
  shim->file.pMethods = nullptr;
  shim->real = reinterpret_cast<sqlite3_file*>(shim + 1);
  shim->path = nullptr;
  const int rc = s.base->xOpen(s.base, name, shim->real, flags, out_flags);
  if (rc != SQLITE_OK)
    return rc;
  if (name != nullptr)
    shim->path = new std::string(name);
  shim->file.pMethods = &kMethods;
  return SQLITE_OK;
}

// A deleted file takes its unsynced changes with it.
int ShimDelete(sqlite3_vfs*, const char* name, int sync_folder) {
  State& s = Shim();
  s.files.erase(name);
  return s.base->xDelete(s.base, name, sync_folder);
}

// Best effort: the process ends right after, and a failure here would show
// as a database that does not match what was saved.
void WriteAt(int fd, const char* data, size_t size, int64_t offset) {
  [[maybe_unused]] const ssize_t written = ::pwrite(fd, data, size, offset);
}
void Resize(int fd, int64_t size) {
  [[maybe_unused]] const int done = ::ftruncate(fd, size);
}

void PutBack(int fd, const Change& c) {
  if (c.truncation) {
    Resize(fd, c.old_size);
    WriteAt(fd, c.before.data(), c.before.size(), c.offset);
  } else {
    WriteAt(fd, c.before.data(), c.before.size(), c.offset);
    if (c.old_size < c.offset + static_cast<int64_t>(c.data.size()))
      Resize(fd, c.old_size);
  }
}

// Writes again what the disk kept of a change.
void Keep(int fd, const Change& c, CutMode mode, std::mt19937& chance) {
  if (c.truncation || mode == CutMode::kKeepSome) {
    if (chance() % 2 != 0)
      return;
    if (c.truncation)
      Resize(fd, c.offset);
    else
      WriteAt(fd, c.data.data(), c.data.size(), c.offset);
    return;
  }
  const int64_t end = c.offset + static_cast<int64_t>(c.data.size());
  for (int64_t at = c.offset; at < end;) {
    const int64_t next = std::min(at / kSector * kSector + kSector, end);
    if (chance() % 2 == 0)
      WriteAt(fd, c.data.data() + (at - c.offset), static_cast<size_t>(next - at), at);
    at = next;
  }
}

}  // namespace

bool InstallPowerCutVfs(const CutPlan& plan) {
  State& s = Shim();
  s.base = sqlite3_vfs_find("unix");
  if (s.base == nullptr)
    return false;
  s.plan = plan;
  s.vfs = *s.base;
  s.vfs.zName = "kx4-power-cut";
  s.vfs.szOsFile = static_cast<int>(sizeof(ShimFile)) + s.base->szOsFile;
  s.vfs.pNext = nullptr;
  s.vfs.xOpen = ShimOpen;
  s.vfs.xDelete = ShimDelete;
  return sqlite3_vfs_register(&s.vfs, 1) == SQLITE_OK;
}

void CutPower() {
  State& s = Shim();
  std::mt19937 chance(s.plan.seed);
  for (const auto& [path, tracked] : s.files) {
    if (tracked.unsynced.empty())
      continue;
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
      continue;
    // Back to what the last sync made durable, then what the disk kept.
    for (auto c = tracked.unsynced.rbegin(); c != tracked.unsynced.rend(); ++c)
      PutBack(fd, *c);
    if (s.plan.mode != CutMode::kDropAll) {
      for (const Change& c : tracked.unsynced)
        Keep(fd, c, s.plan.mode, chance);
    }
    ::close(fd);
  }
  ::_exit(kPowerCutExit);
}

}  // namespace kx4::reliability
