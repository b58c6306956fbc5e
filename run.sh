#!/usr/bin/env bash
# Installs what is missing, builds, and starts the workbench on the user's desktop with the files named
# (an example program when none is named). With no display it
# says so and shows what runs without one: every program in examples/ compiled with qobc.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh build

workbench=build/shell/orrery
if [ -x "$workbench" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; }; then
  # With no files named, the workbench opens an example program, ready for Syntax check (Alt+Y).
  if [ $# -eq 0 ]; then
    set -- examples/sampler.qob
  fi
  exec "$workbench" "$@"
fi

if [ -x "$workbench" ]; then
  echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset): the workbench window cannot open here."
  echo "Start it on a desktop, or under a virtual display: xvfb-run ./run.sh"
  echo
fi
echo "Compiling the example programs with qobc:"
status=0
for program in examples/*.qob; do
  [ -e "$program" ] || continue
  build/tools/qobc/qobc "$program" || status=1
done
exit $status
