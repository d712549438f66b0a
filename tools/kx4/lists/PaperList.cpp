// "kx4 paper list": DataGlobal::GetPaperTypeList, in list order.
#include <kx4data/DataGlobal.h>

#include <CLI/CLI.hpp>

#include "tools/kx4/Lists.h"

namespace kx4::cli {
namespace {

const ListRegistration registration({
    "paper",
    "List paper types in list order",
    [](CLI::App& list) -> ListCommand::Fetch {
      auto active_only = std::make_shared<bool>(false);
      list.add_flag("--active", *active_only, "Only active paper types");
      return [active_only](KXData& session, std::shared_ptr<ado::Recordset>& papers) {
        return DataGlobal().GetPaperTypeList(session, papers, *active_only);
      };
    },
    {},
});

}  // namespace
}  // namespace kx4::cli
