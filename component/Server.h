// What registration writes, for the server and its tests.
#ifndef KX4DATA_COMPONENT_SERVER_H_
#define KX4DATA_COMPONENT_SERVER_H_

#include <string>
#include <vector>

namespace kx4::component {

// A text value `name` ("" the default value) of `key`, a path below
// HKEY_CLASSES_ROOT.
struct RegistryEntry {
  std::string key;
  std::string name;
  std::string data;
};

// Every value DllRegisterServer writes, in writing order: for each creatable
// class its identifier key (server path, threading model, programmatic
// identifier, type library, version) and its programmatic identifier key;
// each interface; the type library.
std::vector<RegistryEntry> RegistrationEntries();

}  // namespace kx4::component

#endif  // KX4DATA_COMPONENT_SERVER_H_
