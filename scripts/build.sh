#!/usr/bin/env bash
# Configures and builds one build folder with Ninja.
#
#   scripts/build.sh DIR [cmake options...] [--target TARGET...]
#
# With --target only those programs and what they link are built (./run.sh builds the workbench and the
# simulator this way); without it, everything, tests included.
set -euo pipefail
dir=$1; shift
options=()
targets=()
while [ $# -gt 0 ]; do
  if [ "$1" = "--target" ]; then
    shift
    targets+=("$@")
    break
  fi
  options+=("$1")
  shift
done
cmake -S "$(dirname "$0")/.." -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${options[@]+"${options[@]}"} >/dev/null
if [ ${#targets[@]} -gt 0 ]; then
  cmake --build "$dir" -j"$(nproc)" --target "${targets[@]}"
else
  cmake --build "$dir" -j"$(nproc)"
fi
