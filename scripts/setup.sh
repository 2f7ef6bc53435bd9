#!/usr/bin/env bash
# Installs what the build needs (Debian 12 packages) and builds the project
# into build/. Safe to run again: it installs only what is missing and
# rebuilds only what changed.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build pkg-config git ccache file
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  libftdi1-dev umockdev libumockdev-dev libxrl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libeigen3-dev libhdf5-dev
  fonts-ipafont-gothic fonts-dejavu-core fonts-wine
  clang libclang-rt-14-dev
  xvfb xauth poppler-utils locales
  python3-hyperspy python3-pymca5 python3-h5py python3-xraylib python3-fisx python3-scipy
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Run this as root, or install sudo: apt-get needs root to install them." >&2; exit 1; }
    sudo_cmd=(sudo)
  fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A locale with a decimal comma, for the test that numbers keep their point.
if ! locale -a 2>/dev/null | grep -qx 'de_DE.utf8'; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi

build_dir=${TOLVANE_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build_dir" -j2
