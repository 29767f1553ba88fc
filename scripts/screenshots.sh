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
xvfb-run -a -s "-screen 0 1280x800x24" build/debug/tools/folivo-screenshots docs/screenshots
