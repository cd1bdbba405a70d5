#!/usr/bin/env bash
# Runs a program on a virtual screen (Xvfb, 1280x800, 96 dpi) under the openbox window
# manager, with a home folder of its own, and exits with the program's status. Exits 77
# (skipped) when xvfb-run, xprop or openbox is missing.
#
#   run-under-openbox.sh <program> [arguments...]
set -euo pipefail

if [ "${1:-}" = "--on-screen" ]; then
  shift
  work=$(mktemp -d)
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  wm=$!
  trap 'kill "$wm" 2>/dev/null || true; wait "$wm" 2>/dev/null || true; rm -rf "$work"' EXIT
  # The window manager is in charge once it names itself on the root window.
  for _ in $(seq 1 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
  if ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
    echo "run-under-openbox: openbox did not start" >&2
    cat "$work/openbox.log" >&2
    exit 75 # the virtual screen was not there: tried again on a new one
  fi
  mkdir -p "$work/home" "$work/runtime"
  chmod 700 "$work/runtime"
  status=0
  env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u QT_SCALE_FACTOR \
    HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb "$@" || status=$?
  exit "$status"
fi

for tool in xvfb-run xauth xprop openbox; do
  if ! command -v "$tool" >/dev/null; then
    echo "run-under-openbox: $tool is missing (scripts/install-deps.sh installs it); skipped"
    exit 77
  fi
done
# xvfb-run -a can hand out a display whose previous server is still going away; openbox
# then finds no screen. That start is tried again, at most three times.
for _ in 1 2 3; do
  status=0
  xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" "$0" --on-screen "$@" || status=$?
  [ "$status" -ne 75 ] && exit "$status"
  sleep 1
done
exit 1
