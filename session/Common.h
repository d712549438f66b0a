// The library's shared procedures: SQL literal builders, the null-safe field
// reader, the error log and the wrappers of the outside cipher library.
#ifndef KX4DATA_SESSION_COMMON_H_
#define KX4DATA_SESSION_COMMON_H_

#include <optional>
#include <string>

#include <kx4data/DateTime.h>
#include <kx4data/Variant.h>

namespace kx4 {

namespace ado {
class Field;
}

// N'text' with apostrophes doubled, "NULL" for the empty text; the prefix
// pattern of BuildLikePattern when `pblnLike` is true.
std::string QuoteSQL(const std::string& pstrValue, bool pblnLike = false);
// N'text%' with "_" and "[" enclosed in brackets.
std::string BuildLikePattern(const std::string& text);
// CAST('Mmm dd, yyyy hh:mm:ss' AS smalldatetime)
Variant DateToSQL(DateTime date);

// The field's value, or a default by its type when it is null; `pvntType` 8
// asks for the empty text, any other given value for 0.
Variant FieldValue(const ado::Field& pinsField, const std::optional<Variant>& pvntType = {});

// Appends one quoted record to "error.log" in the folder of the kx4data
// library file ($KX4_LOG_DIR when set).  A log that cannot be written is
// reported once on standard error and never fails the caller.
void WriteErrorLog(const std::string& text);

// Through kx4utils in the common folder; the empty text on any failure.
std::string EncipherText(const std::string& pstrText, const std::string& pstrKey);
std::string DecipherText(const std::string& pstrText, const std::string& pstrKey);

// The "common" folder beside or above the kx4data library file that holds
// libkx4utils.so, searched once per thread.
std::string CommonFolder();
// Folder of the file that holds this code: libkx4data.so, or the program
// that links the library's objects directly (the tests).
std::string LibraryFolder();
bool FileExists(const std::string& path);

}  // namespace kx4

#endif  // KX4DATA_SESSION_COMMON_H_
