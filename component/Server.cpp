// The in-process server: class factories, the four entry points, and the
// registration entries, written into HKEY_CLASSES_ROOT and removed again.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <kx4data/Accounting.h>
#include <kx4data/AppTrack.h>
#include <kx4data/Configuration.h>
#include <kx4data/DataGlobal.h>
#include <kx4data/KXData.h>
#include <kx4data/KXEnums.h>
#include <kx4data/KXError.h>
#include <kx4data/PaperType.h>
#include <kx4data/PrintJob.h>
#include <kx4data/Printer.h>
#include <kx4data/User.h>
#include <kx4data/ValidatedValue.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "component/Object.h"
#include "component/Server.h"
#include "registry/Hive.h"
#include "registry/HiveFile.h"
#include "registry/Registry.h"
#include "session/Common.h"

namespace kx4::component {

namespace {

// A new C++ object of a creatable class.
std::shared_ptr<void> NewTarget(InterfaceIndex index) {
  switch (index) {
    case kIKXError:
      return std::make_shared<KXError>();
    case kIKXEnums:
      return std::make_shared<KXEnums>();
    case kIUser:
      return std::make_shared<User>();
    case kIValidatedValue:
      return std::make_shared<ValidatedValue>();
    case kIPrinter:
      return std::make_shared<Printer>();
    case kIPaperType:
      return std::make_shared<PaperType>();
    case kIConfiguration:
      return std::make_shared<Configuration>();
    case kIAppTrack:
      return std::make_shared<AppTrack>();
    case kIAccounting:
      return std::make_shared<Accounting>();
    case kIKXData:
      return std::make_shared<KXData>();
    case kIPrintJob:
      return std::make_shared<PrintJob>();
    case kIDataGlobal:
      return std::make_shared<DataGlobal>();
    default:
      return nullptr;
  }
}

class ClassFactory final : public CountedUnknown<ClassFactory, IClassFactory> {
 public:
  static constexpr const IID& kIid = IID_IClassFactory;

  explicit ClassFactory(const Class& cls) : class_(cls) {}

  HRESULT CreateInstance(IUnknown* outer, const IID& riid, void** ppv) override {
    if (ppv == nullptr)
      return E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr)
      return CLASS_E_NOAGGREGATION;
    try {
      ObjectRef object = MakeObject(class_.interface, NewTarget(class_.interface));
      auto* unknown = reinterpret_cast<AnyUnknown*>(object.get());
      return unknown->vtbl->QueryInterface(unknown, &riid, ppv);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_FAIL;
    }
  }
  HRESULT LockServer(int32_t lock) override {
    LiveObjects().fetch_add(lock ? 1 : -1);
    return S_OK;
  }

 private:
  friend class CountedUnknown<ClassFactory, IClassFactory>;
  ~ClassFactory() = default;

  const Class& class_;
};

// --- Registration ---

std::string GuidText(const char* guid) {
  std::string text = "{";
  for (const char* c = guid; *c; ++c)
    text += static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
  return text + "}";
}

std::string LibraryFile() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) == 0 || !info.dli_fname)
    return std::string();
  const std::string file = info.dli_fname;
  const size_t slash = file.rfind('/');
  return LibraryFolder() + "/" + (slash == std::string::npos ? file : file.substr(slash + 1));
}

std::string VersionText() {
  return std::to_string(kLibrary.major) + "." + std::to_string(kLibrary.minor);
}

std::string LcidText() {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%x", kLibrary.lcid);
  return buffer;
}

}  // namespace

std::vector<RegistryEntry> RegistrationEntries() {
  const std::string library = LibraryFile();
  const std::string libid = GuidText(kLibrary.libid);
  const std::string version = VersionText();
  std::vector<RegistryEntry> entries;
  for (const Class& c : kClasses) {
    if (c.instancing == Instancing::kNotCreatable)
      continue;
    const std::string progid = std::string(kLibrary.progid_prefix) + c.name;
    const std::string key = "CLSID\\" + GuidText(c.clsid);
    entries.push_back({key, "", progid});
    entries.push_back({key + "\\InprocServer32", "", library});
    entries.push_back({key + "\\InprocServer32", "ThreadingModel", kLibrary.threading_model});
    entries.push_back({key + "\\ProgID", "", progid});
    entries.push_back({key + "\\TypeLib", "", libid});
    entries.push_back({key + "\\VERSION", "", version});
    entries.push_back({progid, "", progid});
    entries.push_back({progid + "\\CLSID", "", GuidText(c.clsid)});
  }
  for (const Interface& iface : kInterfaces) {
    const std::string key = std::string("Interface\\") + GuidText(iface.iid);
    entries.push_back({key, "", iface.name});
    entries.push_back({key + "\\TypeLib", "", libid});
    entries.push_back({key + "\\TypeLib", "Version", version});
  }
  const std::string typelib = "TypeLib\\" + libid + "\\" + version;
  const std::string folder = LibraryFolder();
  entries.push_back({typelib, "", kLibrary.description});
  entries.push_back(
      {typelib + "\\" + LcidText() + "\\linux64", "", folder + "/" + kLibrary.name + ".idl"});
  entries.push_back({typelib + "\\FLAGS", "", "0"});
  entries.push_back({typelib + "\\HELPDIR", "", folder});
  return entries;
}

namespace {

using namespace kx4::registry;

// The path of `key` (below HKEY_CLASSES_ROOT) in the machine hive, where the
// registry keeps that root.
std::vector<std::string> ClassesPath(const std::string& key) {
  std::vector<std::string> path = {"Software", "Classes"};
  size_t start = 0;
  for (size_t end = key.find('\\');; end = key.find('\\', start)) {
    path.push_back(key.substr(start, end - start));
    if (end == std::string::npos)
      break;
    start = end + 1;
  }
  return path;
}

std::vector<uint8_t> TextData(const std::string& text) {
  std::vector<uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  return data;
}

// Every entry in one change of the hive, so registration is never left half
// done and costs one write.
bool Write(const std::vector<RegistryEntry>& entries) {
  return UpdateHive(HiveKind::kSystem, [&](Hive& hive, bool& changed) {
           for (const RegistryEntry& entry : entries) {
             HiveKey* key = &hive.Root();
             for (const std::string& name : ClassesPath(entry.key)) {
               bool created = false;
               key = &key->AddSubkey(name, &created);
               changed = changed || created;
             }
             std::vector<uint8_t> data = TextData(entry.data);
             const HiveValue* old = key->FindValue(entry.name);
             if (old == nullptr || old->type != REG_SZ || old->data != data) {
               key->PutValue(entry.name, REG_SZ, std::move(data));
               changed = true;
             }
           }
           return ERROR_SUCCESS;
         }) == ERROR_SUCCESS;
}

// Removes the entries' values, then every key of theirs (and every parent up
// to the machine hive's Software) that is left empty; one change.
bool Remove(const std::vector<RegistryEntry>& entries) {
  return UpdateHive(HiveKind::kSystem, [&](Hive& hive, bool& changed) {
           std::vector<std::vector<std::string>> keys;
           for (const RegistryEntry& entry : entries) {
             std::vector<std::string> path = ClassesPath(entry.key);
             if (HiveKey* key = hive.Find(path))
               changed = key->RemoveValue(entry.name) || changed;
             for (; !path.empty(); path.pop_back())
               keys.push_back(path);
           }
           std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
             return a.size() != b.size() ? a.size() > b.size() : a < b;
           });
           keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
           for (std::vector<std::string>& path : keys) {
             HiveKey* key = hive.Find(path);
             if (key == nullptr || !key->Values().empty() || !key->Subkeys().empty())
               continue;
             const std::string name = path.back();
             path.pop_back();
             HiveKey* parent = path.empty() ? &hive.Root() : hive.Find(path);
             changed = parent->RemoveSubkey(name) || changed;
           }
           return ERROR_SUCCESS;
         }) == ERROR_SUCCESS;
}

}  // namespace

}  // namespace kx4::component

using namespace kx4::component;

extern "C" {

HRESULT DllCanUnloadNow(void) {
  return LiveObjects().load() == 0 ? S_OK : S_FALSE;
}

HRESULT DllGetClassObject(const CLSID* rclsid, const IID* riid, void** ppv) {
  if (ppv == nullptr)
    return E_POINTER;
  *ppv = nullptr;
  if (rclsid == nullptr || riid == nullptr)
    return E_INVALIDARG;
  for (const Class& c : kClasses) {
    if (c.instancing == Instancing::kNotCreatable || !SameGuid(*rclsid, c.clsid))
      continue;
    auto* factory = new (std::nothrow) ClassFactory(c);
    if (factory == nullptr)
      return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(*riid, ppv);
    factory->Release();
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT DllRegisterServer(void) {
  try {
    return Write(RegistrationEntries()) ? S_OK : SELFREG_E_CLASS;
  } catch (...) {
    return E_FAIL;
  }
}

HRESULT DllUnregisterServer(void) {
  try {
    return Remove(RegistrationEntries()) ? S_OK : SELFREG_E_CLASS;
  } catch (...) {
    return E_FAIL;
  }
}

}  // extern "C"
