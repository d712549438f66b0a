// "kx4 user list": DataGlobal::GetUserList with its activity and name filters.
#include <kx4data/DataGlobal.h>

#include <CLI/CLI.hpp>

#include "tools/kx4/Lists.h"

namespace kx4::cli {
namespace {

constexpr int16_t kActiveOnly = 1;
constexpr int16_t kInactiveOnly = 2;

const ListRegistration registration({
    "user",
    "List users by name (needs administrator rights)",
    [](CLI::App& list) -> ListCommand::Fetch {
      auto active = std::make_shared<bool>(false);
      auto inactive = std::make_shared<bool>(false);
      auto name = std::make_shared<std::string>();
      auto* only_active = list.add_flag("--active", *active, "Only active users");
      list.add_flag("--inactive", *inactive, "Only inactive users")->excludes(only_active);
      auto* prefix = list.add_option("--name", *name, "Only names that start with this text");
      return [active, inactive, name, prefix](KXData& session,
                                              std::shared_ptr<ado::Recordset>& users) {
        const Variant activity = *active     ? Variant(kActiveOnly)
                                 : *inactive ? Variant(kInactiveOnly)
                                             : Variant::Null();
        const Variant filter(
            VariantArray{activity, prefix->count() > 0 ? Variant(*name) : Variant::Null()});
        return DataGlobal().GetUserList(session, users, filter);
      };
    },
    {"PinCode"},
});

}  // namespace
}  // namespace kx4::cli
