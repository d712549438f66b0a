// The shipped library exports its public API and nothing else: every name of
// this project in its dynamic symbol table is a class, enumeration or
// function that a public header declares, and no engine type appears.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

// The defined dynamic symbols of the library, demangled, one per entry.
std::vector<std::string> DynamicSymbols() {
  const std::string command =
      std::string("'") + KX4_NM + "' -D --defined-only -C '" + KX4DATA_FILE + "' 2>&1";
  std::vector<std::string> symbols;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr)
    return symbols;
  std::string line;
  for (int c = std::fgetc(pipe); c != EOF; c = std::fgetc(pipe)) {
    if (c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    // "address type name"; the name may hold blanks.
    const size_t type = line.find(' ');
    if (type != std::string::npos && type + 3 <= line.size())
      symbols.push_back(line.substr(type + 3));
    line.clear();
  }
  ::pclose(pipe);
  return symbols;
}

// Classes, structs and functions marked KX4DATA_API, and the enumerations,
// of every public header.
std::set<std::string> PublicNames() {
  static const std::regex kType(R"((?:class|struct)\s+KX4DATA_API\s+(\w+))");
  static const std::regex kEnum(R"(\benum\s+(?:class\s+)?(\w+))");
  static const std::regex kFunction(R"(KX4DATA_API\s+[^;(){}]*?\b(\w+)\s*\()");
  std::set<std::string> names;
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(KX4_SOURCE_DIR "/include/kx4data")) {
    if (entry.path().extension() != ".h")
      continue;
    std::ifstream in(entry.path());
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    for (const std::regex* pattern : {&kType, &kEnum, &kFunction}) {
      for (std::sregex_iterator it(text.begin(), text.end(), *pattern), end; it != end; ++it)
        names.insert((*it)[1]);
    }
  }
  return names;
}

class ExportedSymbols : public ::testing::Test {
 protected:
  void SetUp() override {
    symbols_ = DynamicSymbols();
    ASSERT_FALSE(symbols_.empty()) << "nm listed nothing for " << KX4DATA_FILE;
    RecordProperty("exported_symbols", static_cast<int>(symbols_.size()));
  }
  std::vector<std::string> symbols_;
};

TEST_F(ExportedSymbols, HoldNoEngineTypes) {
  static const std::regex kNative(R"((^|[^\w])(pg_\w+|PG[A-Za-z]+|sqlite3\w*)\b)");
  for (const std::string& symbol : symbols_)
    EXPECT_FALSE(std::regex_search(symbol, kNative)) << symbol;
}

TEST_F(ExportedSymbols, NameOnlyWhatThePublicHeadersDeclare) {
  const std::set<std::string> public_names = PublicNames();
  ASSERT_TRUE(public_names.count("KXData") && public_names.count("Recordset") &&
              public_names.count("CreateDatabase") && public_names.count("KXSecurity"))
      << "the header scan found too little";
  // The first name after kx4:: (or kx4::ado::) is a class, an enumeration, a
  // function or an inner namespace; inner namespaces are all internal.
  static const std::regex kOwn(R"(kx4::(?:ado::)?(\(anonymous namespace\)|\w+))");
  for (const std::string& symbol : symbols_) {
    // A standard template instantiated over an internal type is the
    // compiler's: an unoptimised build (the sanitize preset) leaves some out
    // of line, and GCC gives a few of them default visibility whatever the
    // type's.  They name no class of the library.
    if (symbol.rfind("std::", 0) == 0)
      continue;
    for (std::sregex_iterator it(symbol.begin(), symbol.end(), kOwn), end; it != end; ++it)
      EXPECT_TRUE(public_names.count((*it)[1])) << (*it)[1] << " in " << symbol;
  }
}

// Plain C names: the four entry points of the component server and the
// value functions its callers free results with, each declared by a public
// header; nothing else.
TEST_F(ExportedSymbols, ExportOnlyTheDeclaredCFunctions) {
  const std::set<std::string> public_names = PublicNames();
  static const std::regex kCName(R"(^[A-Za-z_]\w*$)");
  std::set<std::string> c_names;
  for (const std::string& symbol : symbols_) {
    if (!std::regex_match(symbol, kCName))
      continue;
    c_names.insert(symbol);
    EXPECT_TRUE(public_names.count(symbol)) << symbol << " is no function of a public header";
    EXPECT_TRUE(symbol.rfind("Dll", 0) == 0 || symbol.rfind("KX4", 0) == 0) << symbol;
  }
  for (const char* needed : {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                             "DllUnregisterServer", "KX4VariantClear", "KX4TextFree"})
    EXPECT_TRUE(c_names.count(needed)) << needed;
}

TEST_F(ExportedSymbols, IncludeWhatHostsNeedAcrossTheBoundary) {
  const std::set<std::string> exported(symbols_.begin(), symbols_.end());
  for (const char* needed : {
           "kx4::KXData::KXData()",
           "kx4::PrintJob::Save(kx4::KXData&)",
           "kx4::PrintJob::JobCost(kx4::Currency&) const",
           "kx4::PriceJob(kx4::KXData&, kx4::JobRequest const&, kx4::PricedJob&)",
           "kx4::ConnectionSettings::AttemptConnection(kx4::KXData&) const",
           "kx4::ado::Recordset::MoveNext()",
           // A failed call thrown inside the library is caught by type in the host.
           "typeinfo for kx4::RuntimeError",
           // A host's own user interface derives from it.
           "typeinfo for kx4::UserInterface",
       })
    EXPECT_TRUE(exported.count(needed)) << needed;
  for (const char* hidden :
       {"kx4::KXData::ExecuteSQL", "kx4::KXData::minsOpenConnection", "kx4::User::LoadByPinCode"}) {
    for (const std::string& symbol : symbols_)
      EXPECT_EQ(symbol.find(hidden), std::string::npos) << symbol;
  }
}

}  // namespace
