// "kx4 printer list": DataGlobal::GetPrinterList, with each configuration's name.
#include <kx4data/DataGlobal.h>

#include "tools/kx4/Lists.h"

namespace kx4::cli {
namespace {

const ListRegistration registration(
    Unfiltered("printer", "List printers by name, with their configuration",
               [](KXData& session, std::shared_ptr<ado::Recordset>& printers) {
                 return DataGlobal().GetPrinterList(session, printers);
               }));

}  // namespace
}  // namespace kx4::cli
