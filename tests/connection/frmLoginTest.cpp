// The login dialog without a screen: a scripted user interface plays the
// user on the form the session shows.
#include <kx4data/frmLogin.h>

#include <gtest/gtest.h>

#include <kx4data/KXData.h>

#include "session/KXDataInternal.h"
#include "session/SessionSupport.h"
#include "support/TempHive.h"

namespace kx4 {
namespace {

using test::ScopedScreen;
using F = frmLogin;

struct Place {
  int32_t left, top;
  bool operator==(const Place&) const = default;
};
Place At(const frmLogin& form, frmLogin::Control control) {
  return {form.Get(control).left, form.Get(control).top};
}

void Type(frmLogin& form, frmLogin::Control box, const std::string& text) {
  form.Change(box, text);
}

class LoginForm : public ::testing::Test {
 protected:
  // Shows the dialog through ChangeConnection with `script` as the user.
  KXErrorPtr Show(KXData& session, std::function<void(frmLogin&)> script) {
    screen_->login_form = std::move(script);
    return session.ChangeConnection();
  }

  testing::TempHive hive_;
  ScopedScreen screen_{3};
};

TEST_F(LoginForm, FourLayouts) {
  KXData session;
  std::vector<int32_t> heights;
  ASSERT_TRUE(Show(session, [&](frmLogin& form) {
    // Basic view, SQL login: buttons in a column right of the fields.
    heights.push_back(form.ClientHeight());
    EXPECT_EQ(At(form, F::cmdOK), (Place{3615, 60}));
    EXPECT_EQ(At(form, F::cmdCancel), (Place{3615, 540}));
    EXPECT_EQ(At(form, F::cmdHelp), (Place{3615, 1020}));
    EXPECT_EQ(At(form, F::cmdAdvanced), (Place{3615, 1500}));
    EXPECT_TRUE(form.Get(F::txtUser).visible && form.Get(F::lblCaption2).visible);
    EXPECT_FALSE(form.Get(F::fraAdvanced).visible);
    EXPECT_EQ(form.Get(F::cmdAdvanced).caption, "Advanced>>");

    // NT authentication: the user rows go, the buttons form a row under the
    // database box.
    form.Click(F::chkNTAuthenticate);
    heights.push_back(form.ClientHeight());
    EXPECT_EQ(At(form, F::cmdOK), (Place{60, 975}));
    EXPECT_EQ(At(form, F::cmdCancel), (Place{1275, 975}));
    EXPECT_EQ(At(form, F::cmdHelp), (Place{2490, 975}));
    EXPECT_EQ(At(form, F::cmdAdvanced), (Place{3705, 975}));
    for (F::Control hidden : {F::txtUser, F::lblCaption3, F::txtPassword, F::lblCaption2})
      EXPECT_FALSE(form.Get(hidden).visible) << form.Get(hidden).name;

    // Advanced, NT: the row moves under the frame.
    form.Click(F::cmdAdvanced);
    heights.push_back(form.ClientHeight());
    EXPECT_TRUE(form.Advanced());
    EXPECT_TRUE(form.Get(F::fraAdvanced).visible);
    EXPECT_EQ(At(form, F::fraAdvanced), (Place{60, 975}));
    EXPECT_EQ(At(form, F::cmdOK), (Place{60, 2910}));
    EXPECT_EQ(form.Get(F::cmdAdvanced).caption, "<<Basic");

    // Advanced, SQL login: the column again, the frame under the password.
    form.Click(F::chkNTAuthenticate);
    heights.push_back(form.ClientHeight());
    EXPECT_EQ(At(form, F::fraAdvanced), (Place{60, 1935}));
    EXPECT_EQ(At(form, F::cmdAdvanced), (Place{3615, 1500}));
    // Controls in the frame keep their places relative to it.
    EXPECT_EQ(At(form, F::txtQueryTimeout), (Place{1920, 1380}));
    EXPECT_TRUE(form.Get(F::txtQueryTimeout).in_frame);

    form.Click(F::cmdAdvanced);
    heights.push_back(form.ClientHeight());
    form.Click(F::cmdCancel);
  }));
  EXPECT_EQ(heights, (std::vector<int32_t>{1935, 1470, 3405, 3870, 1935}));
}

TEST_F(LoginForm, FieldsComeFromTheSessionsSettingsAndThePasswordOnlyWhenStored) {
  clsConnectionVariables saved;
  saved.SetServer("SRV1");
  saved.SetDatabase("Tracking");
  saved.SetUser("sa");
  saved.SetPassword("secret");
  saved.SetStorePassword(false);
  saved.SetNTAuthenticate(true);
  saved.SetNetProvider("  DBMSSOCN");
  saved.SetConnectTimeout(7);
  saved.SetQueryTimeout(0);
  saved.Store(false);

  KXData session;
  KXDataInternal::ConnectionVariables(session)->SetPassword("typed earlier");
  ASSERT_TRUE(Show(session, [](frmLogin& form) {
    EXPECT_EQ(form.Get(F::txtServer).text, "SRV1");
    EXPECT_EQ(form.Get(F::txtDatabase).text, "Tracking");
    EXPECT_EQ(form.Get(F::txtUser).text, "sa");
    EXPECT_EQ(form.Get(F::txtPassword).text, "");
    EXPECT_FALSE(form.Get(F::chkPassword).checked);
    EXPECT_TRUE(form.Get(F::chkNTAuthenticate).checked);
    EXPECT_EQ(form.ClientHeight(), 1470);  // NT layout from the start
    EXPECT_EQ(form.Get(F::txtNetProvider).text, "DBMSSOCN");
    EXPECT_EQ(form.Get(F::txtConnectionTimeout).text, "7");
    EXPECT_EQ(form.Get(F::txtQueryTimeout).text, "0");
    EXPECT_TRUE(form.Get(F::txtPassword).masked);
    EXPECT_EQ(form.Get(F::txtQueryTimeout).max_length, 3);
    form.Unload();
  }));

  KXDataInternal::ConnectionVariables(session)->SetStorePassword(true);
  ASSERT_TRUE(Show(session, [](frmLogin& form) {
    EXPECT_EQ(form.Get(F::txtPassword).text, "typed earlier");
    EXPECT_TRUE(form.Get(F::chkPassword).checked);
    // Unchecking "Remember password" empties the box at once.
    form.Click(F::chkPassword);
    EXPECT_EQ(form.Get(F::txtPassword).text, "");
    form.Unload();
  }));
}

TEST_F(LoginForm, FocusGoesToAnEmptyVisibleUserBoxTheFirstTimeOnly) {
  KXData session;
  std::vector<std::optional<F::Control>> focus;
  ASSERT_TRUE(Show(session, [&](frmLogin& form) {
    focus.push_back(form.Activated());
    focus.push_back(form.Activated());
    form.Unload();
  }));
  KXDataInternal::ConnectionVariables(session)->SetUser("sa");
  ASSERT_TRUE(Show(session, [&](frmLogin& form) {
    focus.push_back(form.Activated());
    form.Unload();
  }));
  KXDataInternal::ConnectionVariables(session)->SetUser("");
  KXDataInternal::ConnectionVariables(session)->SetNTAuthenticate(true);
  ASSERT_TRUE(Show(session, [&](frmLogin& form) {
    focus.push_back(form.Activated());  // the user box is hidden
    form.Unload();
  }));
  EXPECT_EQ(focus, (std::vector<std::optional<F::Control>>{F::txtUser, std::nullopt, std::nullopt,
                                                           std::nullopt}));
}

TEST_F(LoginForm, KeyFilters) {
  KXData session;
  ASSERT_TRUE(Show(session, [](frmLogin& form) {
    for (F::Control box : {F::txtConnectionTimeout, F::txtQueryTimeout}) {
      EXPECT_EQ(form.KeyPressed(box, '7'), '7');
      EXPECT_EQ(form.KeyPressed(box, 8), 8);  // backspace
      EXPECT_EQ(form.KeyPressed(box, 'a'), 0);
      EXPECT_EQ(form.KeyPressed(box, '-'), 0);
    }
    EXPECT_EQ(form.KeyPressed(F::txtServer, 'a'), 'a');

    // With Shift, Ctrl or Alt held the query box takes anything; the
    // connection box never does.
    for (int32_t modifier : {F::kShiftMask, F::kCtrlMask, F::kAltMask}) {
      form.KeyDown(modifier);
      EXPECT_EQ(form.KeyPressed(F::txtQueryTimeout, 'a'), 'a');
      EXPECT_EQ(form.KeyPressed(F::txtConnectionTimeout, 'a'), 0);
      // Another key going down does not end it; the last modifier going up does.
      form.KeyDown(0);
      EXPECT_EQ(form.KeyPressed(F::txtQueryTimeout, 'a'), 'a');
      form.KeyUp(modifier);  // still held (say, the other Shift key)
      EXPECT_EQ(form.KeyPressed(F::txtQueryTimeout, 'a'), 'a');
      form.KeyUp(0);
      EXPECT_EQ(form.KeyPressed(F::txtQueryTimeout, 'a'), 0);
    }
    form.Unload();
  }));
}

TEST_F(LoginForm, TimeoutsAreNormalisedBeforeEachAttempt) {
  KXData session;
  struct Case {
    const char* typed;
    const char* connection;
    const char* query;
  };
  const Case cases[] = {
      {"abc", "1", "60"},    {"0", "1", "60"},  {"", "1", "60"},    {"1234", "123", "123"},
      {" 5 ", "5", "5"},     {"-2", "1", "60"}, {"9e9", "1", "60"},  // too large for 16 bits
      {"1e2", "1e2", "1e2"},
  };
  for (const Case& c : cases) {
    std::string connection, query;
    KXErrorPtr error = Show(session, [&](frmLogin& form) {
      // The form keeps what a view would let through: three characters.
      Type(form, F::txtConnectionTimeout, c.typed);
      Type(form, F::txtQueryTimeout, c.typed);
      form.Click(F::cmdOK);  // nothing to connect to: the attempt fails
      connection = form.Get(F::txtConnectionTimeout).text;
      query = form.Get(F::txtQueryTimeout).text;
      form.Click(F::cmdCancel);
    });
    EXPECT_EQ(connection, c.connection) << c.typed;
    EXPECT_EQ(query, c.query) << c.typed;
    ASSERT_TRUE(error);
    EXPECT_EQ(error->KXErrorNumber(), erActionCancelled);
  }
}

TEST_F(LoginForm, ThreeAttemptsTwoMessagesAndTheThirdErrorUnchanged) {
  KXData session;
  bool closed_after_two = true;
  KXErrorPtr error = Show(session, [&](frmLogin& form) {
    Type(form, F::txtServer, "(localdb)");
    Type(form, F::txtDatabase, "Missing");
    form.Click(F::cmdOK);
    Type(form, F::txtServer, "   ");
    form.Click(F::cmdOK);
    closed_after_two = form.Closed();
    form.Click(F::cmdOK);
  });
  EXPECT_FALSE(closed_after_two);
  std::vector<test::MessageBoxCall> boxes = screen_->Calls();
  ASSERT_EQ(boxes.size(), 2u);
  for (const test::MessageBoxCall& box : boxes) {
    EXPECT_EQ(box.caption, "Cannot Connect");
    EXPECT_EQ(box.style, 48);
  }
  EXPECT_EQ(boxes[0].text.rfind("Could not connect to (localdb). Please try again.\r\n"
                                "Could not open connection.\r\n",
                                0),
            0u)
      << boxes[0].text;
  EXPECT_EQ(boxes[1].text,
            "Could not connect to the database. Please try again.\r\n"
            "There is no server or database set on this computer.");
  // The third failure closes the dialog and is the result as the session
  // made it.
  ASSERT_TRUE(error);
  EXPECT_EQ(error->KXErrorNumber(), erNoDatabaseDefined);
  EXPECT_EQ(error->IconType(), 16);
  EXPECT_EQ(error->Message(), "There is no server or database set on this computer.");
  // Nothing was stored.
  EXPECT_EQ(KXData().DatabaseInfo(), " on ");
}

TEST_F(LoginForm, CancelCloseBoxAndEscapeAllGiveTheCancelError) {
  KXData session;
  for (auto leave : std::vector<std::function<void(frmLogin&)>>{
           [](frmLogin& form) {
             Type(form, F::txtServer, "(localdb)");
             form.Click(F::cmdOK);  // fails first
             form.Click(F::cmdCancel);
           },
           [](frmLogin& form) { form.Unload(); },
           [](frmLogin&) {},  // the view returned without the form closing
       }) {
    KXErrorPtr error = Show(session, leave);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->KXErrorNumber(), erActionCancelled);
    EXPECT_EQ(error->IconType(), 48);
    EXPECT_EQ(error->Message(), "User cancelled the login.");
    EXPECT_EQ(error->Number(), 0);
  }
  // The form's cancel button and Escape are one and the same.
  ASSERT_TRUE(Show(session, [](frmLogin& form) {
    EXPECT_TRUE(form.Get(F::cmdCancel).is_cancel);
    EXPECT_TRUE(form.Get(F::cmdOK).is_default);
    EXPECT_EQ(form.Get(F::cmdOK).caption, "&Login");
    form.Click(F::cmdCancel);
    EXPECT_TRUE(form.Closed());
    form.Click(F::cmdOK);  // a closed form ignores the rest
  }));
  EXPECT_EQ(screen_->Calls().size(), 1u);
}

TEST_F(LoginForm, ThePointerIsTheDefaultWhileTheDialogShowsAndRestoredAfter) {
  KXData session;
  int32_t during = -1;
  ASSERT_TRUE(Show(session, [&](frmLogin& form) {
    during = screen_->MousePointer();
    form.Unload();
  }));
  EXPECT_EQ(during, vbDefault);
  EXPECT_EQ(screen_->MousePointer(), 3);
}

// --- Connecting, on both engines ---

class LoginConnects : public test::EngineTest {
 protected:
  KXErrorPtr Show(KXData& session, std::function<void(frmLogin&)> script) {
    screen_->login_form = std::move(script);
    return session.ChangeConnection();
  }
  // Types this test's database as the user would and presses Login.
  std::function<void(frmLogin&)> TypeDatabase(bool remember) {
    return [this, remember](frmLogin& form) {
      Type(form, F::txtServer, " " + db().Server() + " ");
      Type(form, F::txtDatabase, db().Database());
      Type(form, F::txtUser, "  someone ");
      Type(form, F::txtPassword, " pw ");
      if (remember != form.Get(F::chkPassword).checked)
        form.Click(F::chkPassword);
      if (!form.Get(F::chkNTAuthenticate).checked)
        form.Click(F::chkNTAuthenticate);
      form.Click(F::cmdAdvanced);
      Type(form, F::txtConnectionTimeout, "9");
      form.Click(F::cmdOK);
      EXPECT_TRUE(form.Closed());
    };
  }

  testing::TempHive hive_;
  ScopedScreen screen_;
};

TEST_P(LoginConnects, ASuccessfulAttemptIsStoredAndHandedToTheSession) {
  KXData session;
  ASSERT_EQ(Show(session, TypeDatabase(true)), nullptr);
  EXPECT_TRUE(screen_->Calls().empty());
  // Adopted: the statement runs on the dialog's connection.
  ASSERT_NE(KXDataTestPeer::Connection(session), nullptr);
  std::shared_ptr<ado::Recordset> rs;
  ASSERT_EQ(KXDataInternal::ExecuteSQL(session, rs, "SELECT Version FROM tblSettings"), nullptr);
  EXPECT_NE(KXDataTestPeer::Connection(session), nullptr);
  EXPECT_EQ(session.DBVersion(), 4);

  // The settings the session holds and this user's stored ones are the
  // typed ones, trimmed.
  const clsConnectionVariables& held = *KXDataInternal::ConnectionVariables(session);
  EXPECT_EQ(held.Server(), db().Server());
  EXPECT_EQ(held.User(), "someone");
  EXPECT_EQ(held.Password(), "pw");
  EXPECT_TRUE(held.NTAuthenticate());
  EXPECT_EQ(held.ConnectTimeout(), 9);
  EXPECT_EQ(held.QueryTimeout(), 60);
  clsConnectionVariables stored;
  stored.Load(false);
  EXPECT_EQ(stored.BuildConnectionString(), held.BuildConnectionString());
  EXPECT_EQ(stored.Password(), "pw");
  // A per-user store on a machine without settings seeds the machine's too.
  stored.Load(true);
  EXPECT_EQ(stored.Database(), db().Database());
}

TEST_P(LoginConnects, AllUsersSessionsStoreForTheMachineOnly) {
  clsConnectionVariables mine;
  mine.SetServer("Elsewhere");
  mine.SetDatabase("Mine");
  mine.Store(false);
  KXData session;
  session.SetAllUsersOnly(true);
  ASSERT_EQ(Show(session, TypeDatabase(false)), nullptr);
  clsConnectionVariables stored;
  stored.Load(true);
  EXPECT_EQ(stored.Database(), db().Database());
  EXPECT_EQ(stored.Password(), "");  // not remembered
  stored.Load(false);
  EXPECT_EQ(stored.Database(), "Mine");
}

TEST_P(LoginConnects, AFailedAttemptThenASuccessStoresOnlyTheSuccess) {
  KXData session;
  ASSERT_EQ(Show(session,
                 [&](frmLogin& form) {
                   Type(form, F::txtServer, db().Server());
                   Type(form, F::txtDatabase, db().Database() + "_missing");
                   form.Click(F::chkNTAuthenticate);
                   form.Click(F::cmdOK);
                   EXPECT_EQ(KXData().DatabaseInfo(), " on ");  // nothing stored yet
                   Type(form, F::txtDatabase, db().Database());
                   form.Click(F::cmdOK);
                 }),
            nullptr);
  EXPECT_EQ(screen_->Calls().size(), 1u);
  EXPECT_EQ(KXData().DatabaseInfo(), db().Database() + " on " + db().Server());
}

TEST_P(LoginConnects, ChangeConnectionReplacesAnEstablishedConnection) {
  test::StoreSettingsFor(db());
  KXData session;
  ASSERT_EQ(session.EstablishConnection(true), nullptr);
  auto established = KXDataTestPeer::Connection(session);
  ASSERT_EQ(Show(session, TypeDatabase(false)), nullptr);
  EXPECT_NE(KXDataTestPeer::Connection(session), established);
  EXPECT_EQ(established->State(), ado::adStateClosed);

  // A cancelled change keeps the connection it had.
  auto adopted = KXDataTestPeer::Connection(session);
  EXPECT_TRUE(Show(session, [](frmLogin& form) { form.Click(F::cmdCancel); }));
  EXPECT_EQ(KXDataTestPeer::Connection(session), adopted);
}

TEST_P(LoginConnects, EstablishConnectionShowsTheDialogUnlessSuppressed) {
  screen_->login_form = TypeDatabase(false);
  KXData suppressed;
  EXPECT_TRUE(suppressed.EstablishConnection(true));
  EXPECT_EQ(screen_->dialogs_shown, 0);

  KXData session;
  ASSERT_EQ(session.EstablishConnection(), nullptr);
  EXPECT_EQ(screen_->dialogs_shown, 1);
  EXPECT_NE(KXDataTestPeer::Connection(session), nullptr);
  // Established: a read-only switch waits for the close.
  session.SetReadOnly(true);
  EXPECT_FALSE(session.ReadOnly());
}

KX4_INSTANTIATE_ENGINES(LoginConnects);

}  // namespace
}  // namespace kx4
