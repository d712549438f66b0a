// Pieces every record class uses to build its statements and read results.
#ifndef KX4DATA_RECORDS_RECORDCOMMON_H_
#define KX4DATA_RECORDS_RECORDCOMMON_H_

#include <cstdint>
#include <memory>
#include <string>

#include <kx4data/KXError.h>
#include <kx4data/ado/Recordset.h>

namespace kx4 {

class KXData;

// A flag as statements write it: the 16-bit boolean, "-1" or "0".
inline std::string FlagSQL(bool value) {
  return value ? "-1" : "0";
}
// An optional key: "NULL" below 1, else its decimal text.
inline std::string IdOrNullSQL(int32_t id) {
  return id < 1 ? "NULL" : std::to_string(id);
}
// A text field of the current row; NULL reads as the empty text.
std::string TextField(const ado::Recordset& rs, const char* name);
// Runs a load's SELECT.  Null with `rs` on the row to read (the caller
// closes it); the session's error; or, when no row came back,
// erRecordExpected with `pstrNotFound` (icon 16) and `rs` closed.
[[nodiscard]] KXErrorPtr SelectRow(KXData& pinsData, const std::string& pstrSQL,
                                   const std::string& pstrNotFound,
                                   std::shared_ptr<ado::Recordset>& rs);
// True when the record set holds no row (at its beginning and its end).
inline bool IsEmpty(const ado::Recordset& rs) {
  return rs.Bof() && rs.Eof();
}
// A percentage modifier as it is stored: the value minus 100 (100 is
// neutral).
inline std::string StoredModifier(int16_t modifier) {
  return std::to_string(int32_t{modifier} - 100);
}
// Null when `modifier` minus 100 fits the 16-bit column; otherwise the error
// "<refused>: <which> <modifier> is below -32668, ..." (icon 16), to be
// returned before anything runs.
[[nodiscard]] KXErrorPtr CheckStorableModifier(int16_t modifier, const std::string& refused,
                                               const std::string& which);
// Turns the server's duplicate-key failure (2601) into the record's own
// refusal: erDataValueExists, `message`, icon 48, Number kept.  Any other
// result passes unchanged.
void MarkDuplicate(const KXErrorPtr& result, const std::string& message);
// A caller's id list for "IN (...)": decimal ids separated by commas, blanks
// allowed around them, at least one.  Null when acceptable, else an error that
// says what is wrong; nothing of the list ever reaches a statement unchecked.
[[nodiscard]] KXErrorPtr ValidateIdList(const std::string& pstrIds);

}  // namespace kx4

#endif  // KX4DATA_RECORDS_RECORDCOMMON_H_
