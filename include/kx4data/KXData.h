// The session: owns the connection, runs every statement of the library,
// holds the caller's access policies and the user authorised by PIN.
#ifndef KX4DATA_KXDATA_H_
#define KX4DATA_KXDATA_H_

#include <cstdint>
#include <memory>
#include <string>

#include <kx4data/Export.h>
#include <kx4data/KXEnums.h>
#include <kx4data/KXError.h>
#include <kx4data/Variant.h>

namespace kx4 {

namespace ado {
class Command;
class Connection;
class Recordset;
}  // namespace ado

class AccessPolicies;
class clsConnectionVariables;
class KXDataInternal;
class User;

class KX4DATA_API KXData {
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
  // Any 32-bit number may be asked for; 0 and numbers that are no policy
  // are never held.
  bool CheckSecurity(KXSecurity pintPolicy) const;
  // Rebuilds the policy list from the settings switches and a PIN code.
  [[nodiscard]] KXErrorPtr GetAuthorization(const std::string& pstrPinCode = "");
  [[nodiscard]] KXErrorPtr GetAuthorization(const std::string& pstrPinCode,
                                            std::shared_ptr<User>& pinsUser);
  // Read-only sessions holding kxsAdmin or kxsReporterAll; one statement that
  // only reads (SELECT or WITH ... SELECT), refused before it runs otherwise.
  [[nodiscard]] KXErrorPtr ExecuteReportSQL(std::shared_ptr<ado::Recordset>& pinsReturnRecordset,
                                            const std::string& pstrSQL,
                                            const Variant& pvntParameters = Variant());
  [[nodiscard]] KXErrorPtr BeginTrans();
  [[nodiscard]] KXErrorPtr CommitTrans();
  [[nodiscard]] KXErrorPtr RollbackTrans();
  // Table and field must be plain names (letters, digits, underscores, one
  // optional owner); anything else is refused without running a statement.
  [[nodiscard]] KXErrorPtr DataValueExists(bool& pblnValueExists, const std::string& pstrTable,
                                           const std::string& pstrField,
                                           const Variant& pvntToCompare,
                                           bool pblnCaseSensitive = false);
  // Suppresses the login dialog only when the flag is exactly true (true or
  // -1); any other value, 1 included, behaves as false.
  [[nodiscard]] KXErrorPtr EstablishConnection(const Variant& pblnSuppressLogin = Variant(false));
  void CloseConnection();
  void SaveConnectionSettings();
  // Through the user interface's login dialog; where none can be shown,
  // an erActionCancelled error and the connection stays as it was.
  [[nodiscard]] KXErrorPtr ChangeConnection();
  bool AllUsersOnly() const { return all_users_only_; }
  void SetAllUsersOnly(bool value);
  std::string DatabaseInfo() const;

 private:
  // The library's own classes reach the internal members through it
  // (session/KXDataInternal.h); hosts cannot.
  friend class KXDataInternal;

  // --- Internal members ---
  const std::shared_ptr<User>& AuthorizedUser() const { return authorized_user_; }
  KX4DATA_LOCAL void SetConnectionVariables(std::shared_ptr<clsConnectionVariables> value);
  const std::shared_ptr<clsConnectionVariables>& ConnectionVariables() const {
    return connection_variables_;
  }
  KX4DATA_LOCAL std::string OwnerPrefix() const;
  KX4DATA_LOCAL void minsAddSecurity(int32_t policy);
  [[nodiscard]] KX4DATA_LOCAL KXErrorPtr ExecuteNoRecords(const std::string& pstrSQL,
                                                          const Variant& pvntParameters,
                                                          int32_t& plngRecordsAffected);
  [[nodiscard]] KX4DATA_LOCAL KXErrorPtr ExecuteSQL(std::shared_ptr<ado::Recordset>& pinsRecordset,
                                                    const std::string& pstrSQL,
                                                    const Variant& pvntParameters);
  [[nodiscard]] KX4DATA_LOCAL KXErrorPtr
  minsExecuteQuery(const std::string& pstrSQL, const Variant& pvntParameters,
                   std::shared_ptr<ado::Recordset>* pinsRecordset, int32_t& plngRecordsAffected);
  KX4DATA_LOCAL void minsAddParameters(ado::Command& command, const Variant& pvntParameters) const;
  [[nodiscard]] KX4DATA_LOCAL KXErrorPtr minsCheckConnection(bool& opened);
  // Opens a connection with `pinsConnVars`; on success closes the current
  // one and adopts it.  Neither stores nor keeps the settings.
  [[nodiscard]] KX4DATA_LOCAL KXErrorPtr
  SetConnection(std::shared_ptr<clsConnectionVariables> pinsConnVars);
  [[nodiscard]] KX4DATA_LOCAL KXErrorPtr
  minsOpenConnection(int16_t& pintDBVersion, std::shared_ptr<ado::Connection>& pvntConnection,
                     const std::shared_ptr<clsConnectionVariables>& pinsConnVars);

  std::shared_ptr<ado::Connection> connection_;
  std::unique_ptr<AccessPolicies> allowed_policies_;
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
