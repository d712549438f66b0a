#include "dataaccess/sqlite/WriterQueue.h"

#include <fcntl.h>
#include <linux/futex.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <ctime>

namespace kx4::ado::sqlite {
namespace {

constexpr uint32_t kMagic = 0x6b783451;  // "kx4Q"
constexpr uint32_t kVersion = 1;
constexpr uint64_t kSlots = 128;
// Byte locks live past the mapped state; fcntl locks need no file there.
constexpr off_t kInitByte = 1 << 20;
constexpr off_t kSlotBase = (1 << 20) + 16;
// A ticket taken but not yet published is given this long before it is
// taken for dead (its process died between the two steps).
constexpr auto kPublishGrace = std::chrono::milliseconds(1000);
constexpr auto kPoll = std::chrono::milliseconds(20);

static_assert(std::atomic<uint64_t>::is_always_lock_free);
static_assert(std::atomic<uint32_t>::is_always_lock_free);

bool ByteLock(int fd, off_t at, short type, bool wait) {
  struct flock fl = {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = at;
  fl.l_len = 1;
  int rc;
  do {
    rc = fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

long Futex(std::atomic<uint32_t>* word, int op, uint32_t value, const struct timespec* timeout) {
  return syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), op, value, timeout, nullptr, 0);
}

}  // namespace

struct WriterQueue::Shared {
  uint32_t magic;
  uint32_t version;
  std::atomic<uint32_t> changes;  // futex word, bumped whenever `serving` moves
  uint32_t reserved;
  std::atomic<uint64_t> next;
  std::atomic<uint64_t> serving;
  struct Slot {
    std::atomic<uint64_t> ticket;
    std::atomic<uint64_t> abandoned;
  } slots[kSlots];
};

bool WriterQueue::Open(const std::string& database_path) {
  const std::string path = database_path + "-kx4q";
  struct stat db = {};
  const mode_t mode = stat(database_path.c_str(), &db) == 0 ? (db.st_mode & 0666) : 0600;
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, mode);
  if (fd_ < 0)
    return false;
  fchmod(fd_, mode);
  if (!ByteLock(fd_, kInitByte, F_WRLCK, true)) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  struct stat st = {};
  bool fresh = fstat(fd_, &st) != 0 || st.st_size < static_cast<off_t>(sizeof(Shared));
  if (fresh && ftruncate(fd_, sizeof(Shared)) != 0) {
    ByteLock(fd_, kInitByte, F_UNLCK, false);
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  void* map = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
  if (map == MAP_FAILED) {
    ByteLock(fd_, kInitByte, F_UNLCK, false);
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  shared_ = static_cast<Shared*>(map);
  if (fresh || shared_->magic != kMagic || shared_->version != kVersion) {
    shared_->changes.store(0);
    shared_->next.store(1);
    shared_->serving.store(1);
    for (auto& s : shared_->slots) {
      s.ticket.store(0);
      s.abandoned.store(0);
    }
    shared_->version = kVersion;
    std::atomic_thread_fence(std::memory_order_seq_cst);
    shared_->magic = kMagic;
  }
  ByteLock(fd_, kInitByte, F_UNLCK, false);
  return true;
}

WriterQueue::~WriterQueue() {
  if (held_)
    Release();
  if (shared_)
    munmap(shared_, sizeof(Shared));
  if (fd_ >= 0)
    ::close(fd_);
}

void WriterQueue::LockSlot(uint64_t ticket) {
  ByteLock(fd_, kSlotBase + static_cast<off_t>(ticket % kSlots), F_WRLCK, true);
}

void WriterQueue::UnlockSlot(uint64_t ticket) {
  ByteLock(fd_, kSlotBase + static_cast<off_t>(ticket % kSlots), F_UNLCK, false);
}

// Whether the holder of `ticket` is still there.  Called only for a ticket
// that is being served and whose slot names it.
bool WriterQueue::SlotAlive(uint64_t ticket) const {
  const auto& slot = shared_->slots[ticket % kSlots];
  if (slot.abandoned.load() == ticket)
    return false;
  struct flock fl = {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = kSlotBase + static_cast<off_t>(ticket % kSlots);
  fl.l_len = 1;
  if (fcntl(fd_, F_OFD_GETLK, &fl) != 0)
    return true;  // cannot tell: assume alive
  return fl.l_type != F_UNLCK;
}

// Moves the turn on from `from` (when it is still there), past tickets whose
// waiters gave up, and wakes every waiter to look.
void WriterQueue::Advance(uint64_t from) {
  uint64_t expected = from;
  if (shared_->serving.compare_exchange_strong(expected, from + 1)) {
    uint64_t s = from + 1;
    while (s < shared_->next.load() && shared_->slots[s % kSlots].abandoned.load() == s &&
           shared_->serving.compare_exchange_strong(s, s + 1))
      ++s;
  }
  shared_->changes.fetch_add(1);
  Futex(&shared_->changes, FUTEX_WAKE, INT_MAX, nullptr);
}

bool WriterQueue::Acquire(Clock::time_point deadline) {
  if (held_)
    return true;
  auto take = [&] {
    ticket_ = shared_->next.fetch_add(1);
    LockSlot(ticket_);
    shared_->slots[ticket_ % kSlots].ticket.store(ticket_);
  };
  take();
  uint64_t watched = 0;  // the served ticket whose publication we wait for
  Clock::time_point watched_since{};
  while (true) {
    const uint32_t seen = shared_->changes.load();
    const uint64_t s = shared_->serving.load();
    if (s == ticket_) {
      held_ = true;
      return true;
    }
    if (s > ticket_) {
      // Taken for dead while we were slow to publish: queue again.
      UnlockSlot(ticket_);
      take();
      continue;
    }
    const auto now = Clock::now();
    if (now >= deadline) {
      shared_->slots[ticket_ % kSlots].abandoned.store(ticket_);
      UnlockSlot(ticket_);
      // Our turn may have come in the meantime: hand it on.
      if (shared_->serving.load() == ticket_)
        Advance(ticket_);
      return false;
    }
    // Is the one being served still there?
    const auto& slot = shared_->slots[s % kSlots];
    if (slot.ticket.load() == s) {
      if (!SlotAlive(s)) {
        Advance(s);
        continue;
      }
    } else {
      if (watched != s) {
        watched = s;
        watched_since = now;
      } else if (now - watched_since > kPublishGrace) {
        Advance(s);
        continue;
      }
    }
    auto wait = std::min<Clock::duration>(kPoll, deadline - now);
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
    struct timespec ts = {static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    if (shared_->serving.load() == s)
      Futex(&shared_->changes, FUTEX_WAIT, seen, &ts);
  }
}

void WriterQueue::Release() {
  if (!held_)
    return;
  held_ = false;
  Advance(ticket_);
  UnlockSlot(ticket_);
}

}  // namespace kx4::ado::sqlite
