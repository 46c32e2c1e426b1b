#!/usr/bin/env bash
# Runs atspicheck.py against the window program the way a desktop with a
# screen reader would run it: an X display of its own (Xvfb), a private
# session bus, and the AT-SPI bus that the session bus starts on demand.
#
#   tests/app/atspicheck.sh PROGRAM
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$1

# Xvfb names the display it took through a pipe, so runs in parallel never
# fight over a display number.
pipe=$(mktemp -u)
mkfifo "$pipe"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$pipe" >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; rm -rf "$pipe" "${runtime:-}"' EXIT
read -r display <"$pipe"
export DISPLAY=":$display"

# Qt speaks AT-SPI only when asked to; no screen reader runs here to ask.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export QT_QPA_PLATFORM=xcb
runtime=$(mktemp -d)
export XDG_RUNTIME_DIR=$runtime
dbus-run-session -- /usr/bin/python3 "$here/atspicheck.py" "$program"
