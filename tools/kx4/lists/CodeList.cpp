// "kx4 code list": DataGlobal::GetValidatedValueList with its filters.
#include <kx4data/DataGlobal.h>

#include <CLI/CLI.hpp>

#include "tools/kx4/Lists.h"

namespace kx4::cli {
namespace {

const ListRegistration registration({
    "code",
    "List billing codes by code",
    [](CLI::App& list) -> ListCommand::Fetch {
      struct Filters {
        bool active = false;
        bool inactive = false;
        std::optional<std::string> code;
        std::optional<std::string> description;
      };
      auto filters = std::make_shared<Filters>();
      auto* only_active = list.add_flag("--active", filters->active, "Only active codes");
      list.add_flag("--inactive", filters->inactive, "Only inactive codes")->excludes(only_active);
      list.add_option("--code", filters->code, "Only codes that start with this text");
      list.add_option("--description", filters->description,
                      "Only descriptions that start with this text");
      return [filters](KXData& session, std::shared_ptr<ado::Recordset>& codes) {
        auto text = [](const std::optional<std::string>& value) {
          return value ? Variant(*value) : Variant::Null();
        };
        const Variant activity = filters->active     ? Variant(int16_t{1})
                                 : filters->inactive ? Variant(int16_t{2})
                                                     : Variant::Null();
        return DataGlobal().GetValidatedValueList(
            session, codes,
            Variant(VariantArray{activity, text(filters->code), text(filters->description)}));
      };
    },
    {},
});

}  // namespace
}  // namespace kx4::cli
