// Registration writes the classes, programmatic identifiers, interfaces and
// type library into HKEY_CLASSES_ROOT; unregistration takes away exactly
// that, so a hive the library wrote last is byte for byte what it was.
#include <kx4data/Component.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "registry/Registry.h"
#include "support/TempHive.h"

namespace kx4::component {
namespace {

using namespace kx4::registry;
using kx4::testing::TempHive;

// The text value `name` of `path` under `root`, or "<missing>".
std::string Text(HKEY root, const std::string& path, const std::string& name = "") {
  Key key;
  if (OpenKey(root, path, KEY_READ, key) != ERROR_SUCCESS)
    return "<missing>";
  char data[1024];
  uint32_t size = sizeof data;
  uint32_t type = 0;
  if (QueryValue(key, name, &type, reinterpret_cast<uint8_t*>(data), &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return "<missing>";
  return std::string(data, size > 0 ? size - 1 : 0);
}

void Put(HKEY root, const std::string& path, const std::string& name, const std::string& data) {
  Key key;
  ASSERT_EQ(CreateKey(root, path, KEY_ALL_ACCESS, key), ERROR_SUCCESS);
  ASSERT_EQ(SetValue(key, name, REG_SZ, reinterpret_cast<const uint8_t*>(data.c_str()),
                     static_cast<uint32_t>(data.size() + 1)),
            ERROR_SUCCESS);
}

constexpr const char* kSessionClsid = "{CA44464D-ADCC-43D7-99C8-C818E820D64C}";

TEST(Registration, WritesClassesIdentifiersInterfacesAndTheTypeLibrary) {
  TempHive hive;
  ASSERT_EQ(DllRegisterServer(), S_OK);
  EXPECT_EQ(Text(HKEY_CLASSES_ROOT, "KXDataAccess.KXData\\CLSID"), kSessionClsid);
  const std::string clsid = std::string("CLSID\\") + kSessionClsid;
  EXPECT_EQ(Text(HKEY_CLASSES_ROOT, clsid), "KXDataAccess.KXData");
  EXPECT_EQ(Text(HKEY_CLASSES_ROOT, clsid + "\\InprocServer32", "ThreadingModel"), "Apartment");
  const std::string server = Text(HKEY_CLASSES_ROOT, clsid + "\\InprocServer32");
  EXPECT_EQ(server.front(), '/');
  EXPECT_TRUE(std::filesystem::exists(server)) << server;
  EXPECT_EQ(Text(HKEY_CLASSES_ROOT, clsid + "\\ProgID"), "KXDataAccess.KXData");
  EXPECT_EQ(Text(HKEY_CLASSES_ROOT, clsid + "\\TypeLib"), "{C65EC81A-F367-42A2-A660-FB8AB26880AF}");
  // Global objects are creatable too; Settings is no class of the registry.
  EXPECT_EQ(Text(HKEY_CLASSES_ROOT, "KXDataAccess.DataGlobal\\CLSID"),
            "{F8832DC8-4E39-4AA9-8A4A-7557E354E11E}");
  EXPECT_EQ(Text(HKEY_CLASSES_ROOT, "KXDataAccess.Settings\\CLSID"), "<missing>");
  EXPECT_EQ(Text(HKEY_CLASSES_ROOT, "CLSID\\{29DF9588-22D8-44A2-A348-F9011CD132D4}"), "<missing>");
  EXPECT_EQ(Text(HKEY_CLASSES_ROOT, "Interface\\{3B5E7DFF-49A7-45DE-9024-6EEC3D087BD5}"),
            "_Settings");
  const std::string typelib = "TypeLib\\{C65EC81A-F367-42A2-A660-FB8AB26880AF}\\1.2";
  EXPECT_EQ(Text(HKEY_CLASSES_ROOT, typelib), "Kestrix SQL Server Access");
  EXPECT_NE(Text(HKEY_CLASSES_ROOT, typelib + "\\409\\linux64").find("/KXDataAccess.idl"),
            std::string::npos);
  // HKEY_CLASSES_ROOT is the machine's Software\Classes.
  EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, "Software\\Classes\\KXDataAccess.KXData\\CLSID"),
            kSessionClsid);
  EXPECT_EQ(DllUnregisterServer(), S_OK);
}

TEST(Registration, UnregistrationLeavesTheHiveAsItWas) {
  TempHive hive;
  Put(HKEY_LOCAL_MACHINE, "Software\\Kestrix 4.0", "Version", "4.1");
  Put(HKEY_CLASSES_ROOT, ".kx4", "", "KestrixJob");
  Put(HKEY_CLASSES_ROOT, "CLSID\\{00000000-0000-0000-0000-000000000001}", "", "someone else");
  const std::string before = TempHive::Read(hive.SystemHive());
  ASSERT_FALSE(before.empty());

  ASSERT_EQ(DllRegisterServer(), S_OK);
  ASSERT_EQ(DllRegisterServer(), S_OK);  // registering again changes nothing
  EXPECT_NE(TempHive::Read(hive.SystemHive()), before);
  ASSERT_EQ(DllUnregisterServer(), S_OK);
  EXPECT_EQ(TempHive::Read(hive.SystemHive()), before);
  ASSERT_EQ(DllUnregisterServer(), S_OK);  // nothing left to remove is no failure
  EXPECT_EQ(TempHive::Read(hive.SystemHive()), before);
}

TEST(Registration, UnregistrationRemovesTheParentsItCreated) {
  TempHive hive;
  Put(HKEY_LOCAL_MACHINE, "Software\\Kestrix 4.0", "Version", "4.1");
  const std::string before = TempHive::Read(hive.SystemHive());
  ASSERT_EQ(DllRegisterServer(), S_OK);
  ASSERT_EQ(DllUnregisterServer(), S_OK);
  EXPECT_EQ(TempHive::Read(hive.SystemHive()), before);
  Key classes;
  EXPECT_EQ(OpenKey(HKEY_LOCAL_MACHINE, "Software\\Classes", KEY_READ, classes),
            ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace kx4::component
