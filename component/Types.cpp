// The generated C++ classes of the interfaces, as the run-time types of the
// component's objects.
#include <kx4data/KXDataAccess.h>

#include <typeinfo>

#include <iterator>

#include "component/VTable.h"

namespace kx4::component {

const std::type_info& InterfaceType(InterfaceIndex index) {
  static const std::type_info* const kTypes[] = {
      &typeid(_KXError),
      &typeid(_KXEnums),
      &typeid(_Settings),
      &typeid(_User),
      &typeid(_ValidatedValue),
      &typeid(_Printer),
      &typeid(_PaperType),
      &typeid(_Configuration),
      &typeid(_AppTrack),
      &typeid(_Accounting),
      &typeid(_KXData),
      &typeid(_PrintJob),
      &typeid(_DataGlobal),
      &typeid(_Recordset),
      &typeid(_Fields),
      &typeid(_Field),
      &typeid(_PaperTypeCollection),
  };
  static_assert(std::size(kTypes) == kInterfaceCount);
  return *kTypes[index];
}

}  // namespace kx4::component
