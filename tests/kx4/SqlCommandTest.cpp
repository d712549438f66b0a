// "kx4 sql": the database in its engine's own shell, reached with the
// settings kept, on both engines.
#include <kx4data/ConnectionSettings.h>
#include <kx4data/ado/Database.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "kx4/Kx4Run.h"
#include "session/SessionSupport.h"
#include "support/TempDir.h"
#include "support/TestDatabase.h"

namespace kx4::test {
namespace {

// The test's database is the one whose settings are kept.
class SqlCommand : public SessionTest {};

TEST_P(SqlCommand, OpensTheDatabaseWithTheLibrarysCaseRules) {
  Execute(Connect(), "INSERT INTO tblUsers (Name, QuotaRemaining) VALUES (N'Zoë Quill', 1.5)");
  // One statement for both shells: kx4_key is the library's on either.
  ChildResult sql =
      Kx4({"sql"}, "SELECT Name FROM tblUsers WHERE kx4_key(Name) = kx4_key('ZOË QUILL ');\n");
  ASSERT_EQ(sql.status, 0) << sql.err;
  EXPECT_NE(sql.out.find("Zoë Quill"), std::string::npos) << sql.out;
}

TEST_P(SqlCommand, AMissingDatabaseFailsAndStaysMissing) {
  const ado::DatabaseLocation location = ado::LocateDatabase(db().ConnectionString());
  ado::DropDatabase(db().ConnectionString());
  ChildResult sql = Kx4({"sql"}, "SELECT 1;\n");
  EXPECT_NE(sql.status, 0);
  struct stat st = {};
  if (location.embedded) {
    EXPECT_NE(::stat(location.file.c_str(), &st), 0) << "the shell created " << location.file;
  }
  EXPECT_THROW(db().Connect(), std::exception);
}

KX4_INSTANTIATE_ENGINES(SqlCommand);

// The connection reaches psql through its environment alone; a command line
// would show the password to every user of the machine.  A stand-in psql
// reports what it was given.
TEST(SqlCommandServer, PassesTheConnectionInTheEnvironmentOnly) {
  ConnectionSettings settings;
  settings.SetServer("db.example.invalid,5433");
  settings.SetDatabase("Tracking");
  settings.SetUser("kx4admin");
  settings.SetPassword("s3cret word");
  settings.SetStorePassword(true);
  settings.SetNTAuthenticate(false);
  settings.Store(false);

  TempDir bin;
  WriteFile(bin / "psql",
            "#!/bin/sh\necho \"args:$*\"\necho \"host:$PGHOST port:$PGPORT db:$PGDATABASE "
            "user:$PGUSER password:$PGPASSWORD\"\n");
  ::chmod((bin / "psql").c_str(), 0700);
  const std::string path = bin.Path() + ":" + std::getenv("PATH");
  ChildResult sql =
      Kx4({"sql", "--", "-At"}, "", {"PATH=" + path, "PGHOST=elsewhere", "PGPASSWORD=stale"});
  ASSERT_EQ(sql.status, 0) << sql.err;
  EXPECT_EQ(sql.out,
            "args:-At\n"
            "host:db.example.invalid port:5433 db:Tracking user:kx4admin password:s3cret word\n");
}

}  // namespace
}  // namespace kx4::test
