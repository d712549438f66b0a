// The public enumerations of the library; values are part of the interface.
// Each has a 32-bit underlying type, so every 32-bit number a caller passes
// converts to it (KXSecurity{0}, KXErrors{-7}) and keeps its value.
#ifndef KX4DATA_KXENUMS_H_
#define KX4DATA_KXENUMS_H_

#include <cstdint>

#include <kx4data/Export.h>

namespace kx4 {

enum KXErrors : int32_t {
  erUnknown = 0,
  erDataValueExists = 1,
  erChildrenExist = 2,
  erInvalidPasswordLength = 3,
  erInvalidPassword = 4,
  erDefaultRequired = 5,
  erDefaultExists = 6,
  erRecordExpected = 7,
  erActionCancelled = 8,
  erInvalidSecurity = 9,
  erNoDatabaseDefined = 11,
  erDatabaseConnection = 12,
};

enum KXSecurity : int32_t {
  kxsAdmin = 1,
  kxsReporterAll = 2,
  kxsReporterOwn = 3,
  kxsWriteJob = 4,
};

enum KXReportSecurity : int32_t {
  kxrNone = 0,
  kxrOwnData = 1,
  kxrAllData = 2,
};

enum KXTrackStatus : int32_t {
  kxtPopup = 1,
  kxtTrackOnly = 2,
  kxtIgnore = 3,
  kxtAbortJob = 4,
  kxtEndJobMax = 5,
  kxtEndJobQuota = 6,
};

enum KXUnitTypes : int32_t {
  kxuPages = 1,
  kxuSqFeet = 2,
};

enum KXAccountingStatus : int32_t {
  kxaNotAccounted = 0,
  kxaPending = 1,
  kxaAccounted = 2,
};

enum KXDataAccessType : int32_t {
  kxdAccess = 0,
  kxdSQLServer = 1,
  kxdOracle = 2,
};

// Carries the enumerations; it has no members of its own.
class KX4DATA_API KXEnums {};

}  // namespace kx4

#endif  // KX4DATA_KXENUMS_H_
