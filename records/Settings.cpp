#include <kx4data/Settings.h>

#include <kx4data/KXData.h>
#include <kx4data/ado/Recordset.h>

#include "records/RecordCommon.h"
#include "session/Common.h"
#include "session/KXDataInternal.h"
#include "session/Security.h"
#include "session/Text.h"

namespace kx4 {

namespace {

constexpr const char* kNotFoundMessage =
    "Kestrix could not find your settings information. Please contact your technical support.";

std::string BuildLoadSettingsSQL(const std::string& prefix) {
  return std::string(
             "SELECT UserValidation, UseValidatedField, ValidatedFieldName, "
             "AllowShutdown, AllowCostOverride, CapturePrintToFile, ") +
         "UnlistedPrinterConfigId, Field1Use, Field1Name, Field2Use, Field2Name, DisplayIcon, "
         "ShowCost, " +
         "CancelMaxPage, AllowBatch, MaxBatch, BatchDuration, UseLastEntries, Version " + "FROM " +
         prefix + "tblSettings";
}

// No WHERE clause: the table holds one row, and a damaged one with more has
// them all overwritten alike.
std::string BuildSaveSettingsSQL(const std::string& prefix, const Settings& s) {
  return "UPDATE " + prefix + "tblSettings SET " +
         "UserValidation = " + FlagSQL(s.UserValidation()) + ", " +
         "UseValidatedField = " + FlagSQL(s.UseValidatedField()) + ", " +
         "ValidatedFieldName = " + QuoteSQL(s.ValidatedFieldName()) + ", " +
         "AllowShutdown = " + FlagSQL(s.AllowShutdown()) + ", " +
         "CapturePrintToFile = " + FlagSQL(s.CapturePrintToFile()) + ", " +
         "Field1Use = " + FlagSQL(s.UseFieldOne()) + ", " +
         "Field1Name = " + QuoteSQL(s.FieldOneName()) + ", " +
         "Field2Use = " + FlagSQL(s.UseFieldTwo()) + ", " +
         "Field2Name = " + QuoteSQL(s.FieldTwoName()) + ", " +
         "AllowCostOverride = " + FlagSQL(s.AllowCostOverride()) + ", " +
         "DisplayIcon = " + FlagSQL(s.DisplayTrayIcon()) + ", " +
         "ShowCost = " + FlagSQL(s.ShowCost()) + ", " +
         "CancelMaxPage = " + FlagSQL(s.CancelMaxPage()) + ", " +
         "AllowBatch = " + FlagSQL(s.AllowBatch()) + ", " +
         "MaxBatch = " + std::to_string(s.MaxBatch()) + ", " +
         "UseLastEntries = " + FlagSQL(s.UseLastEntries()) + ", " +
         "BatchDuration = " + std::to_string(s.BatchDuration());
}

}  // namespace

void Settings::SetValidatedFieldName(const std::string& value) {
  validated_field_name_ = TrimSpaces(value);
}

KXErrorPtr Settings::Save(KXData& pinsData) {
  if (KXErrorPtr error = CheckMethodAccess(pinsData, kxsAdmin))
    return error;
  int32_t affected = 0;
  return KXDataInternal::ExecuteNoRecords(
      pinsData, BuildSaveSettingsSQL(KXDataInternal::OwnerPrefix(pinsData), *this), affected);
}

KXErrorPtr Settings::LoadSettings(KXData& pinsData) {
  std::shared_ptr<ado::Recordset> rs;
  if (KXErrorPtr error = KXDataInternal::ExecuteSQL(
          pinsData, rs, BuildLoadSettingsSQL(KXDataInternal::OwnerPrefix(pinsData))))
    return error;
  KXErrorPtr result;
  if (!IsEmpty(*rs)) {
    allow_shutdown_ = rs->Fields("AllowShutdown").Value().ToBoolean();
    use_field_one_ = rs->Fields("Field1Use").Value().ToBoolean();
    use_field_two_ = rs->Fields("Field2Use").Value().ToBoolean();
    capture_print_to_file_ = rs->Fields("CapturePrintToFile").Value().ToBoolean();
    field_one_name_ = FieldValue(rs->Fields("Field1Name")).ToString();
    field_two_name_ = FieldValue(rs->Fields("Field2Name")).ToString();
    allow_cost_override_ = rs->Fields("AllowCostOverride").Value().ToBoolean();
    display_tray_icon_ = rs->Fields("DisplayIcon").Value().ToBoolean();
    show_cost_ = rs->Fields("ShowCost").Value().ToBoolean();
    cancel_max_page_ = rs->Fields("CancelMaxPage").Value().ToBoolean();
    allow_batch_ = rs->Fields("AllowBatch").Value().ToBoolean();
    max_batch_ = rs->Fields("MaxBatch").Value().ToInteger();
    batch_duration_ = rs->Fields("BatchDuration").Value().ToInteger();
    db_version_ = rs->Fields("Version").Value().ToInteger();
    use_last_entries_ = rs->Fields("UseLastEntries").Value().ToBoolean();
    user_validation_ = rs->Fields("UserValidation").Value().ToBoolean();
    use_validated_field_ = rs->Fields("UseValidatedField").Value().ToBoolean();
    validated_field_name_ = FieldValue(rs->Fields("ValidatedFieldName")).ToString();
  } else {
    result = MakeError(kNotFoundMessage, KXError::kIconStop);
  }
  rs->Close();
  return result;
}

}  // namespace kx4
