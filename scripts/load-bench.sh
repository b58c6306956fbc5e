#!/usr/bin/env bash
# Builds and runs load_bench (a program load into loggersim at a fixed baud rate) in the normal build
# folder. Usage: scripts/load-bench.sh [--baud N] [--bytes N] [--model N]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
[ -f "$build/build.ninja" ] || cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target load_bench loggersim -j2
"$build/bench/load_bench" "$@"
