#!/usr/bin/env bash
# Installs what is missing, builds, and starts the workbench on the user's desktop with the files named
# (an example program when none is named). With no display it
# says so and shows what runs without one: every program in examples/ compiled with qobc.
#
# With no serial port configured and no serial adapter plugged in, the workbench talks to a simulated
# logger (tools/loggersim) on a pseudo-terminal mapped to COM1; --sim uses the simulator in any case.
# Arguments after "--" go to the simulator (./run.sh --sim -- --speed 1). It ends with the workbench.
set -euo pipefail
cd "$(dirname "$0")"

force_sim=0
files=()
sim_args=()  # after "--": options for the simulated logger, e.g. ./run.sh --sim -- --speed 1
to_sim=0
for arg in "$@"; do
  if [ $to_sim -eq 1 ]; then sim_args+=("$arg")
  elif [ "$arg" = "--" ]; then to_sim=1
  elif [ "$arg" = "--sim" ]; then force_sim=1
  else files+=("$arg"); fi
done
set -- ${files[@]+"${files[@]}"}

# A port is configured when the environment or the settings name a device for one of COM1..COM9.
port_configured() {
  local n
  for n in 1 2 3 4 5 6 7 8 9; do
    local var="ORRERY_COM$n"
    [ -n "${!var:-}" ] && return 0
  done
  local settings=${ORRERY_SETTINGS:-$HOME/.config/Pellworth/Orrery.conf}
  [ -f "$settings" ] && grep -Eq '^COM[1-9]Device=.+' "$settings"
}

# Serial adapters (USB, where loggers are plugged in). Built-in ttyS ports do not count: most PCs and
# virtual machines have one with nothing attached; a logger on one is chosen in Port setup.
adapter_present() {
  compgen -G '/dev/serial/by-id/*' >/dev/null || compgen -G '/dev/ttyUSB*' >/dev/null ||
    compgen -G '/dev/ttyACM*' >/dev/null
}

# The --speed the simulator was started with: the last one given.
simulated_speed() {
  local speed=1 next=0 word
  for word in "${defaults[@]}" ${sim_args[@]+"${sim_args[@]}"}; do
    if [ $next -eq 1 ]; then speed=$word; next=0; elif [ "$word" = "--speed" ]; then next=1; fi
  done
  echo "$speed"
}

# Starts loggersim on a pseudo-terminal and maps COM1 to it for the workbench: with the options of
# examples/simulator.options (a fast clock and changing pins, so that every example shows something
# at once), then the ones given after "--".
start_simulated_logger() {
  sim_dir=$(mktemp -d "${TMPDIR:-/tmp}/orrery-sim.XXXXXX")
  local defaults=() word
  while IFS= read -r word; do
    case "$word" in ''|'#'*) ;; *) defaults+=("$word") ;; esac
  done <examples/simulator.options
  build/tools/loggersim/loggersim --link "$sim_dir/COM1" "${defaults[@]}" ${sim_args[@]+"${sim_args[@]}"} \
    >"$sim_dir/device" 2>"$sim_dir/log" &
  sim_pid=$!
  trap 'kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; rm -rf "$sim_dir"' EXIT
  local tries=0
  until [ -s "$sim_dir/device" ] || [ $tries -ge 100 ]; do sleep 0.05; tries=$((tries + 1)); done
  if [ ! -s "$sim_dir/device" ]; then
    echo "The simulated logger did not start:" >&2
    cat "$sim_dir/log" >&2
    exit 1
  fi
  export ORRERY_COM1="$sim_dir/COM1" ORRERY_COM1_LABEL="simulated logger"
  echo "COM1 is a simulated logger (tools/loggersim on $(head -n 1 "$sim_dir/device")):" \
    "no serial port is configured and no serial adapter is plugged in. ./run.sh --sim always uses it;" \
    "its programs run at $(simulated_speed) times real time (./run.sh --sim -- --speed 1 for real time)."
}
scripts/install-deps.sh
# Only what this script starts: the workbench, the simulated logger and the compiler (the tests are
# ./test.sh's to build).
scripts/build.sh build --target orrery loggersim qobc

workbench=build/shell/orrery
if [ -x "$workbench" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; }; then
  # With no files named, the workbench opens an example program, ready for Syntax check (Alt+Y).
  if [ $# -eq 0 ]; then
    set -- examples/sampler.qob
  fi
  if [ $force_sim -eq 1 ] || { ! port_configured && ! adapter_present; }; then
    start_simulated_logger
    status=0
    "$workbench" "$@" || status=$?
    exit $status
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
