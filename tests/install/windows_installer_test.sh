#!/usr/bin/env bash
# The Windows installer as a shop's administrator uses it, under Wine, in a fresh Wine prefix whose
# drive C: is a folder of the test's own: the silent install (`/S`) puts the program in
# C:\Program Files\catalog-publisher and registers it ("Apps and features", the Event Log source);
# the INSTALLED program publishes the demo shop; the silent uninstall, as "Apps and features"
# starts it, removes the program, its registry entries and its event source, and leaves the shop's
# C:\orbis (run log, export) and databases as they were.
#
#   windows_installer_test.sh INSTALLER WINE_TEMPLATE MDB_WRITE WINDOWS_CMAKE_CACHE
#
# The installed program publishes to the server compiled into the Windows build (its
# WINDOWS_CMAKE_CACHE): the test FTP server listens there, so that server must be 127.0.0.1, and a
# port below 1024 (the default, 21) needs root. Otherwise the test is skipped (status 77).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
installer="$(realpath "$1")" template="$(realpath "$2")" mdb_write="$(realpath "$3")" cache="$4"
setting() { sed -n "s/^$1:[A-Z]*=//p" "$cache"; }
host="$(setting PUBLISH_FTP_HOST)" port="$(setting PUBLISH_FTP_PORT)"
user="$(setting PUBLISH_FTP_USER)" password="$(setting PUBLISH_FTP_PASSWORD)"
version="$(setting CMAKE_PROJECT_VERSION)"
if [ "$host" != 127.0.0.1 ]; then
  echo "skipped: the Windows build publishes to $host, not to a server of this test's"
  exit 77
fi
if [ "$port" -lt 1024 ] && [ "$(id -u)" -ne 0 ]; then
  echo "skipped: the Windows build publishes to port $port, which only root can listen on"
  exit 77
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/catpub-installer-XXXXXX")"
export WINEPREFIX="$work/wine-prefix" WINEDEBUG=-all
server_pid=""
finish() {
  wineserver -k 2>/dev/null || true
  if [ -n "$server_pid" ]; then
    kill -TERM "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap finish EXIT

. "$here/../support/checks.sh"
fail() {
  echo "FAILED: $*"
  exit 1
}

# ---- the Wine prefix: the template's registry, drive C: a folder of this test's -------------------
drive="$work/drives/c"
mkdir -p "$WINEPREFIX/dosdevices" "$drive"
for file in system.reg user.reg userdef.reg .update-timestamp; do
  cp "$template/$file" "$WINEPREFIX/"
done
ln -s "$drive" "$WINEPREFIX/dosdevices/c:"
ln -s / "$WINEPREFIX/dosdevices/z:"
ln -s "$template/drive_c/windows" "$drive/windows"
# The profile folders, where the installer unpacks its plug-ins ($TEMP).
cp -a "$template/drive_c/users" "$drive/"

# Reads a registry value back: its type and data, e.g. "REG_SZ catalog-publisher"; nothing when
# the value or its key is not there.
reg_value() {
  { wine reg query "$1" /v "$2" 2>/dev/null || true; } | tr -d '\r' |
    sed -n "s/^ *$2 \{1,\}\(REG_[A-Z_]*\) \{1,\}/\1 /p"
}
reg_key_exists() { wine reg query "$1" >/dev/null 2>&1; }
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\catalog-publisher'
event_key='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\catalog-publisher'
# The system's and the user's PATH, as one line.
paths() {
  echo "$(reg_value 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment' PATH)|$(
    reg_value 'HKCU\Environment' PATH)"
}

# ---- the shop: the demo's databases --------------------------------------------------------------
mkdir -p "$drive/nodo" "$drive/Orbis/bkp" "$work/json"
/usr/bin/python3 "$repo/tools/demo/make_demo_shop.py" "$work/json"
"$mdb_write" "$drive/nodo/orbis.mdb" "$work/json/orbis.json" >/dev/null
"$mdb_write" "$drive/Orbis/Dati.mdb" "$work/json/dati.json" >/dev/null

# ---- the install ---------------------------------------------------------------------------------
path_before="$(paths)"
start=$(date +%s)
status=0
wine "$installer" /S || status=$?
check "the silent install ends with status 0" test "$status" -eq 0
wineserver -w
echo "   (installed in $(($(date +%s) - start)) s)"
dir="$drive/Program Files/catalog-publisher"
for file in catalog-publisher.exe catalog-publisher-reader.exe libmdb.dll Uninstall.exe \
            licenses/LICENSE licenses/mdbtools/COPYING.LIB licenses/curl/COPYING \
            licenses/fltk/COPYING licenses/mingw-w64/copyright; do
  check "C:\\Program Files\\catalog-publisher\\${file//\//\\} is installed" test -s "$dir/$file"
done
check "the programs are at the top of the folder, no bin\\" test ! -e "$dir/bin"
check "the project's licence is MIT, of catalog-publisher maintainers" \
  grep -q "Copyright (c) 2026 catalog-publisher maintainers" "$dir/licenses/LICENSE"
check "Apps and features: DisplayName" \
  test "$(reg_value "$uninstall_key" DisplayName)" = "REG_SZ catalog-publisher"
check "Apps and features: DisplayVersion" \
  test "$(reg_value "$uninstall_key" DisplayVersion)" = "REG_SZ $version"
check "Apps and features: Publisher" \
  test "$(reg_value "$uninstall_key" Publisher)" = "REG_SZ catalog-publisher maintainers"
check "Apps and features: UninstallString" \
  test "$(reg_value "$uninstall_key" UninstallString)" = \
       'REG_SZ "C:\Program Files\catalog-publisher\Uninstall.exe"'
within_a_twentieth() {  # within_a_twentieth "REG_DWORD 0x..." KIB
  local value=$((${1##* }))
  [ "${1%% *}" = REG_DWORD ] && [ $((value - $2)) -le $(($2 / 20)) ] &&
    [ $(($2 - value)) -le $(($2 / 20)) ]
}
size="$(reg_value "$uninstall_key" EstimatedSize)"
check "Apps and features: EstimatedSize, in KiB, of the installed files ($size)" \
  within_a_twentieth "$size" "$(du -sk --apparent-size "$dir" | cut -f1)"
check "the event source's message file is the program" \
  test "$(reg_value "$event_key" EventMessageFile)" = \
       'REG_EXPAND_SZ C:\Program Files\catalog-publisher\catalog-publisher.exe'
check "the event source supports errors, warnings and information (7)" \
  test "$(reg_value "$event_key" TypesSupported)" = "REG_DWORD 0x7"
# The scheduled task's definition, for the shop found on C: and the time limit of this build's
# timeouts, as the build computed it.
duration="$(setting CATPUB_TASK_EXECUTION_TIME_LIMIT)"
check "the scheduled task's definition: every 15 minutes from C:\\, at most $duration" \
  /usr/bin/python3 "$repo/tests/task/check_task_xml.py" "$dir/catalog-publisher-task.xml" \
  'C:\Program Files\catalog-publisher\catalog-publisher.exe' 'C:\' "$duration"
check "PATH is unchanged" test "$(paths)" = "$path_before"
check "no Start-menu folder" \
  test -z "$(find "$drive" -path '*Start Menu*' -iname '*catalog-publisher*' 2>/dev/null)"

# ---- the installed program publishes the demo shop ----------------------------------------------
ftp_root="$work/ftp-root"
mkdir -p "$ftp_root/var/www/vellum/orbis"
# Not in the Wine prefix's environment: the last check looks for what is left of that prefix.
env -u WINEPREFIX /usr/bin/python3 "$repo/tests/ftp_server.py" --root "$ftp_root" --user "$user" \
  --password "$password" --port "$port" --port-file "$work/ftp.port" \
  >/dev/null 2>"$work/ftp.log" &
server_pid=$!
for _ in $(seq 100); do
  [ -s "$work/ftp.port" ] && break
  kill -0 "$server_pid" 2>/dev/null || fail "the test FTP server did not start on port $port: $(tail -n 1 "$work/ftp.log")"
  sleep 0.1
done
[ -s "$work/ftp.port" ] || fail "the test FTP server did not start on port $port within 10 s"

status=0
(cd "$drive" && env -u DISPLAY timeout 120 wine 'C:\Program Files\catalog-publisher\catalog-publisher.exe' \
  >"$work/run.out" 2>&1) || status=$?
check "the installed program's run ends with status 0" test "$status" -eq 0
[ "$status" -eq 0 ] || sed 's/^/    /' "$work/run.out"
log="$drive/Orbis/bkp/logrul3_$(date +%d%m%Y).txt"
export_file="$drive/Orbis/articoli.csv"
check "the run log has its start line" grep -q -- '- Avvio programma' "$log"
check "the run log ends with the till line" \
  test "$(tail -n 1 "$log" | tr -d '\r' | cut -c20-)" = "- Cassa 0 OK"
check "the export has lines" test -s "$export_file"
check "the server holds the export" \
  cmp -s "$export_file" "$ftp_root/var/www/vellum/orbis/12/articoli.csv"
wineserver -w

# ---- the uninstall -------------------------------------------------------------------------------
shop_before="$(cd "$drive" && find nodo Orbis -type f | LC_ALL=C sort | xargs -d '\n' sha256sum)"
start=$(date +%s)
status=0
# As "Apps and features" runs it: the uninstaller copies itself to %TEMP% and goes on from there,
# so that it can remove itself and the folder; the Wine server ends when it is done.
wine 'C:\Program Files\catalog-publisher\Uninstall.exe' /S || status=$?
wineserver -w
check "the silent uninstall ends with status 0" test "$status" -eq 0
echo "   (uninstalled in $(($(date +%s) - start)) s)"
check "C:\\Program Files\\catalog-publisher is gone" test ! -e "$dir"
check "the Apps and features entry is gone" eval '! reg_key_exists "$uninstall_key"'
check "the installer's own key and its publisher's are gone" \
  eval '! reg_key_exists "HKLM\\Software\\catalog-publisher maintainers"'
check "the event source is gone" eval '! reg_key_exists "$event_key"'
check "the Event Log's Application key is still there" \
  reg_key_exists 'HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application'
check "the shop's databases, run log and export are untouched" \
  test "$(cd "$drive" && find nodo Orbis -type f | LC_ALL=C sort | xargs -d '\n' sha256sum)" = \
       "$shop_before"
check "C:\\orbis still holds the run log and the export" test -s "$log" -a -s "$export_file"
check "PATH is still unchanged" test "$(paths)" = "$path_before"
wineserver -k 2>/dev/null || true
check "nothing of the test's Wine prefix is left running" wine_gone "$WINEPREFIX"
[ "$failures" -eq 0 ]
