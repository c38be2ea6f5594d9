#!/bin/sh
# Photographs Form1 as the user sees it after a configuration error: starts a private Xvfb, runs
# catalog-publisher on a demo drive folder whose company database has no row for company 1 (the
# window stays open with till number 0), writes the window's picture to docs/window.png, presses
# "Uscita" and stops Xvfb.
# Usage: tools/screenshot-window.sh [build-folder]   (default: build; catalog-publisher and
# tools/mdbwriter/mdb-write must be built)
# Needs: Xvfb (xvfb), xdotool, import (imagemagick).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
program="$build/catalog-publisher"
mdb_write="$build/tools/mdbwriter/mdb-write"
output="$root/docs/window.png"
for built in "$program" "$mdb_write"; do
  [ -x "$built" ] || { echo "screenshot-window: build $built first" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

# Drive C: of the demo shop. Its company database names the data database of company 2 only.
drives="$work/drives"
mkdir -p "$drives/c/nodo" "$drives/c/orbis/bkp"
cat >"$work/orbis.json" <<'EOF'
{"tables": [
 {"name": "società",
  "columns": [{"name": "codute", "type": "Integer"},
              {"name": "ragsoc", "type": "Text", "size": 50},
              {"name": "database", "type": "Text", "size": 255}],
  "rows": [[2, "ALIMENTARI ROSSI S.N.C.", "C:\\Orbis\\Dati.mdb"]]},
 {"name": "inizio",
  "columns": [{"name": "codute", "type": "Integer"},
              {"name": "descrizione", "type": "Text", "size": 50}],
  "rows": [[2, "AVVIO NEGOZIO"]]}]}
EOF
"$mdb_write" "$drives/c/nodo/orbis.mdb" "$work/orbis.json"

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

(cd "$drives/c" && CATALOG_PUBLISHER_DRIVES="$drives" exec "$program") &
program_pid=$!
id=$(timeout 10 xdotool search --sync --onlyvisible --name '^B$' | head -n 1)
[ -n "$id" ] || { echo "screenshot-window: the window did not appear" >&2; exit 1; }
sleep 0.5  # let it draw

eval "$(xdotool getwindowgeometry --shell "$id")"
mkdir -p "$(dirname "$output")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$output"

# "Uscita" (120, 6720, 8655 x 1095 twips; 15 twips a pixel): the run ends with status 1.
xdotool mousemove --window "$id" 296 484 click 1
status=0
wait "$program_pid" || status=$?
program_pid=""
[ "$status" -eq 1 ] || { echo "screenshot-window: the program ended with $status, not 1" >&2; exit 1; }
echo "screenshot-window: wrote $output (${WIDTH}x${HEIGHT})"
