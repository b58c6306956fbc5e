#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh build
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 300
