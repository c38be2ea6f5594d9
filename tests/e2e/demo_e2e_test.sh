#!/usr/bin/env bash
# The demo's steps after the build, twice, in a fresh folder: make_demo_shop.py's descriptions go
# through mdb-write, the program publishes the shop to the demo FTP server, the second run appends
# to the run log and replaces the file on the server, and the server is gone after each run.
#
#   demo_e2e_test.sh PROGRAM MDB_WRITE PORT CMAKE_CACHE
#
# PROGRAM (a Linux build, or a Windows build ending in .exe, which runs under Wine) is built for
# 127.0.0.1:PORT with the account of CMAKE_CACHE (PUBLISH_FTP_USER, PUBLISH_FTP_PASSWORD), as
# catalog-publisher-e2e is.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
publish="$here/../../tools/demo/publish.sh"
program="$1" mdb_write="$2" port="$3" cache="$4"
setting() { sed -n "s/^$1:[A-Z]*=//p" "$cache"; }
user="$(setting PUBLISH_FTP_USER)"
password="$(setting PUBLISH_FTP_PASSWORD)"

demo="$(mktemp -d "${TMPDIR:-/tmp}/catpub-demo-XXXXXX")"
trap 'rm -rf "$demo"' EXIT
. "$here/../support/checks.sh"
contains() { grep -qF -- "$2" <<<"$1"; }
server_gone() {
  local pid
  pid="$(sed -n 's/^== FTP server on .* (pid \([0-9]*\)).*/\1/p' <<<"$1")"
  [ -n "$pid" ] && ! kill -0 "$pid" 2>/dev/null
}

log="$demo/drives/c/Orbis/bkp/logrul3_$(date +%d%m%Y).txt"
export_file="$demo/drives/c/Orbis/articoli.csv"
uploaded="$demo/ftp-root/var/www/vellum/orbis/12/articoli.csv"

for run in 1 2; do
  status=0
  out="$("$publish" "$program" "$mdb_write" "$demo" "$port" "$user" "$password" 2>&1)" || status=$?
  echo "--- run $run, status $status"
  sed 's/^/    /' <<<"$out" | head -n 30
  check "run $run ends with status 0" [ "$status" -eq 0 ]
  check "run $run says the upload equals the export" contains "$out" "byte for byte the local export"
  check "run $run stops its FTP server" server_gone "$out"
  case "$program" in
    *.exe) check "run $run leaves nothing of Wine running" wine_gone "$demo/wine" ;;
  esac
  check "run $run never shows the password" eval '! contains "$out" "$password"'
  check "run $run: the export has lines" [ -s "$export_file" ]
  check "run $run: the server holds the export" cmp -s "$export_file" "$uploaded"
  check "run $run: the run log has one start line per run" \
    [ "$(grep -c -- '- Avvio programma' "$log")" -eq "$run" ]
  check "run $run: the run log ends with the till line" \
    [ "$(tail -n 1 "$log" | tr -d '\r' | cut -c20-)" = "- Cassa 0 OK" ]
done
check "the server root holds nothing else" \
  [ "$(find "$demo/ftp-root" -type f | wc -l)" -eq 1 ]
[ "$failures" -eq 0 ]
