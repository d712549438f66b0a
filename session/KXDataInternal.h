// The session's internal members, for the library's own classes: record
// classes, DataGlobal and the login dialog run their statements and reach the
// connection settings through here.  Not installed; hosts cannot call these.
#ifndef KX4DATA_SESSION_KXDATAINTERNAL_H_
#define KX4DATA_SESSION_KXDATAINTERNAL_H_

#include <cstdint>
#include <memory>
#include <string>

#include <kx4data/KXData.h>
#include <kx4data/KXError.h>
#include <kx4data/Variant.h>

namespace kx4 {

class KXDataInternal {
 public:
  // The user of the last successful GetAuthorization with a PIN, or null.
  static const std::shared_ptr<User>& AuthorizedUser(const KXData& pinsData) {
    return pinsData.AuthorizedUser();
  }
  static void SetConnectionVariables(KXData& pinsData,
                                     std::shared_ptr<clsConnectionVariables> value) {
    pinsData.SetConnectionVariables(std::move(value));
  }
  static const std::shared_ptr<clsConnectionVariables>& ConnectionVariables(
      const KXData& pinsData) {
    return pinsData.ConnectionVariables();
  }
  // Placed in front of every table name; always empty here.
  static std::string OwnerPrefix(const KXData& pinsData) { return pinsData.OwnerPrefix(); }

  // A statement that returns no rows; `plngRecordsAffected` takes the rows it
  // changed.
  [[nodiscard]] static KXErrorPtr ExecuteNoRecords(KXData& pinsData, const std::string& pstrSQL,
                                                   const Variant& pvntParameters,
                                                   int32_t& plngRecordsAffected) {
    return pinsData.ExecuteNoRecords(pstrSQL, pvntParameters, plngRecordsAffected);
  }
  [[nodiscard]] static KXErrorPtr ExecuteNoRecords(KXData& pinsData, const std::string& pstrSQL,
                                                   int32_t& plngRecordsAffected) {
    return pinsData.ExecuteNoRecords(pstrSQL, Variant::Null(), plngRecordsAffected);
  }
  // A statement that returns rows, as a disconnected record set; on error the
  // record set is null or closed and must not be used.
  [[nodiscard]] static KXErrorPtr ExecuteSQL(KXData& pinsData,
                                             std::shared_ptr<ado::Recordset>& pinsRecordset,
                                             const std::string& pstrSQL,
                                             const Variant& pvntParameters = Variant()) {
    return pinsData.ExecuteSQL(pinsRecordset, pstrSQL, pvntParameters);
  }
  // Tries `pinsConnVars`; on success the session adopts the new connection.
  // Neither stores nor keeps the settings.
  [[nodiscard]] static KXErrorPtr SetConnection(
      KXData& pinsData, std::shared_ptr<clsConnectionVariables> pinsConnVars) {
    return pinsData.SetConnection(std::move(pinsConnVars));
  }

  // For the tests' peer: grant a policy without authorising, and look at the
  // session's connection.
  static void AddSecurity(KXData& pinsData, int32_t policy) { pinsData.minsAddSecurity(policy); }
  static const std::shared_ptr<ado::Connection>& Connection(const KXData& pinsData) {
    return pinsData.connection_;
  }
};

}  // namespace kx4

#endif  // KX4DATA_SESSION_KXDATAINTERNAL_H_
