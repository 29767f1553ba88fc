#!/usr/bin/env bash
# Installs what the tests need, builds everything once with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test (core, command line, GUI offscreen, and the
# window's activation, dialogs and drags on a virtual desktop of their own: Xvfb with openbox).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QTWEBENGINE_DISABLE_SANDBOX=1
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$(nproc)"
# Tests run in a private runtime folder so temporary folders never mix with a real session.
export XDG_RUNTIME_DIR="$(mktemp -d)"
export XDG_STATE_HOME="$XDG_RUNTIME_DIR/state"
# The reminder notice store and other per-person data of test runs stay in there too.
export XDG_DATA_HOME="$XDG_RUNTIME_DIR/data"
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
status=0
ctest --preset asan "$@" || status=$?
# A password or user ID a test typed must not show up in what the suite wrote.
scripts/check-test-logs.sh build/asan/Testing/Temporary "$XDG_STATE_HOME" || status=1
# The Debian package of this build: made, its files and metadata checked, and started.
if [ "$status" -eq 0 ]; then
  deb=$(FOLIVO_DEB_COMPRESSION=gzip scripts/package.sh build/asan | tail -1)
  scripts/check-package.sh "$deb" || status=1
fi
exit "$status"
