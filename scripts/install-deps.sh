#!/usr/bin/env bash
# Installs every Debian 12 package that building, testing and running Folivo need.
# Idempotent: when everything is present it only asks dpkg and returns at once;
# apt-get update runs only when something is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-pdf-dev qt6-multimedia-dev qt6-webengine-dev
  qt6-svg-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  libqt6opengl6-dev libgl-dev
  libplist-dev libzip-dev libssl-dev libpoppler-cpp-dev libsqlite3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libx11-dev libxtst-dev
  xvfb xauth xdotool x11-utils x11-xkb-utils openbox
  xdg-utils dbus-daemon dunst
  ccache
  python3 fonts-dejavu-core locales
  file appstream man-db
  openssl zip unzip poppler-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO="sudo"; else
    echo "install-deps: need root or sudo to install: ${missing[*]}" >&2; exit 1
  fi
fi

echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
