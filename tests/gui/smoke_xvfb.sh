#!/usr/bin/env bash
# Starts the real program on a small database under a virtual X server, lets it show its
# window, takes a picture of it and expects a clean exit.
#   smoke_xvfb.sh FOLIVO FOLIVO_CLI WORKDIR
set -euo pipefail
folivo=$1
cli=$2
work=$3
rm -rf "$work"
mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" XDG_STATE_HOME="$work/state"
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
unset QT_QPA_PLATFORM

"$cli" create "$work/Smoke.fvdb" >/dev/null
"$cli" mkdir "$work/Smoke.fvdb" Bank >/dev/null
"$cli" mkdir "$work/Smoke.fvdb" Bank/Visa >/dev/null
printf 'statement\n' >"$work/Visa+6-15-2024.txt"
"$cli" import "$work/Smoke.fvdb" "$work/Visa+6-15-2024.txt" >/dev/null

shot="$work/window.png"
FOLIVO_SCREENSHOT="$shot" FOLIVO_SEPARATE_INSTANCE=1 timeout 120 \
    xvfb-run -a -s "-screen 0 1280x800x24" "$folivo" "$work/Smoke.fvdb"
test -s "$shot" || { echo "no picture was taken" >&2; exit 1; }
# A PNG, and not a blank one: the window drew something.
head -c 8 "$shot" | od -An -tx1 | grep -q "89 50 4e 47" || { echo "not a PNG" >&2; exit 1; }
test "$(stat -c %s "$shot")" -gt 4000 || { echo "the picture is nearly empty" >&2; exit 1; }
# The run saved and closed the database: the index is current, no change is pending.
test ! -e "$work/Smoke.fvdb/.changed" || { echo "the database was not closed cleanly" >&2; exit 1; }
echo "smoke: window shown, picture taken, clean exit"
