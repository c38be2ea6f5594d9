#!/bin/sh
# Photographs Form1 as the user sees it after a configuration error: starts a private Xvfb, shows
# the window with till number 3 (tools/show_window), writes the window's picture to
# docs/window.png, presses "Uscita" and stops Xvfb.
# Usage: tools/screenshot-window.sh [build-folder]   (default: build; show_window must be built)
# Needs: Xvfb (xvfb), xdotool, import (imagemagick).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
program="$build/tools/show_window"
output="$root/docs/window.png"
[ -x "$program" ] || { echo "screenshot-window: build $program first" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid=""
window_pid=""
cleanup() {
  [ -n "$window_pid" ] && kill "$window_pid" 2>/dev/null || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

# Xvfb picks a free display number and writes it to fd 3 once it accepts clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
tries=0
until [ -s "$work/display" ]; do
  tries=$((tries + 1))
  [ "$tries" -le 100 ] || { echo "screenshot-window: Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
DISPLAY=":$(head -n 1 "$work/display")"
export DISPLAY

"$program" 3 &
window_pid=$!
id=$(timeout 10 xdotool search --sync --onlyvisible --name '^B$' | head -n 1)
[ -n "$id" ] || { echo "screenshot-window: the window did not appear" >&2; exit 1; }
sleep 0.5  # let it draw

eval "$(xdotool getwindowgeometry --shell "$id")"
mkdir -p "$(dirname "$output")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$output"

# "Uscita": the window unloads and the program ends by itself.
xdotool mousemove --window "$id" 296 484 click 1
wait "$window_pid"
window_pid=""
echo "screenshot-window: wrote $output (${WIDTH}x${HEIGHT})"
