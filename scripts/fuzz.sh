#!/usr/bin/env bash
# Fuzzes the compiler for a while. Usage: scripts/fuzz.sh [SECONDS]   (default 60)
# Configures a clang build with libFuzzer, ASan and UBSan in build-fuzz, builds compiler_fuzz and runs it
# on one process with a 1 s limit per input. Findings land in build-fuzz/findings/ and fail the script.
# Then the simulated logger's command decoder (loggersim_fuzz) gets LOGGERSIM_FUZZ_SECONDS (default 20).
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DORRERY_FUZZ=ON -DORRERY_GUI=OFF -DORRERY_TESTS=OFF >/dev/null
cmake --build "$build" --target compiler_fuzz loggersim_fuzz -j2

mkdir -p "$build/corpus" "$build/seeds" "$build/findings"
python3 "$root/tools/fuzz/make_seeds.py" "$root" "$build/seeds"

# New inputs go to the first folder; the committed and generated seeds are read only.
ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  "$build/tools/fuzz/compiler_fuzz" "$build/corpus" "$root/tools/fuzz/corpus" "$build/seeds" \
  -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 -max_len=8192 \
  -artifact_prefix="$build/findings/" -print_final_stats=1

mkdir -p "$build/loggersim-corpus"
ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  "$build/tools/loggersim/loggersim_fuzz" "$build/loggersim-corpus" "$root/tools/loggersim/fuzz/corpus" \
  -max_total_time="${LOGGERSIM_FUZZ_SECONDS:-20}" -timeout=5 -rss_limit_mb=2048 -max_len=4096 \
  -artifact_prefix="$build/findings/" -print_final_stats=1
