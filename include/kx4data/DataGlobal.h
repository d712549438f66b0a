// The global query object: lists, counts, maintenance, the global switches
// and the settings object.  It holds no state; every data member runs its
// statements through the session passed as `pinsData`.
#ifndef KX4DATA_DATAGLOBAL_H_
#define KX4DATA_DATAGLOBAL_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <kx4data/DateTime.h>
#include <kx4data/Export.h>
#include <kx4data/KXEnums.h>
#include <kx4data/KXError.h>
#include <kx4data/Variant.h>

namespace kx4 {

namespace ado {
class Recordset;
}  // namespace ado

class KXData;
class Settings;

class KX4DATA_API DataGlobal {
 public:
  // The loaded settings row in `pinsSettings`, or null with the error.
  [[nodiscard]] KXErrorPtr GetSettings(KXData& pinsData, std::shared_ptr<Settings>& pinsSettings);

  // The application security switches of the settings row.  Both outputs are
  // optional: leave out the trailing ones, or pass std::nullopt for the first
  // to read only the viewer's.  On failure neither output changes.
  [[nodiscard]] KXErrorPtr GetAppSecurity(KXData& pinsData);
  [[nodiscard]] KXErrorPtr GetAppSecurity(KXData& pinsData, bool& pblnSecureAdmin);
  [[nodiscard]] KXErrorPtr GetAppSecurity(KXData& pinsData, bool& pblnSecureAdmin,
                                          bool& pblnSecureViewer);
  [[nodiscard]] KXErrorPtr GetAppSecurity(KXData& pinsData, std::nullopt_t, bool& pblnSecureViewer);
  // Refuses to secure the administration program while no user holds
  // administrator rights; then neither switch changes.
  [[nodiscard]] KXErrorPtr SetAppSecurity(KXData& pinsData, bool pblnSecureAdmin,
                                          bool pblnSecureViewer);

  // --- Lists ---
  // Each list lands in its out parameter also when the statement fails (then
  // null or closed): test the error first.  Text filters are prefixes
  // compared without regard to case: "%" in them is a wildcard, "_" and "["
  // are literal, and an empty text matches nothing.  Filter arrays are read
  // by absolute index (0 up to the highest index the list reads, which must
  // all exist); a Null element switches its filter off.  An array that lacks
  // an index read, or an element that cannot be converted, is a failed call
  // (RuntimeError) and no statement runs.

  // Every paper type (only the active ones when `pblnActiveOnly`) in list
  // order: PaperTypeId, Description, Modifier (the default price modifier in
  // percent), Active, DefaultType, ListPosition.
  [[nodiscard]] KXErrorPtr GetPaperTypeList(KXData& pinsData,
                                            std::shared_ptr<ado::Recordset>& pinsPaperTypeList,
                                            bool pblnActiveOnly = false);
  // Validated values by code: ValidatedId, Code, Description, Modifier,
  // Active.  Filters: 0 activity (1 active only, 2 inactive only, anything
  // else all), 1 code prefix, 2 description prefix.  Empty or Null lists
  // them all; a value that is no array is a failed call.
  [[nodiscard]] KXErrorPtr GetValidatedValueList(KXData& pinsData,
                                                 std::shared_ptr<ado::Recordset>& pinsValueList,
                                                 const Variant& pvntParameters = Variant());
  // Administrators only (else the access error and a null list): users by
  // name with UserId, PinCode (enciphered), Name, UseQuota, QuotaRemaining,
  // Active, AdminSecurity, ReportSecurity.  Filters: 0 activity as for
  // validated values, 1 name prefix; a value that is no array lists all.
  [[nodiscard]] KXErrorPtr GetUserList(KXData& pinsData,
                                       std::shared_ptr<ado::Recordset>& pinsUserList,
                                       const Variant& pvntParameters = Variant());
  // The distinct network users of the recorded jobs (NetworkUser).
  [[nodiscard]] KXErrorPtr GetNetworkUserList(KXData& pinsData,
                                              std::shared_ptr<ado::Recordset>& pinsUserList);
  // Recorded jobs in print order with their validated value, user and unit.
  // Reporters with the all-data right see every job; reporters with only
  // the own-data right see the jobs of the session's authorised user and
  // none when no user was authorised (an empty list, no error).  Without
  // either right: the access error, and the list is left as passed.
  // Filters (indexes 0 to 7, all required when an array is given; anything
  // else filters nothing):
  //   0 validated value id (a whole 32-bit number, else a failed call)
  //   1 printer name or port prefix   2 network user prefix
  //   3 from date and time            4 to date, its whole day included
  //   5 user name prefix (all-data right only; jobs without user drop out)
  //   6, 7 user-defined field prefixes
  // Columns: ValueCode, ValueDescription, UserName, NetworkUser (lower
  // case), ComputerName, ProcessName, PrinterName, PrinterPort (upper case),
  // PaperType, Document, Pages, Copies, PageWidth, PageHeight, PaperSize,
  // Color, CostPerUnit, UnitMeasureId, UnitDesc, DatePrinted, UserOne,
  // UserTwo; "Unknown" or "<NONE>" for what a job lacks.  Jobs whose unit
  // does not exist are not listed.
  [[nodiscard]] KXErrorPtr GetJobList(KXData& pinsData,
                                      std::shared_ptr<ado::Recordset>& pinsJobList,
                                      const Variant& pvntParameters = Variant());
  // Configurations by name, inactive ones included, with their track option
  // and unit: ConfigurationId, Name, TrackOptionId, TrackDesc, UnitMeasureId,
  // UnitMeasure, UnitCost, MaxPages, Modifier.
  [[nodiscard]] KXErrorPtr GetConfigurationList(KXData& pinsData,
                                                std::shared_ptr<ado::Recordset>& pinsConfigList);
  // UnitMeasureId, Name, UnitDisplay, ReportDisplay, in the engine's order.
  [[nodiscard]] KXErrorPtr GetUnitMeasureList(KXData& pinsData,
                                              std::shared_ptr<ado::Recordset>& pinsUnitMeasureList);
  // Printers by name whose configuration exists: PrinterId, Name, Port,
  // ConfigurationId, ConfigName.
  [[nodiscard]] KXErrorPtr GetPrinterList(KXData& pinsData,
                                          std::shared_ptr<ado::Recordset>& pinsPrinterList);
  // The distinct printer names of the recorded jobs (PrinterName).
  [[nodiscard]] KXErrorPtr GetJobPrinterList(KXData& pinsData,
                                             std::shared_ptr<ado::Recordset>& pinsPrinterList);
  // Tracked applications by name: ApplicationId, Name, Description,
  // TrackOptionId.
  [[nodiscard]] KXErrorPtr GetApplicationList(KXData& pinsData,
                                              std::shared_ptr<ado::Recordset>& pinsAppList);

  // --- Maintenance and counts ---
  // Administrators only: deletes the jobs printed from `pdtmFromDate` up to
  // but not including `pdtmToDate`, both to the minute (seconds round to the
  // nearest minute).  A from date after the to date is refused and nothing
  // is deleted; equal dates delete nothing.
  [[nodiscard]] KXErrorPtr PurgeJobs(KXData& pinsData, DateTime pdtmFromDate, DateTime pdtmToDate);
  // The number of active validated values or paper types; 0 with the error
  // when the count fails.
  [[nodiscard]] KXErrorPtr GetValidatedValueCount(KXData& pinsData, int32_t& plngValueCount);
  [[nodiscard]] KXErrorPtr GetPaperTypeCount(KXData& pinsData, int32_t& plngPaperCount);
  // The global application-tracking switch of the settings row, kept for the
  // product's other programs.  Setting it needs administrator rights; on a
  // failed read `pblnIgnore` stays as it was.
  [[nodiscard]] KXErrorPtr SetApplicationTrack(KXData& pinsData, bool pblnIgnore);
  [[nodiscard]] KXErrorPtr GetApplicationTrack(KXData& pinsData, bool& pblnIgnore);

  // Always kxdSQLServer: the statements are written in its dialect.
  KXDataAccessType DataAccessType() const { return kxdSQLServer; }
  // This component's version as "major.minor.revision" (4.1.14).
  std::string DataVersion() const;
  // The installed product's version: the text value "Version" of
  // HKEY_LOCAL_MACHINE\Software\Kestrix 4.0, empty when the key or the
  // value is missing or holds no text.
  std::string ProductVersion() const;
};

}  // namespace kx4

#endif  // KX4DATA_DATAGLOBAL_H_
