// Listing commands ("kx4 user list", ...) that call a list operation of the
// library's global query object.  Each lives in a file of its own under
// lists/ and registers itself here, so that the build decides which exist:
// tools/kx4/CMakeLists.txt names the ones the library can serve.
#ifndef KX4_TOOLS_KX4_LISTS_H_
#define KX4_TOOLS_KX4_LISTS_H_

#include <kx4data/KXError.h>
#include <kx4data/Variant.h>

#include <functional>
#include <memory>
#include <set>
#include <string>

namespace CLI {
class App;
}

namespace kx4 {
class KXData;
namespace ado {
class Recordset;
}
}  // namespace kx4

namespace kx4::cli {

class Context;

struct ListCommand {
  // The group it belongs to ("user") and the summary of its --help.
  std::string group;
  std::string summary;
  // Adds the command's filter options to `list`; returns the function that
  // fetches the list with them.
  using Fetch = std::function<KXErrorPtr(KXData&, std::shared_ptr<ado::Recordset>&)>;
  std::function<Fetch(CLI::App& list)> add_filters;
  // Columns never printed (the enciphered PIN codes of the user list).
  std::set<std::string> hidden;
};

// A listing without filters that prints every column.
ListCommand Unfiltered(std::string group, std::string summary,
                       std::function<KXErrorPtr(KXData&, std::shared_ptr<ado::Recordset>&)> fetch);

// Registers `command` while the program starts.
class ListRegistration {
 public:
  explicit ListRegistration(ListCommand command);
};

// Adds "list" to `group` when a listing command is registered for it.
void AddListCommand(CLI::App& group, Context& context);

}  // namespace kx4::cli

#endif  // KX4_TOOLS_KX4_LISTS_H_
