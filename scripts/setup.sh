#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing tavelin need.
# Only what is missing is installed, so a prepared machine starts at once.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qtbase5-dev libqt5serialport5-dev libqt5sql5-sqlite libqwt-qt5-dev
  libgtest-dev googletest
  xvfb xdotool x11-utils imagemagick xclip
  clang libclang-rt-14-dev
  fonts-dejavu-core fonts-dejavu-extra fonts-wine fonts-liberation
  python3
  at-spi2-core dbus python3-pyatspi python3-dbus
  dpkg-dev desktop-file-utils appstream lintian groff-base librsvg2-bin
  libsystemd-dev systemd
  libmosquitto-dev libssl-dev mosquitto mosquitto-clients openssl
  sqlite3
  libqt5serialbus5-dev mbpoll python3-pymodbus python3-serial-asyncio
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
