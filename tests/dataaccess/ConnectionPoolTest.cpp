// The pool of idle connections on both engines: what goes back, what is
// taken again, and when pooled connections are closed.
#include "dataaccess/ConnectionPool.h"

#include <kx4data/RuntimeError.h>
#include <kx4data/ado/Database.h>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iterator>
#include <thread>

#include "support/TestDatabase.h"

namespace kx4::test {
namespace {

using ado::ConnectionPool;
using namespace std::chrono_literals;

size_t Idle() {
  return ConnectionPool::Instance().IdleCount();
}

// The threads this process runs now.
long Threads() {
  const std::filesystem::directory_iterator tasks("/proc/self/task");
  return std::distance(begin(tasks), end(tasks));
}

// Waits up to five seconds for `done`.
bool Eventually(const std::function<bool()>& done) {
  for (int i = 0; i < 500; ++i) {
    if (done())
      return true;
    std::this_thread::sleep_for(10ms);
  }
  return done();
}

class ConnectionPoolTest : public EngineTest {
 protected:
  // The server process behind a PostgreSQL connection; 0 on SQLite, where
  // the idle count alone tells reuse.
  int32_t Backend(const std::shared_ptr<ado::Connection>& c) {
    return IsSqlite() ? 0 : Scalar(c, "SELECT pg_backend_pid()").ToLong();
  }
  bool BackendAlive(int32_t backend) {
    return Scalar(Connect(ado::adModeRead),
                  "SELECT COUNT(*) FROM pg_stat_activity WHERE pid = " + std::to_string(backend))
               .ToLong() != 0;
  }
  int32_t Applications(const std::shared_ptr<ado::Connection>& c) {
    return Scalar(c, "SELECT COUNT(*) FROM tblApplications").ToLong();
  }
};

TEST_P(ConnectionPoolTest, AClosedCleanConnectionIsTakenAgain) {
  const size_t before = Idle();
  auto c = Connect();
  Execute(c, "INSERT INTO tblApplications (Name) VALUES (N'a')");
  // A failed statement leaves nothing behind.
  EXPECT_THROW(Execute(c, "INSERT INTO tblNothing VALUES (1)"), RuntimeError);
  const int32_t backend = Backend(c);
  c->Close();
  EXPECT_EQ(Idle(), before + 1);
  auto again = Connect();
  EXPECT_EQ(Idle(), before);
  EXPECT_EQ(Backend(again), backend);
  EXPECT_EQ(Applications(again), 1);
  // While it is in use, another open gets a connection of its own.
  auto second = Connect();
  EXPECT_EQ(Applications(second), 1);
  if (!IsSqlite()) {
    EXPECT_NE(Backend(second), backend);
  }
}

TEST_P(ConnectionPoolTest, ConnectionsLeftWithStateAreClosed) {
  const size_t before = Idle();
  // An unfinished transaction: rolled back with its connection.
  auto c = Connect();
  c->BeginTrans();
  Execute(c, "INSERT INTO tblApplications (Name) VALUES (N'uncommitted')");
  c->Close();
  EXPECT_EQ(Idle(), before);
  // A temporary table.
  c = Connect();
  Execute(c, "CREATE TEMP TABLE kx4scratch (a int)");
  c->Close();
  EXPECT_EQ(Idle(), before);
  // A setting.
  if (!IsSqlite()) {
    c = Connect();
    Execute(c, "SET search_path TO pg_catalog");
    c->Close();
    EXPECT_EQ(Idle(), before);
  }
  auto fresh = Connect();
  EXPECT_EQ(Applications(fresh), 0);
  EXPECT_THROW(Scalar(fresh, "SELECT COUNT(*) FROM kx4scratch"), RuntimeError);
}

TEST_P(ConnectionPoolTest, ReadModeIsPooledApart) {
  const size_t before = Idle();
  auto reader = Connect(ado::adModeRead);
  reader->Close();
  EXPECT_EQ(Idle(), before + 1);
  auto writer = Connect();  // not the reader's
  EXPECT_EQ(Idle(), before + 1);
  Execute(writer, "INSERT INTO tblApplications (Name) VALUES (N'w')");
  writer->Close();
  EXPECT_EQ(Idle(), before + 2);
  reader = Connect(ado::adModeRead);
  EXPECT_EQ(Idle(), before + 1);
  EXPECT_THROW(Execute(reader, "INSERT INTO tblApplications (Name) VALUES (N'r')"), RuntimeError);
  ASSERT_FALSE(reader->Errors().empty());
  EXPECT_EQ(reader->Errors().front().NativeError, 3906);
  EXPECT_EQ(Applications(reader), 1);
}

TEST_P(ConnectionPoolTest, ADeadOrReplacedConnectionIsNotTaken) {
  auto c = Connect();
  Execute(c, "INSERT INTO tblApplications (Name) VALUES (N'old')");
  const int32_t backend = Backend(c);
  c->Close();
  if (IsSqlite()) {
    // Another process drops the file and creates it anew (the engine's own
    // drop, which knows nothing of this process's pool).
    const auto options = ado::ConnectionOptions::Parse(db().ConnectionString());
    ado::EngineFor(options).DropDatabase(options);
    ado::CreateDatabase(db().ConnectionString());
    std::this_thread::sleep_for(1100ms);  // the file is checked after a second of rest
  } else {
    Scalar(Connect(ado::adModeRead),
           "SELECT pg_terminate_backend(" + std::to_string(backend) + ")");
    ASSERT_TRUE(Eventually([&] { return !BackendAlive(backend); }));
  }
  auto again = Connect();
  EXPECT_EQ(Applications(again), IsSqlite() ? 0 : 1);
  if (!IsSqlite()) {
    EXPECT_NE(Backend(again), backend);
  }
}

TEST_P(ConnectionPoolTest, DroppingADatabaseClosesItsPooledConnections) {
  const size_t before = Idle();
  Connect()->Close();
  Connect(ado::adModeRead)->Close();
  EXPECT_EQ(Idle(), before + 2);
  ado::DropDatabase(db().ConnectionString());
  EXPECT_EQ(Idle(), before);
  // A database of the same name is a new one.
  ado::CreateDatabase(db().ConnectionString());
  auto c = Connect();
  Execute(c, "INSERT INTO tblApplications (Name) VALUES (N'new')");
  EXPECT_EQ(Applications(Connect(ado::adModeRead)), 1);
}

TEST_P(ConnectionPoolTest, IdleConnectionsAreClosedAfterTheLimit) {
  ConnectionPool& pool = ConnectionPool::Instance();
  pool.SetIdleLimit(100ms);
  struct Restore {
    ~Restore() { ConnectionPool::Instance().SetIdleLimit(ConnectionPool::kDefaultIdleLimit); }
  } restore;
  const size_t before = Idle();
  auto c = Connect();
  const int32_t backend = Backend(c);
  c->Close();
  EXPECT_EQ(Idle(), before + 1);
  EXPECT_TRUE(Eventually([&] { return Idle() == before; }));
  if (!IsSqlite()) {
    EXPECT_TRUE(Eventually([&] { return !BackendAlive(backend); }));
  }
}

TEST_P(ConnectionPoolTest, AForkedChildUsesConnectionsOfItsOwn) {
  auto c = Connect();
  Execute(c, "INSERT INTO tblApplications (Name) VALUES (N'parent')");
  const int32_t backend = Backend(c);
  Connect()->Close();
  c->Close();
  ASSERT_GE(Idle(), 2u);
  // On PostgreSQL the parent also goes on using one.  (An embedded database
  // the parent holds open must not be opened in the child at all: the
  // engine's lock bookkeeping would be shared.)
  std::shared_ptr<ado::Connection> held;
  if (!IsSqlite()) {
    held = Connect();
    ASSERT_EQ(Backend(held), backend);
  }
  // The reaper that the idle connections started does not live across the
  // fork: caught inside the allocator, it would leave the child a lock that
  // no thread of its own ever releases.
  ASSERT_EQ(Threads(), 2);

  const pid_t child = ::fork();
  if (child == 0) {
    int code = 0;
    try {
      if (Idle() != 0)
        code = 10;  // the pool was emptied before the fork
      auto mine = Connect();
      if (Applications(mine) != 1)
        code = 11;
      if (!IsSqlite() && Backend(mine) == backend)
        code = 12;
      mine->Close();
      // The parent's connection: forgotten here, not closed.
      if (held)
        held->Close();
    } catch (const std::exception&) {
      code = 13;
    }
    std::exit(code);  // the child's own pool closes at exit
  }
  ASSERT_GT(child, 0);
  EXPECT_EQ(Threads(), 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(Idle(), 0u);
  if (held) {
    // Untouched by the child.
    EXPECT_EQ(Applications(held), 1);
    EXPECT_EQ(Backend(held), backend);
  }
}

KX4_INSTANTIATE_ENGINES(ConnectionPoolTest);

TEST(ConnectionPoolKey, KeepsDatabasesModesAndLoginsApart) {
  ado::ConnectionOptions a;
  a.user_id = "ab";
  a.password = "c";
  ado::ConnectionOptions b = a;
  b.user_id = "a";
  b.password = "bc";
  ado::ConnectionOptions reader = a;
  reader.mode = ado::adModeRead;
  ado::ConnectionOptions trusted = a;
  trusted.trusted = true;
  const std::string key = ConnectionPool::Key(a, "/db");
  EXPECT_EQ(key, ConnectionPool::Key(a, "/db"));
  for (const std::string& other :
       {ConnectionPool::Key(b, "/db"), ConnectionPool::Key(reader, "/db"),
        ConnectionPool::Key(trusted, "/db"), ConnectionPool::Key(a, "/db2")})
    EXPECT_NE(key, other);
}

}  // namespace
}  // namespace kx4::test
