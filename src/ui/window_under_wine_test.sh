#!/usr/bin/env bash
# The Windows build's window under Wine: window_under_wine_test.sh PROGRAM WINEPREFIX
#
# PROGRAM is window_test_program.exe. Without an X display the program must take the headless path
# at once (Wine then still calls its window station visible); on a private Xvfb, Form1 must show as
# a fixed dialog off the task bar with its icon, and a click on "Uscita" or on the message box's OK
# must reach FLTK. Wine keeps the desktop that its first program found for the whole session of
# its server, so each half ends that server: the prefix is this test's own, made on first use.
set -euo pipefail
program="$1"
export WINEPREFIX="$2" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
for tool in Xvfb xdotool xprop wine wineserver; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work="$(mktemp -d)"
xvfb=""
finish() {
  wineserver -k 2>/dev/null || true
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap finish EXIT
failures=0
check() {  # check WHAT EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then echo "ok: $1"; else echo "FAILED: $1: expected [$2], got [$3]"; failures=$((failures + 1)); fi
}
contains() {  # contains WHAT NEEDLE HAYSTACK
  if [[ "$3" == *"$2"* ]]; then echo "ok: $1"; else echo "FAILED: $1: [$2] not in [$3]"; failures=$((failures + 1)); fi
}
end_wine_session() { wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true; }
if [ ! -f "$WINEPREFIX/.catpub-ready" ]; then
  mkdir -p "$WINEPREFIX"
  env -u DISPLAY wine wineboot --init >/dev/null 2>&1
  end_wine_session
  touch "$WINEPREFIX/.catpub-ready"
fi

# No display.
end_wine_session
check "no display: headless" headless "$(env -u DISPLAY timeout 60 wine "$program" host | tr -d '\r')"
status=0
env -u DISPLAY timeout 60 wine "$program" window >/dev/null || status=$?
check "no display: the window refuses at once" 2 "$status"
end_wine_session

# A private display: Xvfb picks a free number and writes it on the pipe once it accepts clients.
exec 9<> <(:)
Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
read -r -t 10 number <&9 || { echo "FAILED: Xvfb reported no display"; exit 1; }
exec 9<&-
export DISPLAY=":$number"
check "display: FLTK" fltk "$(timeout 60 wine "$program" host | tr -d '\r')"

timeout 60 wine "$program" window >"$work/window.out" 2>&1 &
run=$!
id="$(timeout 30 xdotool search --sync --onlyvisible --name '^B$' | head -n 1)"
if [ -z "$id" ]; then
  echo "FAILED: Form1 was not shown"; kill "$run" 2>/dev/null; exit 1
fi
# FLTK shows the window, then it is hidden and shown again with the dialog's frame: wait for that
# second showing (up to 5 s) before looking.
for _ in $(seq 50); do
  id="$(xdotool search --onlyvisible --name '^B$' | head -n 1)"
  [[ -n "$id" && "$(xprop -id "$id" _NET_WM_STATE)" == *SKIP_TASKBAR* ]] && break
  sleep 0.1
done
# 8895 x 7965 twips, centred on the 1024 x 768 screen.
contains "window: centred, 593 x 531" $'X=215\nY=118\nWIDTH=593\nHEIGHT=531' \
  "$(xdotool getwindowgeometry --shell "$id")"
hints="$(xprop -id "$id" WM_NORMAL_HINTS _MOTIF_WM_HINTS _NET_WM_STATE WM_TRANSIENT_FOR)"
contains "window: fixed size" "program specified maximum size: 593 by 531" "$hints"
# Wine's Motif functions: move and close only (no resize 0x2, minimise 0x8, maximise 0x10).
contains "window: no sizing, minimise or maximise" "_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x3, 0x24," "$hints"
contains "window: off the task bar" "_NET_WM_STATE_SKIP_TASKBAR" "$hints"
contains "window: owned by the hidden window" "WM_TRANSIENT_FOR(WINDOW): window id" "$hints"
contains "window: its icon" "Icon (32 x 32)" "$(xprop -id "$id" -len 8 _NET_WM_ICON)"
sleep 0.5
xdotool mousemove --window "$id" 296 484 click 1  # the centre of "Uscita"
wait "$run" || true
check "window: Uscita reached FLTK" \
  "$(printf 'till number 17\nshown 1\nForm_Load\nCommand1_Click\nForm_Unload')" \
  "$(tr -d '\r' <"$work/window.out")"

timeout 60 wine "$program" message >"$work/message.out" 2>&1 &
run=$!
id="$(timeout 30 xdotool search --sync --onlyvisible --name '^catalog-publisher$' | head -n 1)"
if [ -z "$id" ]; then
  echo "FAILED: the message box was not shown"; kill "$run" 2>/dev/null; exit 1
fi
eval "$(xdotool getwindowgeometry --shell "$id")"
check "message box: centred" "512 384" "$((X + WIDTH / 2)) $((Y + HEIGHT / 2))"
sleep 0.5
xdotool mousemove --window "$id" $((WIDTH - 30)) $((HEIGHT - 22)) click 1  # OK, bottom right
wait "$run" || true
check "message box: OK reached FLTK" "$(printf 'shown 0\nForm_Load\nForm_Unload')" \
  "$(tr -d '\r' <"$work/message.out")"

[ "$failures" -eq 0 ]
