// The class table against the member order and identifiers written down
// from the interface description (tests/data/component-members.txt), and the
// type description generated from it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "component/ClassTable.h"
#include "component/Object.h"
#include "support/TempHive.h"

namespace kx4::component {
namespace {

struct Entry {
  std::string interface;
  std::string member;
  std::string kind;
  std::string id;
  bool operator==(const Entry&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Entry& e) {
  return out << e.interface << " " << e.member << " " << e.kind << " " << e.id;
}

std::vector<Entry> Written() {
  std::ifstream in(KX4_SOURCE_DIR "/tests/data/component-members.txt");
  std::vector<Entry> entries;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#')
      continue;
    std::istringstream fields(line);
    Entry e;
    fields >> e.interface >> e.member >> e.kind >> e.id;
    entries.push_back(e);
  }
  return entries;
}

std::string IdText(int32_t dispid) {
  if (dispid >= P(0) && dispid < P(0x10000))
    return "P" + std::to_string(dispid - P(0));
  return "F" + std::to_string(dispid - F(0));
}

TEST(ClassTable, HoldsEveryMemberInTheWrittenOrderWithItsIdentifier) {
  const std::vector<Entry> written = Written();
  ASSERT_EQ(written.size(), 243u) << "the member list was not read";
  std::vector<Entry> table;
  for (const Class& c : kClasses) {
    const Interface& iface = kInterfaces[c.interface];
    for (const Member& m : iface.members) {
      table.push_back({iface.name, m.name,
                       m.kind == Kind::kLet   ? "let"
                       : m.kind == Kind::kGet ? "get"
                                              : "method",
                       IdText(m.dispid)});
    }
  }
  ASSERT_EQ(table.size(), written.size());
  for (size_t i = 0; i < written.size(); ++i)
    EXPECT_EQ(table[i], written[i]) << "virtual-table entry " << i;
}

TEST(ClassTable, NamesTheLibraryAndEveryClassAsGiven) {
  EXPECT_STREQ(kLibrary.name, "KXDataAccess");
  EXPECT_STREQ(kLibrary.libid, "c65ec81a-f367-42a2-a660-fb8ab26880af");
  EXPECT_EQ(kLibrary.lcid, 0x409u);
  EXPECT_EQ(kLibrary.major * 10 + kLibrary.minor, 12);
  ASSERT_EQ(std::size(kClasses), 13u);
  EXPECT_EQ(kClasses[10].instancing, Instancing::kCreatable);
  EXPECT_STREQ(kClasses[10].clsid, "ca44464d-adcc-43d7-99c8-c818e820d64c");
  EXPECT_STREQ(kInterfaces[kIKXData].iid, "536755f0-3a9e-4d7c-bd4a-6bd9057e373b");
  EXPECT_EQ(kClasses[2].instancing, Instancing::kNotCreatable);  // Settings
  EXPECT_EQ(kClasses[1].instancing, Instancing::kGlobal);        // KXEnums
  EXPECT_EQ(kClasses[12].instancing, Instancing::kGlobal);       // DataGlobal
}

TEST(ClassTable, BindsEveryInterfaceToItsOwnAdapters) {
  for (size_t i = 0; i < kInterfaceCount; ++i) {
    const Binding& binding = BindingOf(static_cast<InterfaceIndex>(i));
    EXPECT_EQ(binding.index, i);
    EXPECT_EQ(binding.adapters.size(), kInterfaces[i].members.size()) << kInterfaces[i].name;
    EXPECT_NE(binding.vtable(), nullptr);
  }
}

TEST(ClassTable, GeneratesTheTypeDescriptionBesideTheLibrary) {
  const std::string idl = testing::TempHive::Read(KX4_IDL_FILE);
  ASSERT_FALSE(idl.empty()) << KX4_IDL_FILE;
  EXPECT_NE(idl.find("uuid(c65ec81a-f367-42a2-a660-fb8ab26880af),\n  version(1.2),\n  lcid(0x409),"
                     "\n  helpstring(\"Kestrix SQL Server Access\")"),
            std::string::npos);
  for (const Interface& iface : kInterfaces)
    EXPECT_NE(idl.find(std::string("uuid(") + iface.iid + ")"), std::string::npos) << iface.name;
  EXPECT_NE(idl.find("noncreatable\n  ]\n  coclass Settings"), std::string::npos);
  EXPECT_NE(idl.find("appobject\n  ]\n  coclass DataGlobal"), std::string::npos);
  // A function with a result, a let, and an optional parameter with its default.
  EXPECT_NE(idl.find("[id(0x6003000b)]\n    HRESULT Load([in, out] _KXData** pinsData, [in] long "
                     "plngId, [out, retval] _KXError** rv);"),
            std::string::npos);
  EXPECT_NE(idl.find("[id(0x68030007), propput]\n    HRESULT PinCode([in] BSTR rhs);"),
            std::string::npos);
  EXPECT_NE(idl.find("[in, optional, defaultvalue(0)] VARIANT_BOOL pblnActiveOnly"),
            std::string::npos);
}

}  // namespace
}  // namespace kx4::component
