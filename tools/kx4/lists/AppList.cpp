// "kx4 app list": DataGlobal::GetApplicationList.
#include <kx4data/DataGlobal.h>

#include "tools/kx4/Lists.h"

namespace kx4::cli {
namespace {

const ListRegistration registration(Unfiltered("app", "List tracked applications by name",
                                               [](KXData& session,
                                                  std::shared_ptr<ado::Recordset>& apps) {
                                                 return DataGlobal().GetApplicationList(session,
                                                                                        apps);
                                               }));

}  // namespace
}  // namespace kx4::cli
