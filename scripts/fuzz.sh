#!/usr/bin/env bash
# Fuzzes for a while. Usage: scripts/fuzz.sh [SECONDS] [TARGET]   (default 60 s, compiler_fuzz)
# TARGET is compiler_fuzz (arbitrary source text) or loggervm_fuzz (arbitrary token code run by the
# simulated logger's interpreter). Configures a clang build with libFuzzer, ASan and UBSan in build-fuzz,
# builds the target and runs it on one process with a 1 s limit per input. Findings land in
# build-fuzz/findings/ and fail the script. After the compiler, the simulated logger's command decoder
# (loggersim_fuzz) gets LOGGERSIM_FUZZ_SECONDS (default 20).
set -euo pipefail
seconds=${1:-60}
target=${2:-compiler_fuzz}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DORRERY_FUZZ=ON -DORRERY_GUI=OFF -DORRERY_TESTS=OFF >/dev/null

corpus=$build/corpus
seeds=$build/seeds
committed=()
unit_timeout=1
case $target in
  compiler_fuzz)
    cmake --build "$build" --target compiler_fuzz loggersim_fuzz -j2
    mkdir -p "$seeds"
    python3 "$root/tools/fuzz/make_seeds.py" "$root" "$seeds"
    committed=("$root/tools/fuzz/corpus")
    binary=$build/tools/fuzz/compiler_fuzz
    ;;
  loggervm_fuzz)
    # The seeds are committed: qobc cannot be linked in this instrumented build to compile them here.
    cmake --build "$build" --target loggervm_fuzz -j2
    corpus=$build/corpus-loggervm
    seeds=$root/tools/loggersim/vm/fuzz/corpus
    binary=$build/tools/loggersim/vm/loggervm_fuzz
    # An input runs a whole program for many turns, and every run-time fault it raises is a C++
    # exception, which costs tens of microseconds under the sanitizers: leave room for a loaded machine.
    unit_timeout=3
    ;;
  *)
    echo "unknown fuzz target: $target (compiler_fuzz, loggervm_fuzz)" >&2
    exit 2
    ;;
esac
mkdir -p "$corpus" "$build/findings"

# New inputs go to the first folder; the committed and generated seeds are read only.
ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  "$binary" "$corpus" "${committed[@]}" "$seeds" \
  -max_total_time="$seconds" -timeout="$unit_timeout" -rss_limit_mb=2048 -max_len=8192 \
  -artifact_prefix="$build/findings/" -print_final_stats=1

if [ "$target" = compiler_fuzz ]; then
  mkdir -p "$build/loggersim-corpus"
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    "$build/tools/loggersim/model/loggersim_fuzz" "$build/loggersim-corpus" "$root/tools/loggersim/model/fuzz/corpus" \
    -max_total_time="${LOGGERSIM_FUZZ_SECONDS:-20}" -timeout=5 -rss_limit_mb=2048 -max_len=4096 \
    -artifact_prefix="$build/findings/" -print_final_stats=1
fi
