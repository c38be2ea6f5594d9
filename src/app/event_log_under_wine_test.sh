#!/usr/bin/env bash
# The Event Log entries of the Windows build, under Wine:
# event_log_under_wine_test.sh WINE_RUN WINEPREFIX DLL_FOLDER TEST_PROGRAM.exe PROGRAM.exe
#
# Wine keeps no Event Log, but its ReportEventW says what it was given: the type and the event
# number on the advapi channel (fixme), the string on the eventlog channel (err for an error, trace
# otherwise). So this one test turns those channels on, where every other runs with WINEDEBUG=-all.
set -euo pipefail
wine_run="$1" prefix="$2" dlls="$3" test_program="$4" program="$5"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# Wine's drive Z: is the Unix root.
program_on_z="Z:$(tr / '\\' <<<"$program")"
status=0
WINEDEBUG=-all,fixme+advapi,+eventlog "$wine_run" "$prefix" "$dlls" "$test_program" \
  "$program_on_z" >"$work/out" 2>"$work/err" || status=$?
cat "$work/out"
failures=0
[ "$status" -eq 0 ] || { echo "FAILED: the test program ended with status $status"; failures=$((failures + 1)); }
said() {  # said WHAT LINE: LINE is one of the lines Wine wrote, after its thread number
  if grep -qxF -- "$2" <(sed 's/^[0-9a-f]*://' "$work/err"); then
    echo "ok: $1"
  else
    echo "FAILED: $1: [$2] not among Wine's lines:"; cat "$work/err"; failures=$((failures + 1))
  fi
}
# ReportEventW's arguments: the source, type, category, event number, user, number of strings, ...
entry='fixme:advapi:ReportEventW ([0-9A-F]*,%s,0x0000,%s,0000000000000000,0x0001,0x00000000,[0-9A-F]*,0000000000000000): stub'
reported() {  # reported WHAT TYPE ID
  if sed 's/^[0-9a-f]*://' "$work/err" | grep -qx -- "$(printf "$entry" "$2" "$3")"; then
    echo "ok: $1"
  else
    echo "FAILED: $1: no ReportEventW of type $2, event $3"; failures=$((failures + 1))
  fi
}
reported "the publication as information, event 1" 0x0004 0x00000001
said "its text, the line printed on standard output" \
  'trace:eventlog:ReportEventW L"Pubblicati 2 articoli di C:\\orbis\\articoli.csv sul server h in /var/www/vellum/orbis/12/articoli.csv, in 1,4 s"'
reported "the fatal error as an error, event 30" 0x0001 0x0000001e
said "its text, in UTF-16" \
  'err:eventlog:ReportEventW L"ERRORE : la tabella societ\00e0 non esiste in C:\\nodo\\orbis.mdb"'
entries="$(grep -c 'fixme:advapi:ReportEventW' "$work/err" || true)"
[ "$entries" -eq 2 ] && echo "ok: two entries" || { echo "FAILED: $entries entries"; failures=$((failures + 1)); }
[ "$failures" -eq 0 ]
