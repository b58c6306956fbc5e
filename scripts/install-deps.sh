#!/usr/bin/env bash
# Installs the Debian packages Orrery needs to build, test and run, but only those that are missing,
# so that a second run costs one dpkg query. Works as root or through sudo.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-serialport-dev libgl-dev
  qt6-charts-dev libqt6opengl6-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev python3
  socat lrzsz srecord crasm
  xvfb xauth x11-apps imagemagick fonts-dejavu-core poppler-utils
  openbox  # a window manager under Xvfb, for screenshots with title bars
  dpkg-dev file binutils desktop-file-utils shared-mime-info man-db groff-base lintian
)

missing=()
for pkg in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    SUDO="sudo"
  else
    echo "error: these packages are missing and this user cannot install them: ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
