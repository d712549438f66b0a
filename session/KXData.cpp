// The session's state, its connection lifecycle and the members the login
// dialog and the record classes use for the connection.  Statement execution
// and transactions live in QueryExecution.cpp, the policy list in
// KXDataSecurity.cpp.
#include <kx4data/KXData.h>

#include <kx4data/DataGlobal.h>
#include <kx4data/RuntimeError.h>
#include <kx4data/Settings.h>
#include <kx4data/UserInterface.h>

#include "dataaccess/Connection.h"
#include "session/AccessPolicies.h"
#include "session/BuildDataError.h"
#include "session/Text.h"
#include "session/clsConnectionVariables.h"

namespace kx4 {

namespace {

constexpr const char* kNoDatabaseMessage = "There is no server or database set on this computer.";
constexpr const char* kWrongVersionMessage =
    "This database is the wrong version for this product. Please contact your technical support.";

// Shows the hourglass for its lifetime and puts back whatever pointer the
// host had, on every way out.
class HourglassPointer {
 public:
  HourglassPointer() : ui_(CurrentUserInterface()), saved_(ui_->MousePointer()) {
    ui_->SetMousePointer(vbHourglass);
  }
  ~HourglassPointer() { ui_->SetMousePointer(saved_); }
  HourglassPointer(const HourglassPointer&) = delete;
  HourglassPointer& operator=(const HourglassPointer&) = delete;

 private:
  std::shared_ptr<UserInterface> ui_;
  int32_t saved_;
};

template <typename F>
class ScopeExit {
 public:
  explicit ScopeExit(F f) : f_(std::move(f)) {}
  ~ScopeExit() { f_(); }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

 private:
  F f_;
};

// True only for the canonical true values: the boolean, or a number equal
// to -1.  1 and every other value count as false.
bool IsExactlyTrue(const Variant& value) {
  if (const bool* flag = value.Get<bool>())
    return *flag;
  switch (value.VarType()) {
    case vbInteger:
    case vbLong:
    case vbSingle:
    case vbDouble:
    case vbCurrency:
      return value.ToDouble() == -1.0;
    default:
      return false;
  }
}

// Closing must not throw: it runs from the destructor and after failures.
void CloseQuietly(ado::Connection& connection) {
  try {
    if (connection.State() == ado::adStateOpen)
      connection.Close();
  } catch (const std::exception&) {
    // The engine connection is released with the object in any case.
  }
}

}  // namespace

KXData::KXData() : allowed_policies_(std::make_unique<AccessPolicies>()) {
  connection_variables_ = std::make_shared<clsConnectionVariables>();
  connection_variables_->Load(all_users_only_);
}

KXData::~KXData() {
  authorized_user_.reset();
  CloseConnection();
}

// --- Public members ---

void KXData::SetCaller(const std::string& value) {
  caller_ = TrimSpaces(value);
}

void KXData::SetReadOnly(bool value) {
  if (!connected_)
    read_only_ = value;
}

KXErrorPtr KXData::EstablishConnection(const Variant& pblnSuppressLogin) {
  CloseConnection();
  KXErrorPtr result;
  if (IsExactlyTrue(pblnSuppressLogin)) {
    std::shared_ptr<ado::Connection> connection;
    result = minsOpenConnection(db_version_, connection, nullptr);
    connection_ = std::move(connection);
  } else {
    bool opened = false;
    result = minsCheckConnection(opened);
  }
  if (!result)
    connected_ = true;
  return result;
}

void KXData::CloseConnection() {
  if (connection_) {
    CloseQuietly(*connection_);
    connection_.reset();
  }
  connected_ = false;
}

void KXData::SaveConnectionSettings() {
  if (connection_variables_)
    connection_variables_->Store(all_users_only_);
}

KXErrorPtr KXData::ChangeConnection() {
  std::shared_ptr<UserInterface> ui = CurrentUserInterface();
  if (!ui->CanShowDialogs())
    return MakeError(kNoDialogMessage, KXError::kIconExclamation, erActionCancelled);
  return ui->ShowLoginDialog(*this);
}

void KXData::SetAllUsersOnly(bool value) {
  all_users_only_ = value;
  auto settings = std::make_shared<clsConnectionVariables>();
  settings->Load(value);
  connection_variables_ = std::move(settings);
}

std::string KXData::DatabaseInfo() const {
  if (!connection_variables_)
    return " on ";
  return connection_variables_->Database() + " on " + connection_variables_->Server();
}

// --- Internal members ---

void KXData::SetConnectionVariables(std::shared_ptr<clsConnectionVariables> value) {
  connection_variables_ = std::move(value);
}

std::string KXData::OwnerPrefix() const {
  if (!connection_variables_ || connection_variables_->Owner().empty())
    return {};
  return connection_variables_->Owner() + ".";
}

KXErrorPtr KXData::minsCheckConnection(bool& opened) {
  if (connection_) {
    opened = false;
    return nullptr;
  }
  std::shared_ptr<ado::Connection> connection;
  KXErrorPtr result = minsOpenConnection(db_version_, connection, nullptr);
  connection_ = std::move(connection);
  if (result) {
    // The dialog, where there is one, places its connection into the session
    // through SetConnection; headless, the failed attempt's error stands.
    std::shared_ptr<UserInterface> ui = CurrentUserInterface();
    if (ui->CanShowDialogs())
      result = ui->ShowLoginDialog(*this);
  }
  opened = !result;
  return result;
}

KXErrorPtr KXData::SetConnection(std::shared_ptr<clsConnectionVariables> pinsConnVars) {
  int16_t version = db_version_;
  std::shared_ptr<ado::Connection> connection;
  KXErrorPtr result = minsOpenConnection(version, connection, pinsConnVars);
  if (result)
    return result;
  CloseConnection();
  connection_ = std::move(connection);
  db_version_ = version;
  return nullptr;
}

KXErrorPtr KXData::minsOpenConnection(int16_t& pintDBVersion,
                                      std::shared_ptr<ado::Connection>& pvntConnection,
                                      const std::shared_ptr<clsConnectionVariables>& pinsConnVars) {
  HourglassPointer hourglass;
  DataGlobal global;
  KXErrorPtr result;
  std::shared_ptr<ado::Connection> connection;
  try {
    const std::shared_ptr<clsConnectionVariables>& settings =
        pinsConnVars ? pinsConnVars : connection_variables_;
    const std::string connection_string = settings ? settings->BuildConnectionString() : "";
    if (connection_string.empty()) {
      result = MakeError(kNoDatabaseMessage, KXError::kIconStop, erNoDatabaseDefined);
    } else {
      connection = std::make_shared<ado::Connection>();
      connection->SetConnectionTimeout(settings->ConnectTimeout());
      connection->SetMode(read_only_ ? ado::adModeRead : ado::adModeReadWrite);
      connection->SetConnectionString(connection_string);
      connection->Open("", "", ado::adOptionUnspecified);

      // The settings row is read through the session's own statement path,
      // on the new connection; the session's connection is put back after.
      std::shared_ptr<Settings> row;
      {
        std::shared_ptr<ado::Connection> remembered = connection_;
        connection_ = connection;
        ScopeExit restore([&] { connection_ = remembered; });
        result = global.GetSettings(*this, row);
      }
      if (!result) {
        pintDBVersion = row->DBVersion();
        if (row->DBVersion() != kRequiredDBVersion)
          result = MakeError(kWrongVersionMessage, KXError::kIconStop);
      }
    }
  } catch (const RuntimeError& failure) {
    result = BuildDataError("Could not open connection.", failure, "KXData:minsOpenConnection",
                            connection.get());
  } catch (const std::exception& failure) {
    result = BuildDataError("Could not open connection.", failure, "KXData:minsOpenConnection",
                            connection.get());
  }
  if (!result) {
    pvntConnection = std::move(connection);
    return nullptr;
  }
  if (result->KXErrorNumber() == erUnknown)
    result->SetKXErrorNumber(erDatabaseConnection);
  if (connection)
    CloseQuietly(*connection);
  return result;
}

}  // namespace kx4
