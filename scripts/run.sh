#!/usr/bin/env bash
# Installs what Folivo needs, builds it (release) and starts it.
#   scripts/run.sh [PATH/TO/Database.fvdb]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release -DFOLIVO_BUILD_BENCH=OFF >/dev/null
cmake --build --preset release --target folivo folivo-cli
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run.sh: no display found; starting Folivo inside a virtual X server (xvfb-run)." >&2
  exec xvfb-run -a build/release/src/gui/folivo "$@"
fi
exec build/release/src/gui/folivo "$@"
