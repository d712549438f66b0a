// Constants of the data-access objects, with the numbers callers know them by.
#ifndef KX4DATA_ADO_TYPES_H_
#define KX4DATA_ADO_TYPES_H_

#include <cstdint>
#include <string>

namespace kx4::ado {

enum DataTypeEnum : int32_t {
  adEmpty = 0,
  adSmallInt = 2,
  adInteger = 3,
  adSingle = 4,
  adDouble = 5,
  adCurrency = 6,
  adDate = 7,
  adBSTR = 8,
  adBoolean = 11,
  adVariant = 12,
  adTinyInt = 16,
  adUnsignedTinyInt = 17,
  adBigInt = 20,
  adFileTime = 64,
  adNumeric = 131,
  adChar = 129,
  adWChar = 130,
  adDBDate = 133,
  adDBTime = 134,
  adDBTimeStamp = 135,
  adDBFileTime = 137,
  adPropVariant = 138,
  adVarChar = 200,
  adLongVarChar = 201,
  adVarWChar = 202,
  adLongVarWChar = 203,
};

enum ConnectModeEnum : int32_t {
  adModeUnknown = 0,
  adModeRead = 1,
  adModeWrite = 2,
  adModeReadWrite = 3,
};

enum ObjectStateEnum : int32_t { adStateClosed = 0, adStateOpen = 1 };
enum CommandTypeEnum : int32_t { adCmdText = 1 };
enum ParameterDirectionEnum : int32_t { adParamInput = 1 };
enum CursorLocationEnum : int32_t { adUseServer = 2, adUseClient = 3 };
enum CursorTypeEnum : int32_t { adOpenForwardOnly = 0, adOpenStatic = 3 };
enum LockTypeEnum : int32_t { adLockReadOnly = 1 };
inline constexpr int32_t adOptionUnspecified = -1;

// Run-time error numbers the objects raise (the provider's HRESULTs).
inline constexpr int32_t kErrProviderFailure = -2147467259;     // 0x80004005
inline constexpr int32_t kErrCommandFailed = -2147217900;       // 0x80040E14
inline constexpr int32_t kErrTimeout = -2147217871;             // 0x80040E31
inline constexpr int32_t kErrIntegrityViolation = -2147217873;  // 0x80040E2F, constraint refused
inline constexpr int32_t kErrTransaction = -2147168237;         // 0x8004D013, transaction state
inline constexpr int32_t kErrObjectClosed = 3704;               // operation needs an open object
inline constexpr int32_t kErrItemNotFound = 3265;               // no such field
inline constexpr int32_t kErrNoCurrentRecord = 3021;            // BOF or EOF

// One entry of a connection's Errors collection.
struct ProviderError {
  int32_t NativeError = 0;  // the server's own number, in SQL Server's numbering
  std::string Description;
  std::string SQLState;
  std::string Source;
};

}  // namespace kx4::ado

#endif  // KX4DATA_ADO_TYPES_H_
