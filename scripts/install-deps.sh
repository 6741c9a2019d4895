#!/usr/bin/env bash
# Installs the Debian packages the editor, its virtual pedal, its tests and its Debian package
# (scripts/package.sh, scripts/check-packaging.sh) need.
# Idempotent: packages already present are left alone, and apt is not touched at all when
# nothing is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-serialport-dev libgl-dev
  dpkg-dev file lintian desktop-file-utils appstream
  libgtest-dev googletest
  xvfb xauth xdotool imagemagick
  fonts-liberation fonts-dejavu-core
  stm32flash clang-format openssl clang libclang-rt-14-dev
  man-db zsh
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
