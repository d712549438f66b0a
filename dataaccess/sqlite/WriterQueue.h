// A first-come, first-served lock for the writers of one database file,
// shared by every process that opens it.  SQLite's own busy handling lets a
// writer starve under load; this queue serves waiting writers in the order
// they arrived.
//
// State lives in a small side file ("<database>-kx4q") mapped into each
// process: a ticket dispenser and the ticket now served.  Every ticket
// holder keeps an open-file-description lock on a byte of its slot while it
// waits or holds, so the others can tell a live holder from one whose
// process died (the kernel drops the lock with the process) and skip it.
#ifndef KX4DATA_DATAACCESS_SQLITE_WRITERQUEUE_H_
#define KX4DATA_DATAACCESS_SQLITE_WRITERQUEUE_H_

#include <chrono>
#include <cstdint>
#include <string>

namespace kx4::ado::sqlite {

class WriterQueue {
 public:
  using Clock = std::chrono::steady_clock;

  // Opens (creating when needed) the side file of `database_path`.  Returns
  // false when it cannot; the caller then relies on SQLite's locking alone.
  bool Open(const std::string& database_path);
  ~WriterQueue();

  // Waits for this connection's turn; false when `deadline` passed first
  // (time_point::max() waits for ever).
  bool Acquire(Clock::time_point deadline);
  void Release();
  bool Held() const { return held_; }
  bool IsOpen() const { return shared_ != nullptr; }

 private:
  struct Shared;
  bool SlotAlive(uint64_t ticket) const;
  void LockSlot(uint64_t ticket);
  void UnlockSlot(uint64_t ticket);
  void Advance(uint64_t from);

  int fd_ = -1;
  Shared* shared_ = nullptr;
  uint64_t ticket_ = 0;
  bool held_ = false;
};

}  // namespace kx4::ado::sqlite

#endif  // KX4DATA_DATAACCESS_SQLITE_WRITERQUEUE_H_
