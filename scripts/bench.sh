#!/usr/bin/env bash
# Builds and runs the benchmarks in an optimised build with symbols (build-bench, -O2 -g, as profiled). Usage: scripts/bench.sh [bench options]
# The figures are processor time, best of several runs; see README "Benchmarks".
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-bench
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORRERY_GUI=OFF -DORRERY_TESTS=OFF >/dev/null
cmake --build "$build" --target compiler_bench plot_bench -j2
"$build/bench/compiler_bench" "$@"
"$build/bench/plot_bench"
