#include <kx4data/DataGlobal.h>

#include <kx4data/Settings.h>

#include "connection/clsRegistry.h"

namespace kx4 {

KXErrorPtr DataGlobal::GetSettings(KXData& pinsData, std::shared_ptr<Settings>& pinsSettings) {
  // The constructor is private to callers; make_shared cannot reach it.
  std::shared_ptr<Settings> settings(new Settings());
  KXErrorPtr error = settings->LoadSettings(pinsData);
  if (error) {
    pinsSettings = nullptr;
    return error;
  }
  pinsSettings = std::move(settings);
  return nullptr;
}

std::string DataGlobal::DataVersion() const {
  return std::to_string(KX4_VERSION_MAJOR) + "." + std::to_string(KX4_VERSION_MINOR) + "." +
         std::to_string(KX4_VERSION_REVISION);
}

std::string DataGlobal::ProductVersion() const {
  clsRegistry reg;
  reg.SetClassKey(registry::HKEY_LOCAL_MACHINE);
  reg.SetValueType(registry::REG_SZ);
  reg.SetSectionKey("Software\\Kestrix 4.0");
  const Variant version = reg.GetValueOrDefault("Version", Variant(""));
  // The installation writes text; a binary value has none to give.
  return version.IsArray() ? std::string() : version.ToString();
}

}  // namespace kx4
