#!/usr/bin/env bash
# Runs a command the way a desktop with a screen reader runs programs: an X
# display of its own (Xvfb), a private session bus, the AT-SPI bus that the
# session bus starts on demand, and Qt's accessibility switched on.
#
#   tests/app/atspisession.sh COMMAND [ARGUMENT...]
set -euo pipefail

# Xvfb names the display it took through a pipe, so runs in parallel need
# no agreed display numbers. Servers starting at the same moment can still
# trip over each other, so a display that does not answer is started anew.
# The server must not reset when its last client leaves: the probe below
# leaves just as the program comes, and a client that calls during a reset
# is turned away.
xvfb=""
runtime=""
trap 'if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null; fi; rm -rf "${pipe:-}" "$runtime"' EXIT
start_display() {
  pipe=$(mktemp -u)
  mkfifo "$pipe"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$pipe" >/dev/null 2>&1 &
  xvfb=$!
  display=""
  read -r display <"$pipe" || true
  rm -f "$pipe"
  [ -n "$display" ] && DISPLAY=":$display" xdotool getdisplaygeometry >/dev/null 2>&1
}
for attempt in 1 2 3 4 5; do
  start_display && break
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  xvfb=""
done
if [ -z "$xvfb" ]; then
  echo "atspisession.sh: no X display could be started" >&2
  exit 1
fi
export DISPLAY=":$display"

# Qt speaks AT-SPI only when asked to; no screen reader runs here to ask.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export QT_QPA_PLATFORM=xcb
runtime=$(mktemp -d)
export XDG_RUNTIME_DIR=$runtime

# The desktop's opener only writes down what it was asked to open, so the
# check sees the parts folder and the manual without starting programs.
mkdir "$runtime/bin"
export DARVOLT_OPENED="$runtime/opened"
: >"$DARVOLT_OPENED"
cat >"$runtime/bin/xdg-open" <<'OPENER'
#!/bin/sh
printf '%s\n' "$1" >>"$DARVOLT_OPENED"
OPENER
chmod +x "$runtime/bin/xdg-open"
export PATH="$runtime/bin:$PATH"

# A desktop session starts the accessibility bus at log-in; Qt only looks
# for it running, so it is asked for here before the command starts.
dbus-run-session -- sh -c 'dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
  org.a11y.Bus.GetAddress >/dev/null && exec "$@"' atspisession "$@"
