#include <kx4data/AppTrack.h>

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

std::string BuildLoadSQL(const std::string& prefix, const AppTrack& app) {
  return "SELECT ApplicationId, Name, Description, TrackOptionId FROM " + prefix +
         "tblApplications WHERE ApplicationId = " + std::to_string(app.Id());
}

std::string BuildUpdateSQL(const std::string& prefix, const AppTrack& app) {
  return "UPDATE " + prefix + "tblApplications SET Name = " + QuoteSQL(app.Name()) +
         ", Description = " + QuoteSQL(app.Description()) +
         ", TrackOptionid = " + std::to_string(app.TrackOptionId()) +
         " WHERE ApplicationId = " + std::to_string(app.Id());
}

std::string BuildInsertSQL(const std::string& prefix, const AppTrack& app) {
  return "SET NOCOUNT ON INSERT INTO " + prefix +
         "tblApplications (Name, Description, TrackOptionId) VALUES (" + QuoteSQL(app.Name()) +
         ", " + QuoteSQL(app.Description()) + ", " + std::to_string(app.TrackOptionId()) +
         ") SELECT @@IDENTITY AS NewId SET NOCOUNT OFF";
}

std::string BuildDeleteSQL(const std::string& prefix, const AppTrack& app) {
  return "DELETE FROM " + prefix +
         "tblApplications WHERE ApplicationId = " + std::to_string(app.Id());
}

}  // namespace

void AppTrack::SetName(const std::string& value) {
  name_ = TrimSpaces(value);
}

void AppTrack::SetDescription(const std::string& value) {
  description_ = TrimSpaces(value);
}

KXErrorPtr AppTrack::Load(int32_t plngId, KXData& pinsData) {
  id_ = plngId;
  std::shared_ptr<ado::Recordset> rs;
  if (KXErrorPtr error =
          SelectRow(pinsData, BuildLoadSQL(KXDataInternal::OwnerPrefix(pinsData), *this),
                    "Could not find application with id: " + std::to_string(plngId), rs))
    return error;
  // Both texts are stored as NULL when empty, so both load through FieldValue;
  // reading the name directly would make an unnamed application unloadable.
  const Variant kText(static_cast<int32_t>(vbString));
  name_ = FieldValue(rs->Fields("Name"), kText).ToString();
  description_ = FieldValue(rs->Fields("Description"), kText).ToString();
  track_option_id_ = KXTrackStatus{rs->Fields("TrackOptionId").Value().ToLong()};
  rs->Close();
  return nullptr;
}

KXErrorPtr AppTrack::Save(KXData& pinsData) {
  if (KXErrorPtr error = CheckMethodAccess(pinsData, kxsAdmin))
    return error;
  const std::string prefix = KXDataInternal::OwnerPrefix(pinsData);
  if (id_ == -1)
    return InsertReturningNewId(pinsData, BuildInsertSQL(prefix, *this), Variant::Null(), id_);
  int32_t affected = 0;
  return KXDataInternal::ExecuteNoRecords(pinsData, BuildUpdateSQL(prefix, *this), affected);
}

KXErrorPtr AppTrack::Delete(KXData& pinsData) {
  if (KXErrorPtr error = CheckMethodAccess(pinsData, kxsAdmin))
    return error;
  if (id_ == -1)
    return MakeError("Id not specified.", KXError::kIconStop, erUnknown);
  int32_t affected = 0;
  return KXDataInternal::ExecuteNoRecords(
      pinsData, BuildDeleteSQL(KXDataInternal::OwnerPrefix(pinsData), *this), affected);
}

}  // namespace kx4
