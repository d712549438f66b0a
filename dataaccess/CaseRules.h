// What every engine needs of the library's case rules: the columns whose
// uniqueness and lookups depend on them, and the failure that refuses a
// database without them.  Names, codes, descriptions and ports compare
// without regard to letter case (the library's own case table) and to
// trailing blanks, whatever the server's locale says.
#ifndef KX4DATA_DATAACCESS_CASERULES_H_
#define KX4DATA_DATAACCESS_CASERULES_H_

#include <cstdint>
#include <string_view>

#include "dataaccess/Engine.h"

namespace kx4::ado {

// The native number of a database that lacks the case rules.
inline constexpr int32_t kNativeUnsuitableDatabase = 50001;

struct TableColumn {
  std::string_view table;
  std::string_view column;
};

// A database whose columns among these do not follow the case rules is
// refused: duplicates would slip past its unique indexes and lookups would
// miss.
inline constexpr TableColumn kCaseInsensitiveKeys[] = {{"tblConfigurations", "Name"},
                                                       {"tblPaperTypes", "Description"},
                                                       {"tblValidatedValues", "Code"},
                                                       {"tblPrinters", "Port"},
                                                       {"tblUsers", "Name"}};

// The refusal of `database`; `reason` says what it lacks.
EngineError UnsuitableDatabase(std::string_view source, std::string_view database,
                               std::string_view reason);

}  // namespace kx4::ado

#endif  // KX4DATA_DATAACCESS_CASERULES_H_
