// Constants of the record sets and fields hosts read, and the run-time error
// numbers of failed calls, with the numbers callers know them by.
#ifndef KX4DATA_ADO_TYPES_H_
#define KX4DATA_ADO_TYPES_H_

#include <cstdint>

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

enum ObjectStateEnum : int32_t { adStateClosed = 0, adStateOpen = 1 };
enum CursorLocationEnum : int32_t { adUseServer = 2, adUseClient = 3 };

// Run-time error numbers the objects raise (the provider's HRESULTs).
inline constexpr int32_t kErrProviderFailure = -2147467259;     // 0x80004005
inline constexpr int32_t kErrCommandFailed = -2147217900;       // 0x80040E14
inline constexpr int32_t kErrTimeout = -2147217871;             // 0x80040E31
inline constexpr int32_t kErrIntegrityViolation = -2147217873;  // 0x80040E2F, constraint refused
inline constexpr int32_t kErrTransaction = -2147168237;         // 0x8004D013, transaction state
inline constexpr int32_t kErrObjectClosed = 3704;               // operation needs an open object
inline constexpr int32_t kErrItemNotFound = 3265;               // no such field
inline constexpr int32_t kErrNoCurrentRecord = 3021;            // BOF or EOF

}  // namespace kx4::ado

#endif  // KX4DATA_ADO_TYPES_H_
