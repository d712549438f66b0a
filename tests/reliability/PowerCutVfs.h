// A SQLite VFS that can cut the power.  It sits over the system's "unix" VFS
// and passes every call through, but remembers each write and truncation of a
// file that no sync of that file has made durable yet.  At the cut it puts
// every such file back the way the disk would hold it after losing its
// volatile cache, then ends the process at once:
//
//   kDropAll   every unsynced write is lost;
//   kKeepSome  each unsynced write is kept or lost on its own, in any mix
//              (the disk wrote some of its cache back, in any order);
//   kTear      each 512-byte sector of each unsynced write is kept or lost on
//              its own (writes torn inside, as SQLite allows for).
//
// What it cannot show: file creations, renames and deletions count as durable
// at once (SQLite syncs the folder after creating a journal, which the shim
// cannot see); the shared-memory index (-shm) is left as the process left it
// (SQLite rebuilds it when the first connection after a crash opens the
// file); a sync is taken at its word, so a disk that lies about flushing is
// out of reach; and files written without the VFS (the writers' queue) keep
// everything.
#ifndef KX4DATA_TESTS_RELIABILITY_POWERCUTVFS_H_
#define KX4DATA_TESTS_RELIABILITY_POWERCUTVFS_H_

#include <cstdint>

namespace kx4::reliability {

enum class CutMode : int { kDropAll = 0, kKeepSome = 1, kTear = 2 };

inline constexpr int kPowerCutExit = 77;  // the exit status of a cut process

struct CutPlan {
  // The cut replaces the n-th write, truncation or sync (counted from 1);
  // 0 cuts only on request (CutPower).
  uint64_t at_operation = 0;
  CutMode mode = CutMode::kDropAll;
  uint32_t seed = 0;
};

// Registers the VFS as the process's default; every database opened from
// then on goes through it.  Returns false when SQLite refuses.
bool InstallPowerCutVfs(const CutPlan& plan);

// Cuts the power now and ends the process with kPowerCutExit.
[[noreturn]] void CutPower();

}  // namespace kx4::reliability

#endif  // KX4DATA_TESTS_RELIABILITY_POWERCUTVFS_H_
