#!/usr/bin/env bash
# A long series of the crash test: a worker changing a plain and an encrypted database is
# killed at random moments, and after every kill nothing the database held may be lost.
#   scripts/crash-test.sh [ROUNDS] [SEED]      (default 500 rounds per database, a random seed)
# The test program prints its seed; give it back as SEED to repeat a run exactly.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset debug >/dev/null
cmake --build --preset debug -j "$(nproc)" --target core_tests
export XDG_RUNTIME_DIR="$(mktemp -d)"
export XDG_STATE_HOME="$XDG_RUNTIME_DIR/state"
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
export FOLIVO_CRASH_ROUNDS="${1:-500}"
if [ -n "${2:-}" ]; then export FOLIVO_CRASH_SEED="$2"; fi
exec build/debug/tests/core_tests --gtest_filter='CrashTest.*'
