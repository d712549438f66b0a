// Writes the type description (IDL) and the C/C++ header of the component's
// interfaces from the class table.  Run at build time:
//   kx4_component_gen <idl file> <header file>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "component/ClassTable.h"

namespace {

using namespace kx4::component;

std::string Hex(uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%x", value);
  return buffer;
}

std::string GuidInitializer(const char* text) {
  const Guid g = ParseGuid(text);
  std::ostringstream out;
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "{0x%08x, 0x%04x, 0x%04x, {", g.data1, g.data2, g.data3);
  out << buffer;
  for (size_t i = 0; i < 8; ++i) {
    std::snprintf(buffer, sizeof buffer, "%s0x%02x", i == 0 ? "" : ", ", g.data4[i]);
    out << buffer;
  }
  out << "}}";
  return out.str();
}

// --- IDL ---

// The spelling of a type in the IDL and in C.
struct Spelling {
  const char* idl;
  const char* c;
};

constexpr Spelling SpellingOf(Type type) {
  switch (type) {
    case Type::kBool:
      return {"VARIANT_BOOL", "VARIANT_BOOL"};
    case Type::kI2:
      return {"short", "int16_t"};
    case Type::kI4:
      return {"long", "int32_t"};
    case Type::kEnum:
      return {"enum ", "int32_t"};  // followed by the name in the IDL
    case Type::kCy:
      return {"CURRENCY", "KX4CY"};
    case Type::kDate:
      return {"DATE", "KX4DATE"};
    case Type::kText:
      return {"BSTR", "KX4Text"};
    case Type::kVariant:
      return {"VARIANT", "KX4Variant"};
    case Type::kObject:
      return {"", ""};  // the interface's name and a star
    case Type::kUnknown:
      return {"IUnknown*", "IUnknown*"};
    case Type::kVoid:
      break;
  }
  return {"void", "void"};
}

std::string IdlType(Type type, const char* type_name) {
  if (type == Type::kObject)
    return std::string(type_name) + "*";
  return std::string(SpellingOf(type).idl) + (type == Type::kEnum ? type_name : "");
}

std::string IdlParam(const Param& p) {
  std::string attributes = (p.flags & (kOut | kByRef)) ? "in, out" : "in";
  if (p.flags & kOptional)
    attributes += p.default_value ? std::string(", optional, defaultvalue(") + p.default_value + ")"
                                  : ", optional";
  const bool pointer = (p.flags & kByRef) != 0;
  return "[" + attributes + "] " + IdlType(p.type, p.type_name) + (pointer ? "* " : " ") + p.name;
}

void WriteIdlMember(std::ostream& out, const Member& m) {
  out << "    [id(" << Hex(static_cast<uint32_t>(m.dispid)) << ")"
      << (m.kind == Kind::kGet   ? ", propget"
          : m.kind == Kind::kLet ? ", propput"
                                 : "")
      << "]\n    HRESULT " << m.name << "(";
  std::string separator;
  for (size_t i = 0; i < m.param_count; ++i) {
    out << separator << IdlParam(m.params[i]);
    separator = ", ";
  }
  if (m.kind == Kind::kLet)
    out << separator << "[in] " << IdlType(m.type, m.type_name) << " rhs";
  else if (m.type != Type::kVoid)
    out << separator << "[out, retval] " << IdlType(m.type, m.type_name) << "* rv";
  out << ");\n";
}

void WriteIdl(std::ostream& out) {
  out << "// Generated from the class table of " << kLibrary.name << "; do not edit.\n"
      << "// File version " << kLibrary.file_version << " (\"" << kLibrary.version_text << "\").\n"
      << "[\n  uuid(" << kLibrary.libid << "),\n  version(" << kLibrary.major << "."
      << kLibrary.minor << "),\n  lcid(" << Hex(kLibrary.lcid) << "),\n  helpstring(\""
      << kLibrary.description << "\")\n]\nlibrary " << kLibrary.name << "\n{\n"
      << "  importlib(\"stdole2.tlb\");\n\n";
  for (const Interface& iface : kInterfaces)
    out << "  interface " << iface.name << ";\n";
  out << "\n";
  for (const Enumeration& e : kEnumerations) {
    out << "  typedef enum " << e.name << " {\n";
    for (size_t i = 0; i < e.values.size(); ++i)
      out << "    " << e.values[i].name << " = " << e.values[i].value
          << (i + 1 < e.values.size() ? ",\n" : "\n");
    out << "  } " << e.name << ";\n\n";
  }
  for (const Interface& iface : kInterfaces) {
    out << "  [\n    odl,\n    uuid(" << iface.iid
        << "),\n    dual,\n    nonextensible,\n    oleautomation\n  ]\n  interface " << iface.name
        << " : IDispatch {\n";
    for (const Member& m : iface.members)
      WriteIdlMember(out, m);
    out << "  };\n\n";
  }
  for (const Class& c : kClasses) {
    out << "  [\n    uuid(" << c.clsid << ")";
    if (c.instancing == Instancing::kGlobal)
      out << ",\n    appobject";
    if (c.instancing == Instancing::kNotCreatable)
      out << ",\n    noncreatable";
    out << "\n  ]\n  coclass " << c.name << " {\n    [default] interface "
        << kInterfaces[c.interface].name << ";\n  };\n\n";
  }
  out << "};\n";
}

// --- C and C++ header ---

std::string CType(Type type, const char* type_name) {
  if (type == Type::kObject)
    return std::string(type_name) + "*";
  return SpellingOf(type).c;
}

// Variants always travel by pointer; everything else by value unless by
// reference.
std::string CParam(const Param& p) {
  if (p.type == Type::kVariant)
    return std::string((p.flags & kOut) ? "" : "const ") + "KX4Variant* " + p.name;
  return CType(p.type, p.type_name) + ((p.flags & kByRef) ? "* " : " ") + p.name;
}

std::string CEntryName(const Member& m) {
  return std::string(m.kind == Kind::kGet ? "get_" : m.kind == Kind::kLet ? "put_" : "") + m.name;
}

std::string CArguments(const Member& m) {
  std::string out;
  for (size_t i = 0; i < m.param_count; ++i)
    out += ", " + CParam(m.params[i]);
  if (m.kind == Kind::kLet)
    out +=
        ", " +
        (m.type == Type::kVariant ? std::string("const KX4Variant*") : CType(m.type, m.type_name)) +
        " value";
  else if (m.type != Type::kVoid)
    out += ", " + CType(m.type, m.type_name) + "* result";
  return out;
}

void WriteHeader(std::ostream& out) {
  out << "/* Generated from the class table of " << kLibrary.name
      << "; do not edit.  The interfaces of <kx4data/Component.h>'s objects,\n"
         " * their identifiers and dispatch identifiers. */\n"
         "#ifndef KX4DATA_KXDATAACCESS_H_\n#define KX4DATA_KXDATAACCESS_H_\n\n"
         "#include <kx4data/Component.h>\n\n";
  out << "static const GUID LIBID_" << kLibrary.name << " = " << GuidInitializer(kLibrary.libid)
      << ";\n";
  for (const Class& c : kClasses)
    out << "static const GUID CLSID_" << c.name << " = " << GuidInitializer(c.clsid) << ";\n";
  for (const Interface& iface : kInterfaces)
    out << "static const GUID IID_" << iface.name << " = " << GuidInitializer(iface.iid) << ";\n";
  out << "\n";
  for (const Interface& iface : kInterfaces) {
    for (const Member& m : iface.members) {
      bool has_get = false;
      for (const Member& other : iface.members)
        has_get = has_get || (other.kind != Kind::kLet && NamesEqual(other.name, m.name));
      if (m.kind == Kind::kLet && has_get)
        continue;  // the get names the identifier
      out << "#define DISPID_" << iface.name << "_" << m.name << " ((DISPID)"
          << Hex(static_cast<uint32_t>(m.dispid)) << ")\n";
    }
  }
  out << "\n";
  for (const Enumeration& e : kEnumerations) {
    out << "enum " << e.name << " {";
    for (size_t i = 0; i < e.values.size(); ++i)
      out << (i ? ", " : " ") << e.values[i].name << " = " << e.values[i].value;
    out << " };\n";
  }
  out << "\n#ifdef __cplusplus\n";
  for (const Interface& iface : kInterfaces)
    out << "struct " << iface.name << ";\n";
  for (const Interface& iface : kInterfaces) {
    out << "\nstruct " << iface.name << " : IDispatch {\n";
    for (const Member& m : iface.members) {
      std::string arguments = CArguments(m);
      arguments = arguments.empty() ? "" : arguments.substr(2);
      out << "  virtual HRESULT " << CEntryName(m) << "(" << arguments << ") = 0;\n";
    }
    out << "};\n";
  }
  out << "#else\n";
  for (const Interface& iface : kInterfaces)
    out << "typedef struct " << iface.name << " " << iface.name << ";\n";
  for (const Interface& iface : kInterfaces) {
    const std::string self = std::string(iface.name) + "* self";
    out << "\ntypedef struct " << iface.name << "Vtbl {\n"
        << "  HRESULT (*QueryInterface)(" << self << ", const IID* riid, void** ppv);\n"
        << "  uint32_t (*AddRef)(" << self << ");\n"
        << "  uint32_t (*Release)(" << self << ");\n"
        << "  HRESULT (*GetTypeInfoCount)(" << self << ", uint32_t* pctinfo);\n"
        << "  HRESULT (*GetTypeInfo)(" << self << ", uint32_t iTInfo, LCID lcid, void** ppTInfo);\n"
        << "  HRESULT (*GetIDsOfNames)(" << self
        << ", const IID* riid, const char* const* rgszNames, uint32_t cNames, LCID lcid, "
           "DISPID* rgDispId);\n"
        << "  HRESULT (*Invoke)(" << self
        << ", DISPID dispIdMember, const IID* riid, LCID lcid, uint16_t wFlags, "
           "KX4DispParams* pDispParams, KX4Variant* pVarResult, KX4ExcepInfo* pExcepInfo, "
           "uint32_t* puArgErr);\n";
    for (const Member& m : iface.members)
      out << "  HRESULT (*" << CEntryName(m) << ")(" << self << CArguments(m) << ");\n";
    out << "} " << iface.name << "Vtbl;\nstruct " << iface.name << " {\n  const " << iface.name
        << "Vtbl* lpVtbl;\n};\n";
  }
  out << "#endif\n\n#endif /* KX4DATA_KXDATAACCESS_H_ */\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: kx4_component_gen <idl file> <header file>\n";
    return 2;
  }
  std::ofstream idl(argv[1], std::ios::binary);
  WriteIdl(idl);
  std::ofstream header(argv[2], std::ios::binary);
  WriteHeader(header);
  if (!idl || !header) {
    std::cerr << "kx4_component_gen: cannot write the output\n";
    return 1;
  }
  return 0;
}
