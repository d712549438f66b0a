#include "dataaccess/ConnectionPool.h"

#include <pthread.h>

#include <algorithm>
#include <iterator>
#include <new>
#include <system_error>
#include <utility>

namespace kx4::ado {

// What an owner holds: the engine connection, handed back to the pool when
// the owner lets go of it.
class ConnectionPool::Lease final : public EngineConnection {
 public:
  Lease(ConnectionPool& pool, std::string key, std::string location,
        std::unique_ptr<EngineConnection> inner)
      : pool_(pool),
        key_(std::move(key)),
        location_(std::move(location)),
        inner_(std::move(inner)),
        generation_(pool.generation_) {}
  ~Lease() override {
    pool_.Give(std::move(key_), std::move(location_), std::move(inner_), generation_);
  }
  Lease(const Lease&) = delete;
  Lease& operator=(const Lease&) = delete;

  bool Execute(std::string_view batch, const std::vector<Parameter>& params,
               int32_t timeout_seconds, ResultTable* rows, int64_t& affected) override {
    return inner_->Execute(batch, params, timeout_seconds, rows, affected);
  }
  void BeginTransaction() override { inner_->BeginTransaction(); }
  void CommitTransaction() override { inner_->CommitTransaction(); }
  void RollbackTransaction() override { inner_->RollbackTransaction(); }
  bool Reusable() const override { return inner_->Reusable(); }
  bool Usable() override { return inner_->Usable(); }

 private:
  ConnectionPool& pool_;
  std::string key_;
  std::string location_;
  std::unique_ptr<EngineConnection> inner_;
  uint64_t generation_;
};

namespace {

// Closes the pool's connections when the process exits (or the library is
// unloaded); the pool itself outlives it for owners that close later.
struct ExitGuard {
  explicit ExitGuard(void (*shutdown)()) : shutdown_(shutdown) {}
  ~ExitGuard() { shutdown_(); }
  void (*shutdown_)();
};

void AppendField(std::string& key, std::string_view field) {
  key += std::to_string(field.size());
  key += ':';
  key += field;
}

}  // namespace

ConnectionPool& ConnectionPool::Instance() {
  static ConnectionPool* const pool = new ConnectionPool();
  static ExitGuard guard([] { pool->Shutdown(); });
  return *pool;
}

ConnectionPool::ConnectionPool() {
  pthread_atfork(&ConnectionPool::BeforeFork, &ConnectionPool::AfterForkInParent,
                 &ConnectionPool::AfterForkInChild);
}

std::string ConnectionPool::Key(const ConnectionOptions& options, const std::string& location) {
  std::string key;
  AppendField(key, location);
  AppendField(key, std::to_string(options.mode));
  AppendField(key, options.trusted ? "trusted" : "login");
  AppendField(key, options.user_id);
  AppendField(key, options.password);
  return key;
}

std::unique_ptr<EngineConnection> ConnectionPool::Open(const ConnectionOptions& options) {
  const Engine& engine = EngineFor(options);
  std::string location = engine.Location(options);
  std::string key = Key(options, location);
  std::unique_ptr<EngineConnection> connection = Take(key);
  if (!connection)
    connection = engine.Open(options);
  return std::make_unique<Lease>(*this, std::move(key), std::move(location), std::move(connection));
}

std::unique_ptr<EngineConnection> ConnectionPool::Take(const std::string& key) {
  for (;;) {
    std::unique_ptr<EngineConnection> connection;
    {
      std::lock_guard lock(mutex_);
      auto found = std::find_if(idle_.rbegin(), idle_.rend(),
                                [&](const Idle& idle) { return idle.key == key; });
      if (found == idle_.rend())
        return nullptr;
      connection = std::move(found->connection);
      idle_.erase(std::next(found).base());
    }
    bool usable = false;
    try {
      usable = connection->Usable();
    } catch (...) {
      // Unusable; closed below.
    }
    if (usable)
      return connection;
  }
}

void ConnectionPool::Give(std::string key, std::string location,
                          std::unique_ptr<EngineConnection> connection, uint64_t generation) {
  if (!connection)
    return;
  if (generation != generation_) {
    std::lock_guard lock(mutex_);
    try {
      inherited_.push_back(connection.get());
    } catch (const std::bad_alloc&) {
      // Forgotten all the same.
    }
    static_cast<void>(connection.release());
    return;
  }
  bool reusable = false;
  try {
    reusable = connection->Reusable();
  } catch (...) {
    // Closed below.
  }
  std::unique_ptr<EngineConnection> surplus;
  if (reusable) {
    std::lock_guard lock(mutex_);
    if (!shut_down_) {
      try {
        auto same = [&](const Idle& idle) { return idle.key == key; };
        if (static_cast<size_t>(std::count_if(idle_.begin(), idle_.end(), same)) >=
            kMaxIdlePerKey) {
          auto oldest = std::find_if(idle_.begin(), idle_.end(), same);
          surplus = std::move(oldest->connection);
          idle_.erase(oldest);
        }
        StartReaper();
        idle_.push_back(
            Idle{std::move(key), std::move(location), std::move(connection), Clock::now()});
      } catch (const std::exception&) {
        // No memory or no thread: the connection is closed instead.
      }
    }
  }
  // Whatever was not kept closes here, outside the lock.
}

void ConnectionPool::CloseDatabase(const std::string& location) {
  std::vector<Idle> closing;
  {
    std::lock_guard lock(mutex_);
    auto moved = std::stable_partition(idle_.begin(), idle_.end(),
                                       [&](const Idle& idle) { return idle.location != location; });
    std::move(moved, idle_.end(), std::back_inserter(closing));
    idle_.erase(moved, idle_.end());
  }
}

size_t ConnectionPool::IdleCount() const {
  std::lock_guard lock(mutex_);
  return idle_.size();
}

void ConnectionPool::SetIdleLimit(Clock::duration limit) {
  std::lock_guard lock(mutex_);
  limit_ = limit;
  wake_.notify_all();
}

void ConnectionPool::Shutdown() {
  std::vector<Idle> closing;
  std::thread* reaper = nullptr;
  {
    std::lock_guard lock(mutex_);
    shut_down_ = true;
    closing.swap(idle_);
    std::swap(reaper, reaper_);
    wake_.notify_all();
  }
  if (reaper) {
    reaper->join();
    delete reaper;
  }
}

void ConnectionPool::StartReaper() {
  if (reaper_running_ || forking_)
    return;
  if (reaper_) {
    // It has left its loop (and the lock) for good.
    reaper_->join();
    delete reaper_;
    reaper_ = nullptr;
  }
  reaper_ = new std::thread([this] { Reap(); });
  reaper_running_ = true;
}

void ConnectionPool::Reap() {
  std::unique_lock lock(mutex_);
  while (!shut_down_ && !forking_ && !idle_.empty()) {
    const Clock::time_point now = Clock::now();
    auto expired = std::stable_partition(
        idle_.begin(), idle_.end(), [&](const Idle& idle) { return now - idle.since < limit_; });
    if (expired != idle_.end()) {
      std::vector<Idle> closing(std::make_move_iterator(expired),
                                std::make_move_iterator(idle_.end()));
      idle_.erase(expired, idle_.end());
      lock.unlock();
      closing.clear();
      lock.lock();
      continue;
    }
    wake_.wait_until(lock, idle_.front().since + limit_);
  }
  reaper_running_ = false;
}

void ConnectionPool::BeforeFork() {
  ConnectionPool& pool = Instance();
  std::unique_lock lock(pool.mutex_);
  // No pool thread may run across the fork: one caught inside the allocator
  // or the engine's client library would leave the child a lock nobody
  // releases.  The reaper has nothing left to do once the idle connections
  // are closed, so it is joined; another thread may start one while the lock
  // is down, hence the loop.
  for (;;) {
    pool.forking_ = true;
    pool.idle_.clear();  // closed here, in the parent, which owns them
    std::thread* reaper = std::exchange(pool.reaper_, nullptr);
    if (!reaper)
      break;
    pool.wake_.notify_all();
    lock.unlock();
    reaper->join();
    delete reaper;
    lock.lock();
  }
  // Held over the fork so that the child finds the pool consistent.
  lock.release();
}

void ConnectionPool::AfterForkInParent() {
  ConnectionPool& pool = Instance();
  pool.forking_ = false;
  pool.mutex_.unlock();
}

void ConnectionPool::AfterForkInChild() {
  ConnectionPool& pool = Instance();
  ++pool.generation_;
  pool.forking_ = false;
  pool.mutex_.unlock();
}

}  // namespace kx4::ado
