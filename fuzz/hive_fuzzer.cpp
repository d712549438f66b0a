// The registry hive parser: any text either is refused or parses into a hive
// whose written form parses again into the same written form.
#include <string>

#include "FuzzCheck.h"
#include "registry/Hive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using kx4::registry::Hive;
  using kx4::registry::HiveKind;
  for (HiveKind kind : {HiveKind::kUser, HiveKind::kSystem}) {
    Hive first(kind);
    kx4::registry::ParseError error;
    if (!first.Parse(kx4::fuzz::Text(data, size), &error))
      continue;
    const std::string written = first.Serialize();
    Hive second(kind);
    kx4::fuzz::Check(second.Parse(written, &error), "the written hive does not parse (line " +
                                                        std::to_string(error.line) + ": " +
                                                        error.reason + "):\n" + written);
    kx4::fuzz::Check(
        second.Serialize() == written,
        "parse, write, parse changed the hive:\n" + written + "\nbecame\n" + second.Serialize());
  }
  return 0;
}
