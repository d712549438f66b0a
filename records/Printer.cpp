#include <kx4data/Printer.h>

#include <kx4data/KXData.h>
#include <kx4data/ado/Recordset.h>

#include "records/RecordCommon.h"
#include "records/TransactionGuard.h"
#include "session/Common.h"
#include "session/KXDataInternal.h"
#include "session/Security.h"
#include "session/Text.h"

namespace kx4 {
namespace {

std::string BuildLoadSQL(const std::string& prefix, const Printer& printer) {
  return "SELECT Name, Port, ConfigurationId FROM " + prefix +
         "tblPrinters WHERE PrinterId = " + std::to_string(printer.Id());
}

std::string BuildLoadByPortSQL(const std::string& prefix, const Printer& printer) {
  return "SELECT PrinterId, Name, Port, ConfigurationId FROM " + prefix +
         "tblPrinters WHERE UPPER(Port) = " + QuoteSQL(UCase(printer.Port()));
}

std::string BuildPortCountSQL(const std::string& prefix, const Printer& printer) {
  return "SELECT COUNT(*) AS PortCount FROM " + prefix +
         "tblPrinters WHERE UPPER(Port) = " + QuoteSQL(UCase(printer.Port())) +
         " AND PrinterId <> " + std::to_string(printer.Id());
}

std::string BuildUpdateSQL(const std::string& prefix, const Printer& printer) {
  return "UPDATE " + prefix + "tblPrinters SET Port = " + QuoteSQL(printer.Port()) +
         ", Name = " + QuoteSQL(printer.Name()) +
         ", ConfigurationId = " + std::to_string(printer.ConfigurationId()) +
         " WHERE PrinterId = " + std::to_string(printer.Id());
}

std::string BuildInsertSQL(const std::string& prefix, const Printer& printer) {
  return "SET NOCOUNT ON INSERT INTO " + prefix +
         "tblPrinters (Name, Port, ConfigurationId) VALUES (" + QuoteSQL(printer.Name()) + ", " +
         QuoteSQL(printer.Port()) + ", " + std::to_string(printer.ConfigurationId()) +
         ")SELECT @@IDENTITY As NewId SET NOCOUNT OFF";
}

std::string BuildDeleteSQL(const std::string& prefix, const Printer& printer) {
  return "DELETE FROM " + prefix + "tblPrinters WHERE PrinterId = " + std::to_string(printer.Id());
}

std::string BuildBatchUpdateSQL(const std::string& prefix, const Printer& printer,
                                const std::string& pstrIds) {
  return "UPDATE " + prefix +
         "tblPrinters SET ConfigurationId = " + std::to_string(printer.ConfigurationId()) +
         " WHERE PrinterId IN (" + pstrIds + ")";
}

}  // namespace

void Printer::SetName(const std::string& value) {
  name_ = TrimSpaces(value);
}

KXErrorPtr Printer::Load(KXData& pinsData, int32_t plngId) {
  id_ = plngId;
  std::shared_ptr<ado::Recordset> rs;
  if (KXErrorPtr error =
          SelectRow(pinsData, BuildLoadSQL(KXDataInternal::OwnerPrefix(pinsData), *this),
                    "Expected printer with id: " + std::to_string(plngId), rs))
    return error;
  port_ = TextField(*rs, "Port");
  name_ = TextField(*rs, "Name");
  configuration_id_ = rs->Fields("ConfigurationId").Value().ToLong();
  rs->Close();
  return nullptr;
}

KXErrorPtr Printer::LoadByPort(KXData& pinsData, const std::string& pstrPort) {
  port_ = pstrPort;
  std::shared_ptr<ado::Recordset> rs;
  if (KXErrorPtr error =
          SelectRow(pinsData, BuildLoadByPortSQL(KXDataInternal::OwnerPrefix(pinsData), *this),
                    "Could not find printer with port " + port_, rs))
    return error;
  id_ = rs->Fields("PrinterId").Value().ToLong();
  name_ = TextField(*rs, "Name");
  configuration_id_ = rs->Fields("ConfigurationId").Value().ToLong();
  rs->Close();
  return nullptr;
}

KXErrorPtr Printer::Save(KXData& pinsData) {
  if (KXErrorPtr error = CheckMethodAccess(pinsData, kxsAdmin))
    return error;
  const std::string prefix = KXDataInternal::OwnerPrefix(pinsData);
  // The count and the write are separate statements; two callers saving the
  // same port at the same moment are not guarded against.
  std::shared_ptr<ado::Recordset> rs;
  if (KXErrorPtr error = KXDataInternal::ExecuteSQL(pinsData, rs, BuildPortCountSQL(prefix, *this)))
    return error;
  int32_t port_count = rs->Fields("PortCount").Value().ToLong();
  rs->Close();
  if (port_count > 0) {
    return MakeError("The printer " + port_ + " already exists in the database.",
                     KXError::kIconExclamation, erDataValueExists);
  }
  if (id_ == -1)
    return InsertReturningNewId(pinsData, BuildInsertSQL(prefix, *this), Variant::Null(), id_);
  int32_t affected = 0;
  return KXDataInternal::ExecuteNoRecords(pinsData, BuildUpdateSQL(prefix, *this), affected);
}

KXErrorPtr Printer::Delete(KXData& pinsData) {
  if (KXErrorPtr error = CheckMethodAccess(pinsData, kxsAdmin))
    return error;
  int32_t affected = 0;
  return KXDataInternal::ExecuteNoRecords(
      pinsData, BuildDeleteSQL(KXDataInternal::OwnerPrefix(pinsData), *this), affected);
}

KXErrorPtr Printer::BatchUpdate(KXData& pinsData, const std::string& pstrIds) {
  if (KXErrorPtr error = CheckMethodAccess(pinsData, kxsAdmin))
    return error;
  // The list goes into the statement as it stands, so only ids and commas
  // may reach it.
  if (KXErrorPtr error = ValidateIdList(pstrIds))
    return error;
  int32_t affected = 0;
  return KXDataInternal::ExecuteNoRecords(
      pinsData, BuildBatchUpdateSQL(KXDataInternal::OwnerPrefix(pinsData), *this, pstrIds),
      affected);
}

}  // namespace kx4
