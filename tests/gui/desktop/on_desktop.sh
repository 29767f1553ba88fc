#!/usr/bin/env bash
# Runs a test program on a desktop of its own: a virtual X server with a window manager
# (openbox), so that windows are activated, focused and stacked as on a person's screen and
# xdotool can type and drag for the test.
#   on_desktop.sh PROGRAM [ARGS...]
# Listing the tests needs no desktop: the program then runs on the offscreen platform.
set -euo pipefail
for arg in "$@"; do
  if [ "$arg" = "--gtest_list_tests" ]; then
    QT_QPA_PLATFORM=offscreen exec "$@"
  fi
done

work=$(mktemp -d)
xpid=""
wmpid=""
cleanup() {
  [ -n "$wmpid" ] && kill "$wmpid" 2>/dev/null || true
  [ -n "$xpid" ] && kill "$xpid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

# The server picks a free display itself, so that tests run side by side never share one.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xpid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.05
done
display=$(tr -d '[:space:]' <"$work/display")
[ -n "$display" ] || { echo "on_desktop: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$display"

openbox >"$work/openbox.log" 2>&1 &
wmpid=$!
# Ready once the window manager has announced itself on the root window.
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.05
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' \
  || { echo "on_desktop: openbox did not start" >&2; cat "$work/openbox.log" >&2; exit 1; }

# A session of its own: settings, trash and private temporary folders stay in here.
mkdir -p "$work/config" "$work/data" "$work/runtime" "$work/state"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime"
export XDG_STATE_HOME="$work/state" QT_QPA_PLATFORM=xcb
unset QT_QPA_PLATFORMTHEME
set +e
# Ended here, before the test runner gives up on it and leaves the desktop behind.
timeout --kill-after=5 "${FOLIVO_DESKTOP_TIMEOUT:-100}" "$@"
rc=$?
set -e
exit $rc
