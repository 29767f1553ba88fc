#!/usr/bin/env bash
# Takes the documentation's pictures of the window under a virtual X server and puts
# them into docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset debug >/dev/null
cmake --build --preset debug --target folivo-screenshots -j "$(nproc)"
export XDG_RUNTIME_DIR="$(mktemp -d)"
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
unset QT_QPA_PLATFORM
# A session bus with a notification daemon of its own, so that the picture of a reminder
# notification shows what a desktop shows.
xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- sh -c '
  dunst -config /dev/null >/dev/null 2>&1 &
  sleep 1
  FOLIVO_SCREENSHOT_NOTIFICATION=1 build/debug/tools/folivo-screenshots docs/screenshots
  status=$?
  kill %1 2>/dev/null
  exit $status'

