// The session: owns the connection, runs every statement of the library,
// holds the caller's access policies and the user authorised by PIN.
#ifndef KX4DATA_KXDATA_H_
#define KX4DATA_KXDATA_H_

#include <cstdint>
#include <memory>
#include <string>

#include <kx4data/AccessPolicies.h>
#include <kx4data/KXError.h>
#include <kx4data/Variant.h>

namespace kx4 {

namespace ado {
class Command;
class Connection;
class Recordset;
}  // namespace ado

class clsConnectionVariables;
class User;

class KXData {
 public:
  static constexpr int16_t kRequiredDBVersion = 4;

  KXData();
  ~KXData();
  KXData(const KXData&) = delete;
  KXData& operator=(const KXData&) = delete;

  // --- Public members, in interface order ---
  void SetCaller(const std::string& value);  // trimmed
  const std::string& Caller() const { return caller_; }
  void SetInTransaction(bool value) { in_transaction_ = value; }
  bool InTransaction() const { return in_transaction_; }
  void SetReadOnly(bool value);  // ignored while connected
  bool ReadOnly() const { return read_only_; }
  int16_t DBVersion() const { return db_version_; }
  bool CheckSecurity(int32_t pintPolicy) const;
  // Rebuilds the policy list from the settings switches and a PIN code.
  KXErrorPtr GetAuthorization(const std::string& pstrPinCode = "");
  KXErrorPtr GetAuthorization(const std::string& pstrPinCode, std::shared_ptr<User>& pinsUser);
  // Read-only sessions holding kxsAdmin or kxsReporterAll; one statement that
  // only reads (SELECT or WITH ... SELECT), refused before it runs otherwise.
  KXErrorPtr ExecuteReportSQL(std::shared_ptr<ado::Recordset>& pinsReturnRecordset,
                              const std::string& pstrSQL,
                              const Variant& pvntParameters = Variant());
  KXErrorPtr BeginTrans();
  KXErrorPtr CommitTrans();
  KXErrorPtr RollbackTrans();
  // Table and field must be plain names (letters, digits, underscores, one
  // optional owner); anything else is refused without running a statement.
  KXErrorPtr DataValueExists(bool& pblnValueExists, const std::string& pstrTable,
                             const std::string& pstrField, const Variant& pvntToCompare,
                             bool pblnCaseSensitive = false);
  // Suppresses the login dialog only when the flag is exactly true (true or
  // -1); any other value, 1 included, behaves as false.
  KXErrorPtr EstablishConnection(const Variant& pblnSuppressLogin = Variant(false));
  void CloseConnection();
  void SaveConnectionSettings();
  // Through the user interface's login dialog; where none can be shown,
  // an erActionCancelled error and the connection stays as it was.
  KXErrorPtr ChangeConnection();
  bool AllUsersOnly() const { return all_users_only_; }
  void SetAllUsersOnly(bool value);
  std::string DatabaseInfo() const;

  // --- Internal: used by the library's own classes ---
  const std::shared_ptr<User>& AuthorizedUser() const { return authorized_user_; }
  void SetConnectionVariables(std::shared_ptr<clsConnectionVariables> value);
  const std::shared_ptr<clsConnectionVariables>& ConnectionVariables() const {
    return connection_variables_;
  }
  std::string OwnerPrefix() const;
  KXErrorPtr ExecuteNoRecords(const std::string& pstrSQL, const Variant& pvntParameters,
                              int32_t& plngRecordsAffected);
  KXErrorPtr ExecuteNoRecords(const std::string& pstrSQL, int32_t& plngRecordsAffected) {
    return ExecuteNoRecords(pstrSQL, Variant::Null(), plngRecordsAffected);
  }
  KXErrorPtr ExecuteSQL(std::shared_ptr<ado::Recordset>& pinsRecordset, const std::string& pstrSQL,
                        const Variant& pvntParameters = Variant());
  // Opens a connection with `pinsConnVars`; on success closes the current
  // one and adopts it.  Neither stores nor keeps the settings.
  KXErrorPtr SetConnection(std::shared_ptr<clsConnectionVariables> pinsConnVars);

 private:
  // Tests reach the private members through it.
  friend class KXDataTestPeer;

  void minsAddSecurity(int32_t policy);
  KXErrorPtr minsExecuteQuery(const std::string& pstrSQL, const Variant& pvntParameters,
                              std::shared_ptr<ado::Recordset>* pinsRecordset,
                              int32_t& plngRecordsAffected);
  void minsAddParameters(ado::Command& command, const Variant& pvntParameters) const;
  KXErrorPtr minsCheckConnection(bool& opened);
  KXErrorPtr minsOpenConnection(int16_t& pintDBVersion,
                                std::shared_ptr<ado::Connection>& pvntConnection,
                                const std::shared_ptr<clsConnectionVariables>& pinsConnVars);

  std::shared_ptr<ado::Connection> connection_;
  AccessPolicies allowed_policies_;
  std::shared_ptr<User> authorized_user_;
  bool connected_ = false;
  std::string caller_;
  int16_t db_version_ = 0;
  bool read_only_ = false;
  bool in_transaction_ = false;
  std::shared_ptr<clsConnectionVariables> connection_variables_;
  bool all_users_only_ = false;
};

}  // namespace kx4

#endif  // KX4DATA_KXDATA_H_
