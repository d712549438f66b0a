#!/usr/bin/env bash
# Installs the build into a temporary prefix and builds a host program
# against it twice, with find_package and with pkg-config, then runs both;
# or ("package") builds the Debian package and checks where kx4 lands.
# Arguments: what, build folder, source folder; KX4_HOST_FLAGS carries the
# build's compiler flags (the sanitizers' among them).
set -euo pipefail
what=$1 build=$2 source=$3
work=$(mktemp -d /tmp/kx4-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
export KX4_HIVE_DIR=$work/hive KX4_LOG_DIR=$work XDG_DATA_HOME=$work/data
mkdir -p "$KX4_HIVE_DIR"

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

if [ "$what" = package ]; then
  (cd "$build" && cpack -B "$work/package" >"$work/cpack.log" 2>&1) || {
    cat "$work/cpack.log"
    fail "cpack"
  }
  deb=$(ls "$work"/package/*.deb)
  contents=$(dpkg-deb -c "$deb" | awk '{print $6, $7, $8}' | sed 's/ *$//')
  grep -qx './usr/bin/kx4 -> /opt/kestrix/bin/kx4' <<<"$contents" || fail "no kx4 on the PATH"
  # The scheduler runs a backend of mode 0700 as root.
  dpkg-deb -c "$deb" | grep -Eq '^-rwx------ root/root .* \./usr/lib/cups/backend/kx4$' ||
    fail "no CUPS backend of mode 0700 owned by root"
  for file in bin/kx4 bin/sleep lib/libkx4data.so lib/kx4sqlite.so common/libkx4utils.so \
    include/kx4data/KXData.h include/kx4data/Component.h include/kx4data/KXDataAccess.h \
    lib/KXDataAccess.idl lib/cmake/kx4data/kx4dataConfig.cmake lib/pkgconfig/kx4data.pc; do
    grep -q "^./opt/kestrix/$file" <<<"$contents" || fail "$file missing from the package"
  done
  stray=$(grep -v -e '^./opt/' -e '^./usr/$' -e '^./usr/bin/' -e '^./usr/lib/$' \
    -e '^./usr/lib/cups/' -e '^./$' <<<"$contents" || true)
  [ -z "$stray" ] || fail "files outside /opt/kestrix: $stray"
  dpkg-deb -f "$deb" Depends | grep -q libpq5 || fail "no dependency on libpq5"
  echo "1 passed, 0 failed"
  exit 0
fi

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log"
[ ! -e "$prefix/../usr/bin/kx4" ] || fail "the PATH link escaped the prefix"
[ ! -e "$prefix/../usr/lib/cups/backend/kx4" ] || fail "the CUPS backend escaped the prefix"
"$prefix/bin/kx4" --version | grep -q '^kx4 4\.' || fail "installed kx4 does not run"
[ "$(sqlite3 :memory: ".load $prefix/lib/kx4sqlite" "SELECT upper('zoë')")" = "ZOË" ] ||
  fail "the installed SQLite extension does not load"

# With find_package, as a CMake project would.
cmake -S "$source/tests/install/host" -B "$work/cmake-host" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_FLAGS="${KX4_HOST_FLAGS:-}" >"$work/configure.log" 2>&1 || {
  cat "$work/configure.log"
  fail "find_package"
}
cmake --build "$work/cmake-host" >"$work/build.log" 2>&1 || {
  cat "$work/build.log"
  fail "building with find_package"
}
[ "$("$work/cmake-host/host" "$work/one.db")" = "authorised Installed" ] || fail "find_package host"

# With pkg-config, as a Makefile would.
export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
# shellcheck disable=SC2046,SC2086
c++ -std=c++20 ${KX4_HOST_FLAGS:-} "$source/tests/install/host/host.cpp" -o "$work/pc-host" \
  $(pkg-config --cflags --libs kx4data) || fail "building with pkg-config"
[ "$("$work/pc-host" "$work/two.db")" = "authorised Installed" ] || fail "pkg-config host"
echo "2 passed, 0 failed"
