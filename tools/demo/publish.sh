#!/usr/bin/env bash
# The demo after the build: writes the demo shop into DEMO_DIR, starts a local FTP server on PORT,
# runs PROGRAM (a catalog-publisher built for 127.0.0.1:PORT and the account USER) once on the shop
# and shows what it did. The server is stopped however the run ends.
#
#   tools/demo/publish.sh PROGRAM MDB_WRITE DEMO_DIR PORT USER PASSWORD
#
# DEMO_DIR/drives/c is drive C: (company database nodo/orbis.mdb; Orbis/ with the data database
# Dati.mdb, the export articoli.csv and the run logs in bkp/); DEMO_DIR/ftp-root is the server's
# "/". Running it again rewrites the databases, appends to today's run log and replaces the file
# on the server. Exits with the program's status, or 4 when the demo itself went wrong.
#
# A PROGRAM ending in .exe is the Windows build (tools/demo-windows.sh), run under Wine in the
# prefix DEMO_DIR/wine, whose drive C: is DEMO_DIR/drives/c: the same shop, seen by Windows paths.
set -euo pipefail

if [ $# -ne 6 ]; then
  sed -n '2,6p' "$0" >&2
  exit 4
fi
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
program="$(realpath "$1")"
mdb_write="$(realpath "$2")"
mkdir -p "$3"
demo="$(realpath "$3")"
port="$4"
user="$5"
password="$6"
python=/usr/bin/python3  # Debian's, with python3-pyftpdlib

fail() {
  echo "demo: $*" >&2
  exit 4
}

# --- the shop ------------------------------------------------------------------------------------
drive="$demo/drives/c"
mkdir -p "$drive/nodo" "$drive/Orbis/bkp" "$demo/json"
"$python" "$here/make_demo_shop.py" "$demo/json"
"$mdb_write" "$drive/nodo/orbis.mdb" "$demo/json/orbis.json"
"$mdb_write" "$drive/Orbis/Dati.mdb" "$demo/json/dati.json"

# --- the FTP server ------------------------------------------------------------------------------
root="$demo/ftp-root"
orbis="$root/var/www/vellum/orbis"
mkdir -p "$orbis"
server_log="$demo/ftp-server.log"
port_file="$demo/ftp-server.port"
rm -f "$port_file"
server_pid=""
stop_server() {
  [ -n "$server_pid" ] || return 0
  kill -TERM "$server_pid" 2>/dev/null || true
  for _ in $(seq 50); do
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
  server_pid=""
}
trap stop_server EXIT
trap 'exit 130' INT TERM

"$python" "$repo/tests/ftp_server.py" --root "$root" --user "$user" --password "$password" \
  --port "$port" --port-file "$port_file" >/dev/null 2>>"$server_log" &
server_pid=$!
for _ in $(seq 200); do
  [ -s "$port_file" ] && break
  if ! kill -0 "$server_pid" 2>/dev/null; then
    wait "$server_pid" 2>/dev/null || true
    server_pid=""
    fail "the FTP server did not start: $(tail -n 1 "$server_log")"
  fi
  sleep 0.1
done
[ -s "$port_file" ] || fail "the FTP server did not start within 20 s (see $server_log)"
echo "== FTP server on 127.0.0.1:$port (pid $server_pid), serving $root"

# --- Wine, for the Windows build ----------------------------------------------------------------
run=("$program")
case "$program" in
  *.exe)
    export WINEPREFIX="$demo/wine" WINEDEBUG=-all
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "== making the Wine prefix $WINEPREFIX (once)"
      wineboot -i >/dev/null 2>&1 || fail "wineboot could not make the Wine prefix $WINEPREFIX"
      # A crash ends the run with its exception code rather than in Wine's debugger.
      key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'
      wine reg add "$key" /v Debugger /d '' /f >/dev/null 2>&1
      wine reg add "$key" /v Auto /d 0 /f >/dev/null 2>&1
      wineserver -w
    fi
    # Drive C: is the shop; Wine still needs its Windows folder there.
    ln -sfn "$drive" "$WINEPREFIX/dosdevices/c:"
    [ -e "$drive/windows" ] || ln -s "$WINEPREFIX/drive_c/windows" "$drive/windows"
    # Nothing of Wine (its server, the services it starts) outlives the demo.
    trap 'stop_server; wineserver -k 2>/dev/null || true' EXIT
    run=(wine "$program")
    ;;
esac

# --- the run -------------------------------------------------------------------------------------
echo "== catalog-publisher on drive C: = $drive"
status=0
(cd "$drive" && env -u DISPLAY CATALOG_PUBLISHER_DRIVES="$demo/drives" \
  timeout 300 "${run[@]}") || status=$?
echo "== exit status $status"

log="$drive/Orbis/bkp/logrul3_$(date +%d%m%Y).txt"
echo "== run log $log (Windows-1252, CR LF)"
if [ -f "$log" ]; then iconv -f WINDOWS-1252 -t UTF-8 "$log" | tr -d '\r'; fi

export_file="$drive/Orbis/articoli.csv"
if [ -f "$export_file" ]; then
  echo "== export $export_file: $(stat -c %s "$export_file") bytes, $(wc -l <"$export_file") lines; the first ones:"
  head -n 5 "$export_file" | iconv -f WINDOWS-1252 -t UTF-8 | tr -d '\r'
fi

# The demo shop's activity code (utenti.codattiv) is 12.
uploaded="$orbis/12/articoli.csv"
if [ -f "$uploaded" ]; then
  echo "== on the server: /var/www/vellum/orbis/12/articoli.csv ($uploaded), $(stat -c %s "$uploaded") bytes"
  if [ -f "$export_file" ] && cmp -s "$export_file" "$uploaded"; then
    echo "   byte for byte the local export"
  else
    echo "   DIFFERS from the local export"
    [ "$status" -ne 0 ] || status=4
  fi
else
  echo "== nothing on the server at /var/www/vellum/orbis/12/articoli.csv"
  [ "$status" -ne 0 ] || status=4
fi
exit "$status"
