#include <kx4data/AppTrack.h>

#include <kx4data/KXData.h>
#include <kx4data/ado/Recordset.h>

#include "records/RecordCommon.h"
#include "records/TransactionGuard.h"
#include "session/Common.h"
#include "session/Security.h"
#include "session/Text.h"

namespace kx4 {

void AppTrack::SetName(const std::string& value) {
  name_ = TrimSpaces(value);
}

void AppTrack::SetDescription(const std::string& value) {
  description_ = TrimSpaces(value);
}

KXErrorPtr AppTrack::Load(int32_t plngId, KXData& pinsData) {
  id_ = plngId;
  std::shared_ptr<ado::Recordset> rs;
  if (KXErrorPtr error = pinsData.ExecuteSQL(rs, BuildLoadSQL(pinsData.OwnerPrefix())))
    return error;
  if (IsEmpty(*rs)) {
    rs->Close();
    return MakeError("Could not find application with id: " + std::to_string(plngId),
                     KXError::kIconStop, erRecordExpected);
  }
  // Both texts are stored as NULL when empty, so both load through FieldValue;
  // reading the name directly would make an unnamed application unloadable.
  const Variant kText(static_cast<int32_t>(vbString));
  name_ = FieldValue(rs->Fields("Name"), kText).ToString();
  description_ = FieldValue(rs->Fields("Description"), kText).ToString();
  track_option_id_ = rs->Fields("TrackOptionId").Value().ToLong();
  rs->Close();
  return nullptr;
}

KXErrorPtr AppTrack::Save(KXData& pinsData) {
  if (KXErrorPtr error = CheckMethodAccess(pinsData, kxsAdmin))
    return error;
  if (id_ == -1)
    return Insert(pinsData);
  int32_t affected = 0;
  return pinsData.ExecuteNoRecords(BuildUpdateSQL(pinsData.OwnerPrefix()), affected);
}

KXErrorPtr AppTrack::Delete(KXData& pinsData) {
  if (KXErrorPtr error = CheckMethodAccess(pinsData, kxsAdmin))
    return error;
  if (id_ == -1)
    return MakeError("Id not specified.", KXError::kIconStop, erUnknown);
  int32_t affected = 0;
  return pinsData.ExecuteNoRecords(BuildDeleteSQL(pinsData.OwnerPrefix()), affected);
}

KXErrorPtr AppTrack::Insert(KXData& pinsData) {
  return InsertReturningNewId(pinsData, BuildInsertSQL(pinsData.OwnerPrefix()), Variant::Null(),
                              id_);
}

std::string AppTrack::BuildLoadSQL(const std::string& prefix) const {
  return "SELECT ApplicationId, Name, Description, TrackOptionId FROM " + prefix +
         "tblApplications WHERE ApplicationId = " + std::to_string(id_);
}

std::string AppTrack::BuildUpdateSQL(const std::string& prefix) const {
  return "UPDATE " + prefix + "tblApplications SET Name = " + QuoteSQL(name_) +
         ", Description = " + QuoteSQL(description_) +
         ", TrackOptionid = " + std::to_string(track_option_id_) +
         " WHERE ApplicationId = " + std::to_string(id_);
}

std::string AppTrack::BuildInsertSQL(const std::string& prefix) const {
  return "SET NOCOUNT ON INSERT INTO " + prefix +
         "tblApplications (Name, Description, TrackOptionId) VALUES (" + QuoteSQL(name_) + ", " +
         QuoteSQL(description_) + ", " + std::to_string(track_option_id_) +
         ") SELECT @@IDENTITY AS NewId SET NOCOUNT OFF";
}

std::string AppTrack::BuildDeleteSQL(const std::string& prefix) const {
  return "DELETE FROM " + prefix + "tblApplications WHERE ApplicationId = " + std::to_string(id_);
}

}  // namespace kx4
