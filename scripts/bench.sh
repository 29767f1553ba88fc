#!/usr/bin/env bash
# Installs what building needs, builds the release benchmark and runs it.
#   scripts/bench.sh [--items N] [--dir D] [--keep] [--repeat R] [--breakdown]
# Arguments go to open_bench unchanged; see bench/README.md.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DFOLIVO_BUILD_GUI=OFF -DFOLIVO_BUILD_TESTS=OFF -DFOLIVO_BUILD_BENCH=ON >/dev/null
ninja -C build/bench open_bench
exec build/bench/bench/open_bench "$@"
