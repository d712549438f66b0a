// The one description of the component boundary: the library identity, every
// class, its default interface, each member in virtual-table order with its
// kind, dispatch identifier and parameters, and the helper interfaces that
// hand out record sets and collections.  The adapters are checked against it
// at compile time, the virtual tables are built from it, and the type
// description (KXDataAccess.idl) and the C header (KXDataAccess.h) are
// generated from it at build time.
//
// Only the standard library is used here: the generator includes this file.
#ifndef KX4DATA_COMPONENT_CLASSTABLE_H_
#define KX4DATA_COMPONENT_CLASSTABLE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

namespace kx4::component {

// What a member is: a property get, a property let, or a function (a sub
// when its type is kVoid).
enum class Kind : uint8_t { kGet, kLet, kMethod };

// Types at the boundary.  kEnum is a 32-bit enumeration named by the type
// name; kObject an interface pointer named by it.
enum class Type : uint8_t {
  kVoid,
  kBool,
  kI2,
  kI4,
  kCy,
  kDate,
  kText,
  kVariant,
  kEnum,
  kObject,
  kUnknown,
};

// Parameter flags.  kByRef passes a pointer to the caller's storage; kOut
// writes a value back there; kOptional may be left out (a missing Variant
// is VT_ERROR with DISP_E_PARAMNOTFOUND, a missing typed parameter takes
// its default).
inline constexpr uint8_t kIn = 0;
inline constexpr uint8_t kByRef = 1;
inline constexpr uint8_t kOut = 2;
inline constexpr uint8_t kOptional = 4;

struct Param {
  const char* name = nullptr;
  Type type = Type::kVoid;
  uint8_t flags = kIn;
  const char* type_name = nullptr;      // enumeration or interface
  const char* default_value = nullptr;  // IDL text of an optional typed parameter
};

inline constexpr size_t kMaxParams = 5;

struct Member {
  const char* name = nullptr;
  Kind kind = Kind::kMethod;
  int32_t dispid = 0;
  Type type = Type::kVoid;  // the property's type, or the function's result
  const char* type_name = nullptr;
  std::array<Param, kMaxParams> params{};
  size_t param_count = 0;
};

constexpr int32_t P(int32_t n) {
  return 0x68030000 + n;
}
constexpr int32_t F(int32_t n) {
  return 0x60030000 + n;
}

// Helpers that keep the rows below to one line each.
constexpr Member Get(const char* name, int32_t dispid, Type type, const char* type_name = nullptr,
                     std::initializer_list<Param> params = {}) {
  Member m{name, Kind::kGet, dispid, type, type_name};
  for (const Param& p : params)
    m.params[m.param_count++] = p;
  return m;
}
constexpr Member Let(const char* name, int32_t dispid, Type type, const char* type_name = nullptr) {
  return Member{name, Kind::kLet, dispid, type, type_name};
}
constexpr Member Fn(const char* name, int32_t dispid, Type type, const char* type_name,
                    std::initializer_list<Param> params = {}) {
  Member m{name, Kind::kMethod, dispid, type, type_name};
  for (const Param& p : params)
    m.params[m.param_count++] = p;
  return m;
}
constexpr Member Sub(const char* name, int32_t dispid, std::initializer_list<Param> params = {}) {
  return Fn(name, dispid, Type::kVoid, nullptr, params);
}

// Shorthands for the types that recur.
inline constexpr Type kBool = Type::kBool;
inline constexpr Type kI2 = Type::kI2;
inline constexpr Type kI4 = Type::kI4;
inline constexpr Type kCy = Type::kCy;
inline constexpr Type kDate = Type::kDate;
inline constexpr Type kText = Type::kText;
inline constexpr Type kVariant = Type::kVariant;
inline constexpr Type kEnum = Type::kEnum;
inline constexpr Type kObject = Type::kObject;

// The session every data operation takes, by reference.
inline constexpr Param kSession{"pinsData", kObject, kByRef, "_KXData"};
// A record set handed back through an in/out parameter.
constexpr Param RecordsetOut(const char* name) {
  return Param{name, kObject, kByRef | kOut, "_Recordset"};
}
// A data operation: returns the error object, null on success.
constexpr Member Op(const char* name, int32_t dispid, std::initializer_list<Param> params) {
  return Fn(name, dispid, kObject, "_KXError", params);
}

// --- Library identity ---

struct Library {
  const char* name;
  const char* libid;
  uint16_t major;
  uint16_t minor;
  uint32_t lcid;
  const char* description;
  const char* file_version;
  const char* version_text;
  const char* threading_model;
  const char* progid_prefix;
};

inline constexpr Library kLibrary{"KXDataAccess",
                                  "c65ec81a-f367-42a2-a660-fb8ab26880af",
                                  1,
                                  2,
                                  0x409,
                                  "Kestrix SQL Server Access",
                                  "4.1.0.14",
                                  "4.01.0014",
                                  "Apartment",
                                  "KXDataAccess."};

// --- Interfaces, members in virtual-table order after the seven entries of
// IUnknown and IDispatch ---

inline constexpr Member kKXErrorMembers[] = {
    Let("Message", P(3), kText),
    Get("Message", P(3), kText),
    Let("Number", P(2), kI4),
    Get("Number", P(2), kI4),
    Let("IconType", P(1), kI2),
    Get("IconType", P(1), kI2),
    Sub("Display", F(4)),
    Get("KXErrorNumber", P(0), kEnum, "KXErrors"),
    Let("KXErrorNumber", P(0), kEnum, "KXErrors"),
};

inline constexpr Member kSettingsMembers[] = {
    Let("FieldOneName", P(17), kText),
    Get("FieldOneName", P(17), kText),
    Let("FieldTwoName", P(16), kText),
    Get("FieldTwoName", P(16), kText),
    Let("UseFieldOne", P(15), kBool),
    Get("UseFieldOne", P(15), kBool),
    Let("UseFieldTwo", P(14), kBool),
    Get("UseFieldTwo", P(14), kBool),
    Let("AllowShutdown", P(13), kBool),
    Get("AllowShutdown", P(13), kBool),
    Let("AllowCostOverride", P(12), kBool),
    Get("AllowCostOverride", P(12), kBool),
    Let("DisplayTrayIcon", P(11), kBool),
    Get("DisplayTrayIcon", P(11), kBool),
    Let("ShowCost", P(10), kBool),
    Get("ShowCost", P(10), kBool),
    Let("CancelMaxPage", P(9), kBool),
    Get("CancelMaxPage", P(9), kBool),
    Let("AllowBatch", P(8), kBool),
    Get("AllowBatch", P(8), kBool),
    Get("DBVersion", P(7), kI2),
    Let("MaxBatch", P(6), kI2),
    Get("MaxBatch", P(6), kI2),
    Let("BatchDuration", P(5), kI2),
    Get("BatchDuration", P(5), kI2),
    Let("UseLastEntries", P(4), kBool),
    Get("UseLastEntries", P(4), kBool),
    Let("UserValidation", P(3), kBool),
    Get("UserValidation", P(3), kBool),
    Let("UseValidatedField", P(2), kBool),
    Get("UseValidatedField", P(2), kBool),
    Let("ValidatedFieldName", P(1), kText),
    Get("ValidatedFieldName", P(1), kText),
    Let("CapturePrintToFile", P(0), kBool),
    Get("CapturePrintToFile", P(0), kBool),
    Op("Save", F(19), {kSession}),
};

inline constexpr Member kUserMembers[] = {
    Let("Id", P(8), kI4),
    Get("Id", P(8), kI4),
    Let("PinCode", P(7), kText),
    Let("Name", P(6), kText),
    Get("Name", P(6), kText),
    Let("UseQuota", P(5), kBool),
    Get("UseQuota", P(5), kBool),
    Let("QuotaRemaining", P(4), kCy),
    Get("QuotaRemaining", P(4), kCy),
    Let("Active", P(3), kBool),
    Get("Active", P(3), kBool),
    Let("AdminSecurity", P(2), kBool),
    Get("AdminSecurity", P(2), kBool),
    Let("ReportSecurity", P(1), kEnum, "KXReportSecurity"),
    Get("ReportSecurity", P(1), kEnum, "KXReportSecurity"),
    Get("Authorized", P(0), kBool),
    Op("BatchUpdate", F(10), {kSession, {"pstrIds", kText}}),
    Op("Load", F(11), {kSession, {"plngId", kI4}}),
    Op("Save", F(13), {kSession}),
    Op("Delete", F(14), {kSession}),
};

inline constexpr Member kValidatedValueMembers[] = {
    Let("Description", P(4), kText),
    Get("Description", P(4), kText),
    Let("Code", P(3), kText),
    Get("Code", P(3), kText),
    Let("Active", P(2), kBool),
    Get("Active", P(2), kBool),
    Let("CostModifier", P(1), kI2),
    Get("CostModifier", P(1), kI2),
    Op("BatchUpdate", F(5), {kSession, {"pstrIds", kText}}),
    Op("Save", F(6), {kSession}),
    Get("Id", P(0), kI4),
    Let("Id", P(0), kI4),
    Op("Delete", F(12), {kSession}),
    Op("Load", F(13), {kSession, {"plngId", kI4}}),
    Op("LoadByCode", F(14), {kSession, {"pstrCode", kText}}),
};

inline constexpr Member kPrinterMembers[] = {
    Let("Id", P(3), kI4),
    Get("Id", P(3), kI4),
    Let("Name", P(2), kText),
    Get("Name", P(2), kText),
    Let("Port", P(1), kText),
    Get("Port", P(1), kText),
    Let("ConfigurationId", P(0), kI4),
    Get("ConfigurationId", P(0), kI4),
    Op("Load", F(5), {kSession, {"plngId", kI4}}),
    Op("LoadByPort", F(6), {kSession, {"pstrPort", kText}}),
    Op("Save", F(7), {kSession}),
    Op("Delete", F(8), {kSession}),
    Op("BatchUpdate", F(9), {kSession, {"pstrIds", kText}}),
};

inline constexpr Member kPaperTypeMembers[] = {
    Let("Id", P(6), kI4),
    Get("Id", P(6), kI4),
    Let("Description", P(5), kText),
    Get("Description", P(5), kText),
    Let("Active", P(4), kBool),
    Get("Active", P(4), kBool),
    Let("DefaultType", P(3), kBool),
    Get("DefaultType", P(3), kBool),
    Let("Position", P(2), kI4),
    Get("Position", P(2), kI4),
    Let("InCurrentConfig", P(1), kBool),
    Get("InCurrentConfig", P(1), kBool),
    Op("Load", F(7), {kSession, {"plngId", kI4}}),
    Op("Save", F(8), {kSession}),
    Op("ChangeOrder", F(19), {kSession, {"pintDirection", kI2}}),
    Op("Delete", F(20), {kSession}),
    Let("CostModifier", P(0), kI2),
    Get("CostModifier", P(0), kI2),
};

inline constexpr Member kConfigurationMembers[] = {
    Let("Name", P(10), kText),
    Get("Name", P(10), kText),
    Get("TrackOptionId", P(9), kEnum, "KXTrackStatus"),
    Let("TrackOptionId", P(9), kEnum, "KXTrackStatus"),
    Let("UnitMeasureId", P(8), kI4),
    Get("UnitMeasureId", P(8), kI4),
    Get("UnitDesc", P(7), kText),
    Let("UnitCost", P(6), kCy),
    Get("UnitCost", P(6), kCy),
    Let("MaxPages", P(5), kI2),
    Get("MaxPages", P(5), kI2),
    Let("ColorModifier", P(4), kI2),
    Get("ColorModifier", P(4), kI2),
    Let("Active", P(3), kBool),
    Get("Active", P(3), kBool),
    Let("Id", P(2), kI4),
    Get("Id", P(2), kI4),
    Get("PaperTypes", P(1), kObject, "_PaperTypeCollection"),
    Let("MaxError", P(0), kText),
    Get("MaxError", P(0), kText),
    Op("Save", F(11), {kSession}),
    Op("SetAsUnlistedPrinterConfig", F(13), {kSession}),
    Op("Load", F(14), {kSession, {"plngId", kI4}}),
    Op("LoadUnlistedPrinterConfig", F(15), {kSession}),
    Op("Delete", F(17), {kSession}),
    Op("ResetPaperTypes", F(18), {kSession}),
};

inline constexpr Member kAppTrackMembers[] = {
    Let("Id", P(3), kI4),
    Get("Id", P(3), kI4),
    Let("Name", P(2), kText),
    Get("Name", P(2), kText),
    Let("Description", P(1), kText),
    Get("Description", P(1), kText),
    Let("TrackOptionId", P(0), kEnum, "KXTrackStatus"),
    Get("TrackOptionId", P(0), kEnum, "KXTrackStatus"),
    Op("Load", F(4), {{"plngId", kI4}, kSession}),
    Op("Save", F(5), {kSession}),
    Op("Delete", F(6), {kSession}),
};

inline constexpr Member kAccountingMembers[] = {
    Get("DateAccounted", P(0), kDate),
    Op("ClearLastRun", F(1), {kSession}),
    Op("MarkJobsAsPending", F(2), {kSession}),
    Op("GetPendingJobs", F(3), {kSession, RecordsetOut("pinsJobs")}),
    Op("MarkJobsAsDone", F(4), {kSession}),
    Op("ClearPendingJobs", F(5), {kSession}),
};

inline constexpr Member kKXDataMembers[] = {
    Let("Caller", P(4), kText),
    Get("Caller", P(4), kText),
    Let("InTransaction", P(3), kBool),
    Get("InTransaction", P(3), kBool),
    Let("ReadOnly", P(1), kBool),
    Get("ReadOnly", P(1), kBool),
    Get("DBVersion", P(0), kI2),
    Fn("CheckSecurity", F(6), kBool, nullptr, {{"pintPolicy", kEnum, kIn, "KXSecurity"}}),
    Op("GetAuthorization", F(7),
       {{"pstrPinCode", kText, kOptional, nullptr, "\"\""},
        {"pinsUser", kObject, kByRef | kOut | kOptional, "_User"}}),
    Op("ExecuteReportSQL", F(8),
       {RecordsetOut("pinsReturnRecordset"),
        {"pstrSQL", kText},
        {"pvntParameters", kVariant, kByRef | kOptional}}),
    Op("BeginTrans", F(11), {}),
    Op("CommitTrans", F(12), {}),
    Op("RollbackTrans", F(13), {}),
    Op("DataValueExists", F(18),
       {{"pblnValueExists", kBool, kByRef | kOut},
        {"pstrTable", kText},
        {"pstrField", kText},
        {"pvntToCompare", kVariant, kByRef},
        {"pblnCaseSensitive", kBool, kOptional, nullptr, "0"}}),
    Op("EstablishConnection", F(19), {{"pblnSuppressLogin", kVariant, kOptional}}),
    Sub("CloseConnection", F(20)),
    Sub("SaveConnectionSettings", F(21)),
    Op("ChangeConnection", F(22), {}),
    Get("AllUsersOnly", P(24), kBool),
    Let("AllUsersOnly", P(24), kBool),
    Get("DatabaseInfo", P(23), kText),
};

inline constexpr Member kPrintJobMembers[] = {
    Let("ValidatedValueId", P(22), kI4),
    Get("ValidatedValueId", P(22), kI4),
    Let("NetworkUser", P(21), kText),
    Get("NetworkUser", P(21), kText),
    Let("PrinterName", P(20), kText),
    Get("PrinterName", P(20), kText),
    Let("Port", P(19), kText),
    Get("Port", P(19), kText),
    Let("Document", P(18), kText),
    Get("Document", P(18), kText),
    Let("UnitMeasureId", P(17), kI4),
    Get("UnitMeasureId", P(17), kI4),
    Let("CostPerUnit", P(16), kCy),
    Get("CostPerUnit", P(16), kCy),
    Let("DatePrinted", P(15), kDate),
    Get("DatePrinted", P(15), kDate),
    Let("UserDefinedOne", P(14), kText),
    Get("UserDefinedOne", P(14), kText),
    Let("UserDefinedTwo", P(13), kText),
    Get("UserDefinedTwo", P(13), kText),
    Let("MachineName", P(12), kText),
    Get("MachineName", P(12), kText),
    Let("ProcessName", P(11), kText),
    Get("ProcessName", P(11), kText),
    Let("PaperType", P(10), kText),
    Get("PaperType", P(10), kText),
    Let("Pages", P(9), kI2),
    Get("Pages", P(9), kI2),
    Let("Copies", P(8), kI2),
    Get("Copies", P(8), kI2),
    Let("PageWidth", P(7), kI4),
    Get("PageWidth", P(7), kI4),
    Let("PageHeight", P(6), kI4),
    Get("PageHeight", P(6), kI4),
    Let("PaperSize", P(5), kText),
    Get("PaperSize", P(5), kText),
    Let("Color", P(4), kBool),
    Get("Color", P(4), kBool),
    Let("UserId", P(3), kI4),
    Get("UserId", P(3), kI4),
    Let("ConfigName", P(2), kText),
    Get("ConfigName", P(2), kText),
    Let("PrintedToFile", P(1), kBool),
    Get("PrintedToFile", P(1), kBool),
    Let("TrackStatus", P(0), kEnum, "KXTrackStatus"),
    Get("TrackStatus", P(0), kEnum, "KXTrackStatus"),
    Op("Save", F(24), {kSession}),
};

inline constexpr Member kDataGlobalMembers[] = {
    Fn("DataAccessType", F(0), kEnum, "KXDataAccessType"),
    Fn("ProductVersion", F(1), kText, nullptr),
    Fn("DataVersion", F(2), kText, nullptr),
    Op("PurgeJobs", F(3), {kSession, {"pdtmFromDate", kDate}, {"pdtmToDate", kDate}}),
    Op("GetSettings", F(4), {kSession, {"pinsSettings", kObject, kByRef | kOut, "_Settings"}}),
    Op("GetValidatedValueCount", F(5), {kSession, {"plngValueCount", kI4, kByRef | kOut}}),
    Op("GetPaperTypeCount", F(6), {kSession, {"plngPaperCount", kI4, kByRef | kOut}}),
    Op("GetPaperTypeList", F(7),
       {kSession,
        RecordsetOut("pinsPaperTypeList"),
        {"pblnActiveOnly", kBool, kOptional, nullptr, "0"}}),
    Op("GetValidatedValueList", F(8),
       {kSession, RecordsetOut("pinsValueList"), {"pvntParameters", kVariant, kByRef | kOptional}}),
    Op("GetUserList", F(9),
       {kSession, RecordsetOut("pinsUserList"), {"pvntParameters", kVariant, kByRef | kOptional}}),
    Op("GetNetworkUserList", F(10), {kSession, RecordsetOut("pinsUserList")}),
    Op("GetJobList", F(11),
       {kSession, RecordsetOut("pinsJobList"), {"pvntParameters", kVariant, kByRef | kOptional}}),
    Op("GetConfigurationList", F(12), {kSession, RecordsetOut("pinsConfigList")}),
    Op("GetUnitMeasureList", F(13), {kSession, RecordsetOut("pinsUnitMeasureList")}),
    Op("GetPrinterList", F(14), {kSession, RecordsetOut("pinsPrinterList")}),
    Op("GetJobPrinterList", F(15), {kSession, RecordsetOut("pinsPrinterList")}),
    Op("GetApplicationList", F(16), {kSession, RecordsetOut("pinsAppList")}),
    Op("SetApplicationTrack", F(17), {kSession, {"pblnIgnore", kBool}}),
    Op("GetApplicationTrack", F(18), {kSession, {"pblnIgnore", kBool, kByRef | kOut}}),
    Op("GetAppSecurity", F(22),
       {kSession,
        {"pblnSecureAdmin", kBool, kByRef | kOut | kOptional},
        {"pblnSecureViewer", kBool, kByRef | kOut | kOptional}}),
    Op("SetAppSecurity", F(23),
       {kSession, {"pblnSecureAdmin", kBool}, {"pblnSecureViewer", kBool}}),
};

// Record sets, their fields and the paper-type collection: interfaces of
// objects the library hands out, never created by callers.
inline constexpr Member kRecordsetMembers[] = {
    Get("Fields", 0, kObject, "_Fields"),
    Get("BOF", 1, kBool),
    Get("EOF", 2, kBool),
    Get("RecordCount", 3, kI4),
    Get("State", 4, kI4),
    Sub("MoveFirst", 5),
    Sub("MoveNext", 6),
    Sub("MovePrevious", 7),
    Sub("MoveLast", 8),
    Sub("Close", 9),
};

inline constexpr Member kFieldsMembers[] = {
    Get("Item", 0, kObject, "_Field", {{"Index", kVariant}}),
    Get("Count", 1, kI4),
};

inline constexpr Member kFieldMembers[] = {
    Get("Value", 0, kVariant),
    Get("Name", 1, kText),
    Get("Type", 2, kI4),
};

inline constexpr Member kPaperTypeCollectionMembers[] = {
    Get("Item", 0, kObject, "_PaperType", {{"Index", kVariant}}),
    Get("Count", 1, kI4),
    Get("_NewEnum", -4, Type::kUnknown),
};

struct Interface {
  const char* name;
  const char* iid;
  std::span<const Member> members;
};

// Indexes into kInterfaces; the adapters name their interface by these.
enum InterfaceIndex : size_t {
  kIKXError,
  kIKXEnums,
  kISettings,
  kIUser,
  kIValidatedValue,
  kIPrinter,
  kIPaperType,
  kIConfiguration,
  kIAppTrack,
  kIAccounting,
  kIKXData,
  kIPrintJob,
  kIDataGlobal,
  kIRecordset,
  kIFields,
  kIField,
  kIPaperTypeCollection,
  kInterfaceCount,
};

inline constexpr Interface kInterfaces[] = {
    {"_KXError", "b590dc12-f688-43de-a41e-51a8052f277e", kKXErrorMembers},
    {"_KXEnums", "96bb27c1-8dd2-4e68-bb18-0d8a2e36eb91", {}},
    {"_Settings", "3b5e7dff-49a7-45de-9024-6eec3d087bd5", kSettingsMembers},
    {"_User", "aa639d8c-9aab-4dc8-9f64-b0d1c8df53ee", kUserMembers},
    {"_ValidatedValue", "b683722d-5e9b-4b27-9503-5d8da983a6cd", kValidatedValueMembers},
    {"_Printer", "140eef4e-7f0e-48d2-91fa-7e804029e49e", kPrinterMembers},
    {"_PaperType", "fe3be29c-b039-410c-8aa3-56858db0cb0e", kPaperTypeMembers},
    {"_Configuration", "79557a63-b634-431c-b350-f350ec89f744", kConfigurationMembers},
    {"_AppTrack", "ad6c3f64-eb42-41f1-a9d9-162c6d153637", kAppTrackMembers},
    {"_Accounting", "20240548-c7b5-4a40-bb6a-04b5daa8df9b", kAccountingMembers},
    {"_KXData", "536755f0-3a9e-4d7c-bd4a-6bd9057e373b", kKXDataMembers},
    {"_PrintJob", "261197aa-0901-4df0-8742-6665f0c741a6", kPrintJobMembers},
    {"_DataGlobal", "c3e151c0-07c7-452f-b7a4-43fd724ef047", kDataGlobalMembers},
    {"_Recordset", "5d1c8a3e-2b7f-4e61-9a0c-7f3e21b4c501", kRecordsetMembers},
    {"_Fields", "5d1c8a3e-2b7f-4e61-9a0c-7f3e21b4c502", kFieldsMembers},
    {"_Field", "5d1c8a3e-2b7f-4e61-9a0c-7f3e21b4c503", kFieldMembers},
    {"_PaperTypeCollection", "5d1c8a3e-2b7f-4e61-9a0c-7f3e21b4c504", kPaperTypeCollectionMembers},
};
static_assert(std::size(kInterfaces) == kInterfaceCount);

enum class Instancing : uint8_t {
  kCreatable,     // one object per creation
  kGlobal,        // predeclared, and creatable for late-bound callers
  kNotCreatable,  // handed out by the library only; no factory, no identifier
};

struct Class {
  const char* name;
  Instancing instancing;
  const char* clsid;
  InterfaceIndex interface;
};

inline constexpr Class kClasses[] = {
    {"KXError", Instancing::kCreatable, "c2ee6f5c-6b3e-4c45-a722-61519d00f7b6", kIKXError},
    {"KXEnums", Instancing::kGlobal, "cb512636-b049-4ec9-941f-acb82503f232", kIKXEnums},
    {"Settings", Instancing::kNotCreatable, "29df9588-22d8-44a2-a348-f9011cd132d4", kISettings},
    {"User", Instancing::kCreatable, "a4e3bbd5-8ad8-488f-8e78-c4d2c5958c81", kIUser},
    {"ValidatedValue", Instancing::kCreatable, "30e74aa4-d0a0-46d9-b20a-0206d36ad74f",
     kIValidatedValue},
    {"Printer", Instancing::kCreatable, "9c140ed9-3169-4f67-b2a3-8b8c2d16f34c", kIPrinter},
    {"PaperType", Instancing::kCreatable, "e750ad41-cabf-4706-8c03-e64a86133103", kIPaperType},
    {"Configuration", Instancing::kCreatable, "8e4b1ccf-902a-4f64-b52c-e1c3c7dbf5b2",
     kIConfiguration},
    {"AppTrack", Instancing::kCreatable, "d58aeb7d-c7ad-40d9-a30d-3a500732a7a7", kIAppTrack},
    {"Accounting", Instancing::kCreatable, "b6779d96-2376-416f-ab7a-2aa296ac5d31", kIAccounting},
    {"KXData", Instancing::kCreatable, "ca44464d-adcc-43d7-99c8-c818e820d64c", kIKXData},
    {"PrintJob", Instancing::kCreatable, "69d48e5f-2718-4395-8564-4a96596c098c", kIPrintJob},
    {"DataGlobal", Instancing::kGlobal, "f8832dc8-4e39-4aa9-8a4a-7557e354e11e", kIDataGlobal},
};

// The enumerations that cross the boundary, for the type description.
struct EnumValue {
  const char* name;
  int32_t value;
};
struct Enumeration {
  const char* name;
  std::span<const EnumValue> values;
};

inline constexpr EnumValue kKXDataAccessTypeValues[] = {
    {"kxdAccess", 0}, {"kxdSQLServer", 1}, {"kxdOracle", 2}};
inline constexpr EnumValue kKXAccountingStatusValues[] = {
    {"kxaNotAccounted", 0}, {"kxaPending", 1}, {"kxaAccounted", 2}};
inline constexpr EnumValue kKXTrackStatusValues[] = {{"kxtPopup", 1},     {"kxtTrackOnly", 2},
                                                     {"kxtIgnore", 3},    {"kxtAbortJob", 4},
                                                     {"kxtEndJobMax", 5}, {"kxtEndJobQuota", 6}};
inline constexpr EnumValue kKXReportSecurityValues[] = {
    {"kxrNone", 0}, {"kxrOwnData", 1}, {"kxrAllData", 2}};
inline constexpr EnumValue kKXUnitTypesValues[] = {{"kxuPages", 1}, {"kxuSqFeet", 2}};
inline constexpr EnumValue kKXErrorsValues[] = {{"erUnknown", 0},
                                                {"erDataValueExists", 1},
                                                {"erChildrenExist", 2},
                                                {"erInvalidPasswordLength", 3},
                                                {"erInvalidPassword", 4},
                                                {"erDefaultRequired", 5},
                                                {"erDefaultExists", 6},
                                                {"erRecordExpected", 7},
                                                {"erActionCancelled", 8},
                                                {"erInvalidSecurity", 9},
                                                {"erNoDatabaseDefined", 11},
                                                {"erDatabaseConnection", 12}};
inline constexpr EnumValue kKXSecurityValues[] = {
    {"kxsAdmin", 1}, {"kxsReporterAll", 2}, {"kxsReporterOwn", 3}, {"kxsWriteJob", 4}};

inline constexpr Enumeration kEnumerations[] = {
    {"KXDataAccessType", kKXDataAccessTypeValues},
    {"KXAccountingStatus", kKXAccountingStatusValues},
    {"KXTrackStatus", kKXTrackStatusValues},
    {"KXReportSecurity", kKXReportSecurityValues},
    {"KXUnitTypes", kKXUnitTypesValues},
    {"KXErrors", kKXErrorsValues},
    {"KXSecurity", kKXSecurityValues},
};

// --- Consistency of the table itself ---

constexpr bool NamesEqual(const char* a, const char* b) {
  return std::string_view(a) == std::string_view(b);
}

// A property's get and let share one identifier; two members with one
// identifier are such a pair; a let has no result beyond its value.
constexpr bool Consistent(const Interface& iface) {
  for (size_t i = 0; i < iface.members.size(); ++i) {
    const Member& a = iface.members[i];
    if (a.kind == Kind::kMethod && a.dispid >= 0x68030000)
      return false;
    for (size_t j = i + 1; j < iface.members.size(); ++j) {
      const Member& b = iface.members[j];
      const bool same_id = a.dispid == b.dispid;
      const bool same_name = NamesEqual(a.name, b.name);
      if (same_id != same_name)
        return false;
      if (same_id && (a.kind == b.kind || a.kind == Kind::kMethod || b.kind == Kind::kMethod ||
                      a.type != b.type))
        return false;
    }
  }
  return true;
}

constexpr bool AllConsistent() {
  for (const Interface& iface : kInterfaces) {
    if (!Consistent(iface))
      return false;
  }
  return true;
}
static_assert(AllConsistent(), "a member of the class table breaks the get/let pairing");

// Every class names its own interface: `_` + the class name.
constexpr bool ClassesNameTheirInterfaces() {
  for (const Class& c : kClasses) {
    const std::string_view iface = kInterfaces[c.interface].name;
    if (iface.size() < 2 || iface[0] != '_' || iface.substr(1) != c.name)
      return false;
  }
  return true;
}
static_assert(ClassesNameTheirInterfaces());

// --- Identifiers ---

struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  std::array<uint8_t, 8> data4{};
  constexpr bool operator==(const Guid&) const = default;
};

constexpr int HexDigit(char c) {
  return c >= '0' && c <= '9'   ? c - '0'
         : c >= 'a' && c <= 'f' ? c - 'a' + 10
         : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                : -1;
}

// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx".
constexpr Guid ParseGuid(std::string_view text) {
  uint8_t bytes[16]{};
  size_t n = 0;
  for (size_t i = 0; i < text.size() && n < 32; ++i) {
    if (text[i] == '-')
      continue;
    const int digit = HexDigit(text[i]);
    bytes[n / 2] = static_cast<uint8_t>(bytes[n / 2] | (n % 2 == 0 ? digit << 4 : digit));
    ++n;
  }
  Guid g;
  g.data1 = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
            bytes[3];
  g.data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
  g.data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
  for (size_t i = 0; i < 8; ++i)
    g.data4[i] = bytes[8 + i];
  return g;
}

constexpr bool WellFormedGuid(std::string_view text) {
  if (text.size() != 36)
    return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? text[i] != '-' : HexDigit(text[i]) < 0)
      return false;
  }
  return true;
}

constexpr bool AllGuidsWellFormed() {
  for (const Interface& iface : kInterfaces) {
    if (!WellFormedGuid(iface.iid))
      return false;
  }
  for (const Class& c : kClasses) {
    if (!WellFormedGuid(c.clsid))
      return false;
  }
  return WellFormedGuid(kLibrary.libid);
}
static_assert(AllGuidsWellFormed());

}  // namespace kx4::component

#endif  // KX4DATA_COMPONENT_CLASSTABLE_H_
