// Pieces of statement execution that stand on their own.
#ifndef KX4DATA_SESSION_QUERYEXECUTION_H_
#define KX4DATA_SESSION_QUERYEXECUTION_H_

#include <kx4data/Variant.h>

namespace kx4 {

namespace ado {
class Command;
}

// Appends one input parameter per element of a parameter array, from the
// lower to the upper bound, named "Par" + index and typed by the element's
// variant type.  Anything but an array binds nothing.
void AddParameters(ado::Command& command, const Variant& pvntParameters);

}  // namespace kx4

#endif  // KX4DATA_SESSION_QUERYEXECUTION_H_
