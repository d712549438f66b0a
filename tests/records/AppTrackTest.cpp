#include <kx4data/AppTrack.h>

#include <gtest/gtest.h>

#include "records/RecordTestSupport.h"

namespace kx4::test {
namespace {

class AppTrackTest : public RecordTest {};

TEST_P(AppTrackTest, InsertsOnceThenUpdatesTheSameRow) {
  AppTrack app;
  EXPECT_EQ(app.Id(), -1);
  EXPECT_EQ(app.TrackOptionId(), kxtPopup);
  app.SetName("  O'Brien's Viewer  ");
  app.SetDescription("   ");
  app.SetTrackOptionId(kxtIgnore);
  EXPECT_EQ(app.Name(), "O'Brien's Viewer");
  EXPECT_EQ(app.Description(), "");

  ASSERT_EQ(app.Save(session()), nullptr);
  const int32_t id = app.Id();
  ASSERT_GT(id, 0);
  EXPECT_FALSE(session().InTransaction());
  EXPECT_EQ(Value("SELECT Name FROM tblApplications WHERE ApplicationId = " + std::to_string(id))
                .ToString(),
            "O'Brien's Viewer");
  EXPECT_EQ(Count("tblApplications WHERE Description IS NULL"), 1);

  app.SetDescription(" Reports ");
  app.SetTrackOptionId(kxtTrackOnly);
  ASSERT_EQ(app.Save(session()), nullptr);
  EXPECT_EQ(app.Id(), id);
  EXPECT_EQ(Count("tblApplications"), 1);

  AppTrack loaded;
  ASSERT_EQ(loaded.Load(id, session()), nullptr);
  EXPECT_EQ(loaded.Id(), id);
  EXPECT_EQ(loaded.Name(), "O'Brien's Viewer");
  EXPECT_EQ(loaded.Description(), "Reports");
  EXPECT_EQ(loaded.TrackOptionId(), kxtTrackOnly);
}

// The enumeration takes every number, and the record does not validate it.
TEST_P(AppTrackTest, TrackOptionOutsideTheEnumerationIsKept) {
  AppTrack app;
  app.SetTrackOptionId(KXTrackStatus{77});
  ASSERT_EQ(app.Save(session()), nullptr);
  AppTrack loaded;
  ASSERT_EQ(loaded.Load(app.Id(), session()), nullptr);
  EXPECT_EQ(static_cast<int32_t>(loaded.TrackOptionId()), 77);
}

TEST_P(AppTrackTest, EmptyTextsAreStoredAsNullAndLoadAsEmpty) {
  AppTrack app;
  ASSERT_EQ(app.Save(session()), nullptr);
  EXPECT_EQ(Count("tblApplications WHERE Name IS NULL AND Description IS NULL"), 1);

  AppTrack loaded;
  loaded.SetName("stale");
  loaded.SetDescription("stale");
  ASSERT_EQ(loaded.Load(app.Id(), session()), nullptr);
  EXPECT_EQ(loaded.Name(), "");
  EXPECT_EQ(loaded.Description(), "");
}

TEST_P(AppTrackTest, LoadOfAMissingIdNamesItAndKeepsTheOtherValues) {
  for (int32_t missing : {0, 4711}) {
    AppTrack app;
    app.SetName("kept");
    app.SetTrackOptionId(kxtAbortJob);
    KXErrorPtr error = app.Load(missing, session());
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->KXErrorNumber(), erRecordExpected);
    EXPECT_EQ(error->IconType(), 16);
    EXPECT_EQ(error->Message(), "Could not find application with id: " + std::to_string(missing));
    EXPECT_EQ(app.Id(), missing);
    EXPECT_EQ(app.Name(), "kept");
    EXPECT_EQ(app.TrackOptionId(), kxtAbortJob);
  }
}

TEST_P(AppTrackTest, DeleteNeedsAStoredIdAndRemovesOnlyThatRow) {
  AppTrack unsaved;
  ErrorLogWatch log;
  KXErrorPtr error = unsaved.Delete(session());
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->Message(), "Id not specified.");
  EXPECT_EQ(error->KXErrorNumber(), erUnknown);
  EXPECT_EQ(error->IconType(), 16);

  AppTrack first, second;
  first.SetName("first");
  second.SetName("second");
  ASSERT_EQ(first.Save(session()), nullptr);
  ASSERT_EQ(second.Save(session()), nullptr);
  ASSERT_EQ(first.Delete(session()), nullptr);
  EXPECT_EQ(first.Name(), "first");
  EXPECT_EQ(Count("tblApplications"), 1);
  EXPECT_EQ(first.Load(first.Id(), session())->KXErrorNumber(), erRecordExpected);
  EXPECT_EQ(second.Load(second.Id(), session()), nullptr);
  EXPECT_TRUE(log.NewText().empty());
}

TEST_P(AppTrackTest, ChangesNeedAdministratorRights) {
  auto unauthorized = OpenSession(true, false);
  AppTrack app;
  app.SetName("word");
  for (KXErrorPtr error : {app.Save(*unauthorized), app.Delete(*unauthorized)}) {
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->Message(), "You do not have the proper access to execute this method.");
    EXPECT_EQ(error->IconType(), 48);
  }
  EXPECT_EQ(app.Id(), -1);
  EXPECT_EQ(Count("tblApplications"), 0);
}

TEST_P(AppTrackTest, FailedInsertIsRolledBackAndLogsItsBatch) {
  Exec("ALTER TABLE tblApplications RENAME TO tblApplicationsAway");
  AppTrack app;
  app.SetName("Bob's");
  app.SetTrackOptionId(kxtIgnore);
  ErrorLogWatch log;
  KXErrorPtr error = app.Save(session());
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->IconType(), 16);
  EXPECT_EQ(app.Id(), -1);
  EXPECT_FALSE(session().InTransaction());
  auto entries = LogEntries(log.NewText());
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].rfind("Data error: ", 0), 0u) << entries[0];
  EXPECT_EQ(entries[1],
            "SET NOCOUNT ON INSERT INTO tblApplications (Name, Description, TrackOptionId) "
            "VALUES (N'Bob''s', NULL, 3) SELECT @@IDENTITY AS NewId SET NOCOUNT OFF");

  // The session is usable again once the table is back.
  Exec("ALTER TABLE tblApplicationsAway RENAME TO tblApplications");
  ASSERT_EQ(app.Save(session()), nullptr);
  EXPECT_GT(app.Id(), 0);
}

// The tracking option is a 32-bit property over a 16-bit column.
TEST_P(AppTrackTest, ATrackingOptionBeyondTheColumnIsRefused) {
  AppTrack app;
  app.SetName("word");
  app.SetTrackOptionId(static_cast<KXTrackStatus>(70000));
  KXErrorPtr error = app.Save(session());
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->Number(), 8115);
  EXPECT_EQ(app.Id(), -1);
  EXPECT_EQ(Count("tblApplications"), 0);
}

TEST_P(AppTrackTest, InsertNeedsAnEstablishedConnection) {
  // Transactions need a connection; on demand there is none to hold one.
  auto idle = OpenSession(false, true);
  AppTrack app;
  app.SetName("viewer");
  KXErrorPtr error = app.Save(*idle);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->Message(), "Could not begin transaction. No active connection.");
  EXPECT_EQ(app.Id(), -1);
  EXPECT_EQ(Count("tblApplications"), 0);
}

KX4_INSTANTIATE_ENGINES(AppTrackTest);

}  // namespace
}  // namespace kx4::test
