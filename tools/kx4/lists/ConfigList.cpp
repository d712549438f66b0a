// "kx4 config list": DataGlobal::GetConfigurationList.
#include <kx4data/DataGlobal.h>

#include "tools/kx4/Lists.h"

namespace kx4::cli {
namespace {

const ListRegistration registration(
    Unfiltered("config", "List configurations by name, with their track option and unit",
               [](KXData& session, std::shared_ptr<ado::Recordset>& configs) {
                 return DataGlobal().GetConfigurationList(session, configs);
               }));

}  // namespace
}  // namespace kx4::cli
