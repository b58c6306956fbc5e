#!/usr/bin/env bash
# Builds the Debian package orrery_<version>_<arch>.deb with CPack.
#
#   scripts/package.sh                     configure and build build-package/ (release flags, no tests)
#                                          and package it there
#   scripts/package.sh --from DIR [--output OUT]
#                                          package an already built tree (e.g. build/) into OUT
#                                          (default DIR), without building it again
#
# Prints the path of the package on the last line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
from=""
output=""
while [ $# -gt 0 ]; do
  case $1 in
    --from) from=$2; shift 2 ;;
    --output) output=$2; shift 2 ;;
    *) echo "usage: scripts/package.sh [--from BUILD_DIR] [--output DIR]" >&2; exit 2 ;;
  esac
done

if [ -z "$from" ]; then
  from=$root/build-package
  # Debian's compiler and linker flags (hardening: stack protector, fortified functions, read-only
  # relocations); CMake reads CXXFLAGS and LDFLAGS from the environment on the first configure.
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
  LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
  export CXXFLAGS LDFLAGS
  cmake -S "$root" -B "$from" -G Ninja -DCMAKE_BUILD_TYPE=None -DORRERY_TESTS=OFF >/dev/null
  cmake --build "$from" -j"$(nproc)"
fi
from=$(cd "$from" && pwd)
output=${output:-$from}
mkdir -p "$output"
if [ ! -f "$from/CPackConfig.cmake" ]; then
  echo "error: $from is not a configured build folder (no CPackConfig.cmake)" >&2
  exit 2
fi
# The built tree is installed into a staging folder (stripped) and packaged from there, so that cpack
# packages what was built instead of building the tree again.
stage=$output/_stage
rm -rf "$stage"
cmake --install "$from" --prefix "$stage/usr" --strip >/dev/null
(cd "$output" && cpack -G DEB --config "$from/CPackConfig.cmake" -B "$output" \
   -D CPACK_INSTALL_CMAKE_PROJECTS= -D "CPACK_INSTALLED_DIRECTORIES=$stage;." >/dev/null)
rm -rf "$stage" "$output/_CPack_Packages"
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$from/CPackConfig.cmake")
package=$output/orrery_${version}_$(dpkg --print-architecture).deb
if [ ! -f "$package" ]; then
  echo "error: cpack did not write $package" >&2
  exit 1
fi
echo "$package"
