#!/usr/bin/env bash
# Installs the Debian packages Orrery needs to build, test and run, but only those that are missing,
# so that a second run costs one dpkg query. Works as root or through sudo.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config
  ccache  # picked up by the build when present: rebuilds and second build folders reuse objects
  qt6-base-dev qt6-serialport-dev libgl-dev
  qt6-charts-dev libqt6opengl6-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev python3
  socat lrzsz srecord crasm
  xvfb xauth x11-apps imagemagick fonts-dejavu-core poppler-utils
  locales  # the tests also run number formatting and parsing under a German locale
  openbox  # a window manager under Xvfb, for screenshots with title bars
  neovim  # a real editor as the client of the language server qobls in its tests
  dpkg-dev file binutils desktop-file-utils shared-mime-info man-db groff-base lintian
)

missing=()
for pkg in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ] && command -v sudo >/dev/null 2>&1; then
  SUDO="sudo"
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing missing packages: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ] && [ -z "$SUDO" ]; then
    echo "error: these packages are missing and this user cannot install them: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A German locale (decimal comma) for the tests that check locale-independent number handling; they
# skip themselves where it is missing, so a user who cannot generate it loses only those checks.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  if [ "$(id -u)" -eq 0 ] || [ -n "$SUDO" ]; then
    echo "Generating the locale de_DE.UTF-8"
    $SUDO sed -i 's/^# *\(de_DE\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^de_DE\.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null
  fi
fi
