// An established session on the per-test database, reached the way a
// product install reaches its own: the settings stored for this user in the
// isolated hive (the session tests' helpers do that part).
#ifndef KX4DATA_TESTS_SUPPORT_SESSIONFIXTURE_H_
#define KX4DATA_TESTS_SUPPORT_SESSIONFIXTURE_H_

#include <kx4data/KXData.h>

#include <memory>
#include <string>
#include <vector>

#include "session/SessionSupport.h"
#include "support/TestDatabase.h"

namespace kx4::test {

// What failed statements appended to error.log since construction.
class ErrorLogWatch {
 public:
  ErrorLogWatch() : offset_(ErrorLog().size()) {}
  std::string NewText() const {
    const std::string all = ErrorLog();
    return all.size() > offset_ ? all.substr(offset_) : std::string();
  }

 private:
  size_t offset_;
};

// Both engines; session() is established on the test's database, raw() is a
// connection of its own for arranging and checking rows behind its back.
class EstablishedSessionTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    if (IsSkipped() || HasFatalFailure())
      return;
    raw_ = Connect();
    session_ = std::make_unique<KXData>();
    KXErrorPtr e = session_->EstablishConnection(Variant(true));
    ASSERT_EQ(e, nullptr) << e->Message();
  }
  void TearDown() override {
    session_.reset();
    raw_.reset();
    SessionTest::TearDown();
  }

  KXData& session() { return *session_; }
  const std::shared_ptr<ado::Connection>& raw() { return raw_; }

  int32_t Exec(const std::string& sql, const std::vector<Variant>& values = {}) {
    return Execute(raw_, sql, values);
  }
  Variant Value(const std::string& sql, const std::vector<Variant>& values = {}) {
    return Scalar(raw_, sql, values);
  }
  int32_t Count(const std::string& from_where) {
    return Value("SELECT COUNT(*) FROM " + from_where).ToLong();
  }
  void SetSwitches(bool secure_admin, bool secure_viewer) {
    Exec(std::string("UPDATE tblSettings SET SecureAdmin = ") + (secure_admin ? "1" : "0") +
         ", SecureViewer = " + (secure_viewer ? "1" : "0"));
  }
  // Both switches off, then authorised: every policy but kxsReporterOwn.
  void GrantAll() {
    SetSwitches(false, false);
    ASSERT_EQ(session().GetAuthorization(), nullptr);
  }

 private:
  std::unique_ptr<KXData> session_;
  std::shared_ptr<ado::Connection> raw_;
};

// An established session of an unsecured installation, authorised with every
// policy but kxsReporterOwn: what tests of administration operations start from.
class AdministeredSessionTest : public EstablishedSessionTest {
 protected:
  void SetUp() override {
    EstablishedSessionTest::SetUp();
    if (IsSkipped() || HasFatalFailure())
      return;
    GrantAll();
  }
};

}  // namespace kx4::test

#endif  // KX4DATA_TESTS_SUPPORT_SESSIONFIXTURE_H_
