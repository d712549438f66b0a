// Constants of the library's own data-access objects (connections, commands,
// the opening of record sets), with the numbers ADO gives them.
#ifndef KX4DATA_DATAACCESS_TYPES_H_
#define KX4DATA_DATAACCESS_TYPES_H_

#include <cstdint>
#include <string>

#include <kx4data/ado/Types.h>

namespace kx4::ado {

enum ConnectModeEnum : int32_t {
  adModeUnknown = 0,
  adModeRead = 1,
  adModeWrite = 2,
  adModeReadWrite = 3,
};

enum CommandTypeEnum : int32_t { adCmdText = 1 };
enum ParameterDirectionEnum : int32_t { adParamInput = 1 };
enum CursorTypeEnum : int32_t { adOpenForwardOnly = 0, adOpenStatic = 3 };
enum LockTypeEnum : int32_t { adLockReadOnly = 1 };
inline constexpr int32_t adOptionUnspecified = -1;

// One entry of a connection's Errors collection.
struct ProviderError {
  int32_t NativeError = 0;  // the server's own number, in SQL Server's numbering
  std::string Description;
  std::string SQLState;
  std::string Source;
};

}  // namespace kx4::ado

#endif  // KX4DATA_DATAACCESS_TYPES_H_
