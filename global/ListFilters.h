// Pieces of the filter conditions that the filtered lists of DataGlobal
// build from the elements of a caller's filter array.  Each throws
// RuntimeError for an element it cannot convert.
#ifndef KX4DATA_GLOBAL_LISTFILTERS_H_
#define KX4DATA_GLOBAL_LISTFILTERS_H_

#include <string>

#include <kx4data/Variant.h>

namespace kx4 {

// "Active = 1 AND " for 1, "Active = 0 AND " for 2, "" for anything else
// (Null and text that is no number included).
std::string ActivityCondition(const Variant& element);
// The element's text as a prefix pattern literal, upper- or lower-cased as a
// whole: N'HP%', n'jo[_]%'.  The empty text gives NULL, which matches nothing.
std::string UpperPattern(const Variant& element);
std::string LowerPattern(const Variant& element);
// The element's text when it is a decimal 32-bit number (an optional minus
// and digits, nothing else), for a key placed into a statement unquoted;
// anything else throws RuntimeError (type mismatch).
std::string KeyText(const Variant& element);

}  // namespace kx4

#endif  // KX4DATA_GLOBAL_LISTFILTERS_H_
