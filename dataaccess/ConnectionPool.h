// Idle engine connections kept for reuse: the one process-wide structure of
// the data-access layer.
//
// A connection that its owner closes goes back to the pool under a key made
// of the database it leads to, its credentials and its mode, but only when
// the engine calls it clean (EngineConnection::Reusable); the next open with
// the same key takes the most recently used one after a cheap check
// (EngineConnection::Usable).  A connection idle for longer than the idle
// limit is closed by a thread that runs only while the pool holds any.
//
// Before the process forks, the pool closes what it holds and joins its
// thread, so that a child inherits no idle connection (nor, for the embedded
// engine, its lock bookkeeping) and no lock held by a thread it lacks.  A
// connection the parent had open and a child lets go of is forgotten in the
// child, never closed: closing it would end the parent's session or touch
// the parent's files.  At exit the pool closes what it holds; a connection
// handed back later is closed at once.  Any thread may call; the pool has
// its own lock, held while an engine works only around a fork.
#ifndef KX4DATA_DATAACCESS_CONNECTIONPOOL_H_
#define KX4DATA_DATAACCESS_CONNECTIONPOOL_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dataaccess/Engine.h"

namespace kx4::ado {

class ConnectionPool {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr Clock::duration kDefaultIdleLimit = std::chrono::seconds(60);
  // Idle connections kept per key; more would only wait to be closed.
  static constexpr size_t kMaxIdlePerKey = 4;

  static ConnectionPool& Instance();

  // An open connection for `options`, taken from the pool when a usable one
  // is there, opened by the engine otherwise.  Destroying it hands it back.
  // Throws EngineError as the engine's Open does.
  std::unique_ptr<EngineConnection> Open(const ConnectionOptions& options);

  // Closes the idle connections of the database at `location` (as
  // Engine::Location names it), before that database is dropped.
  void CloseDatabase(const std::string& location);

  size_t IdleCount() const;
  // For tests: how long a connection may lie idle before it is closed.
  void SetIdleLimit(Clock::duration limit);

  // The pool key: location, mode and credentials, unambiguously joined.
  static std::string Key(const ConnectionOptions& options, const std::string& location);

 private:
  class Lease;
  struct Idle {
    std::string key;
    std::string location;
    std::unique_ptr<EngineConnection> connection;
    Clock::time_point since;
  };

  ConnectionPool();
  std::unique_ptr<EngineConnection> Take(const std::string& key);
  // Never throws: it runs from destructors.
  void Give(std::string key, std::string location, std::unique_ptr<EngineConnection> connection,
            uint64_t generation);
  // Closes what is idle and pools nothing from now on.
  void Shutdown();
  void StartReaper();  // with the lock held
  void Reap();
  static void BeforeFork();
  static void AfterForkInParent();
  static void AfterForkInChild();

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<Idle> idle_;  // oldest first
  Clock::duration limit_ = kDefaultIdleLimit;
  std::thread* reaper_ = nullptr;
  bool reaper_running_ = false;
  bool shut_down_ = false;
  bool forking_ = false;  // between the fork handlers: no reaper starts
  // Bumped in every child process: a lease of an older generation was
  // opened by an ancestor.
  uint64_t generation_ = 0;
  // In a child: what belongs to an ancestor, kept and never closed.
  std::vector<EngineConnection*> inherited_;
};

}  // namespace kx4::ado

#endif  // KX4DATA_DATAACCESS_CONNECTIONPOOL_H_
