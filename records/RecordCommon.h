// Pieces every record class uses to build its statements and read results.
#ifndef KX4DATA_RECORDS_RECORDCOMMON_H_
#define KX4DATA_RECORDS_RECORDCOMMON_H_

#include <cstdint>
#include <string>

#include <kx4data/KXError.h>
#include <kx4data/ado/Recordset.h>

namespace kx4 {

// A flag as statements write it: the 16-bit boolean, "-1" or "0".
inline std::string FlagSQL(bool value) {
  return value ? "-1" : "0";
}
// An optional key: "NULL" below 1, else its decimal text.
inline std::string IdOrNullSQL(int32_t id) {
  return id < 1 ? "NULL" : std::to_string(id);
}
// True when the record set holds no row (at its beginning and its end).
inline bool IsEmpty(const ado::Recordset& rs) {
  return rs.Bof() && rs.Eof();
}
// A caller's id list for "IN (...)": decimal ids separated by commas, blanks
// allowed around them, at least one.  Null when acceptable, else an error that
// says what is wrong; nothing of the list ever reaches a statement unchecked.
[[nodiscard]] KXErrorPtr ValidateIdList(const std::string& pstrIds);

}  // namespace kx4

#endif  // KX4DATA_RECORDS_RECORDCOMMON_H_
