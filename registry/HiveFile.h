// The hive files on disk and the discipline that keeps them whole.
//
// Readers take a shared flock on "<hive>.lock" and read the file.  Writers
// take the exclusive lock, read and parse the current file, apply their
// change, write the new text to a temporary file in the same folder, fsync it,
// rename it over the hive and fsync the folder.  The lock lives on a side file
// because the rename replaces the hive's inode.  A crash leaves either the old
// or the new hive, never a torn one; concurrent writers serialise and never
// lose each other's values.  Temporaries left by a crashed writer are removed
// by the next writer, which holds the lock.
//
// A missing hive is an empty hive.  A hive that does not parse is refused for
// reads and writes alike (ERROR_BADDB): data that could not be read is never
// overwritten, and a read never returns a guess from half a file.
#ifndef KX4DATA_REGISTRY_HIVEFILE_H_
#define KX4DATA_REGISTRY_HIVEFILE_H_

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>

#include "registry/Hive.h"

namespace kx4::registry {

struct HiveLocation {
  std::string directory;
  std::string path;  // directory + "/user.reg" or "/system.reg"
  mode_t file_mode;  // for a new hive: 0600 user, 0644 system
  mode_t directory_mode;
};

// Where the hive of `kind` lives, from $KX4_HIVE_DIR, $XDG_CONFIG_HOME and
// $HOME as they are now.
HiveLocation LocateHive(HiveKind kind);

// Reads the hive under a shared lock.  `error` receives the parse failure.
int32_t ReadHive(HiveKind kind, Hive& hive, ParseError* error = nullptr);

// Applies `change` to the current hive under the exclusive lock and writes
// the result back when `change` returns ERROR_SUCCESS and sets `changed`.
// A hive this process may not write gives ERROR_ACCESS_DENIED before
// `change` runs.
int32_t UpdateHive(HiveKind kind, const std::function<int32_t(Hive&, bool& changed)>& change);

namespace testing {
// Called by writers between the fsync of the temporary file and the rename;
// null (the default) for none.
using BeforeRenameHook = void (*)(const std::string& temporary_path);
void SetBeforeRenameHook(BeforeRenameHook hook);
}  // namespace testing

}  // namespace kx4::registry

#endif  // KX4DATA_REGISTRY_HIVEFILE_H_
