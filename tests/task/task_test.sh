#!/usr/bin/env bash
# The scheduled task's definition as the installer writes it, under Wine: a bare installer around
# packaging/windows/task.nsh (task_test.nsi), built by makensis, installs silently in a Wine prefix
# of its own, and check_task_xml.py reads each definition back.
#
#   task_test.sh MAKENSIS TASK_NSH EXECUTION_TIME_LIMIT WINE_TEMPLATE
#
# The prefix's drives: C: holds no shop; D: holds the shop's \nodo\orbis.mdb; later D: becomes a
# CD-ROM drive and the shop is on F:, a network drive. The prefix is made from the Wine template
# (tests/wine/make-template.sh) as the end-to-end tests make theirs, with a task folder of its own,
# where Wine's schtasks stores a task.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
makensis="$1" time_limit="$3"
task_nsh="$(cd "$(dirname "$2")" && pwd)/$(basename "$2")"
template="$(cd "$4" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/catpub-task-XXXXXX")"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

. "$here/../support/checks.sh"

"$makensis" -V2 -DOUT_FILE="$work/task-test.exe" -DTASK_NSH="$task_nsh" \
  -DCATPUB_TASK_EXECUTION_TIME_LIMIT="$time_limit" "$here/task_test.nsi"

# The prefix: the template's registry, C: of its own whose Windows folder links to the template's
# files, but whose task folder is its own.
c="$work/drives/c"
mkdir -p "$WINEPREFIX/dosdevices" "$c/windows/system32/tasks" "$work/drives/d/nodo" \
  "$work/drives/f/nodo"
for file in system.reg user.reg userdef.reg .update-timestamp; do
  cp "$template/$file" "$WINEPREFIX/"
done
for entry in "$template/drive_c/windows/"*; do
  [ "$(basename "$entry")" = system32 ] || ln -s "$entry" "$c/windows/"
done
for entry in "$template/drive_c/windows/system32/"*; do
  [ "$(basename "$entry")" = tasks ] || ln -s "$entry" "$c/windows/system32/"
done
ln -s "$c" "$WINEPREFIX/dosdevices/c:"
ln -s "$work/drives/d" "$WINEPREFIX/dosdevices/d:"
ln -s "$work/drives/f" "$WINEPREFIX/dosdevices/f:"
ln -s / "$WINEPREFIX/dosdevices/z:"
: >"$work/drives/d/nodo/orbis.mdb"  # the installer only asks whether it is there

default_dir="$c/Program Files/catalog-publisher"
default_exe='C:\Program Files\catalog-publisher\catalog-publisher.exe'
# install ARGUMENTS: the installer, silent, with ARGUMENTS as cmd passes them (/D= takes the rest of
# the line, spaces included, as Windows' own command line would); its exit status.
install() {
  cp "$work/task-test.exe" "$c/task-test.exe"
  wine cmd /c "C:\\task-test.exe /S $*"
}
xml_of() { echo "$1/catalog-publisher-task.xml"; }

check "the silent install ends with status 0" install
check "the task starts the installed program in D:\\, the drive that holds \\nodo\\orbis.mdb" \
  python3 "$here/check_task_xml.py" "$(xml_of "$default_dir")" "$default_exe" 'D:\' "$time_limit"
check "no task is registered by a silent install" test -z "$(ls -A "$c/windows/system32/tasks")"

check "/DRIVE=e: and /D= with & and ' in the folder install" \
  install '/DRIVE=e: /D=C:\Programmi\A^&B'"'"'s catalog-publisher'
check "/DRIVE=e: overrides the drive found; the folder is escaped in the XML" \
  python3 "$here/check_task_xml.py" "$(xml_of "$c/Programmi/A&B's catalog-publisher")" \
  "C:\\Programmi\\A&B's catalog-publisher\\catalog-publisher.exe" 'E:\' "$time_limit"

# D: becomes a CD-ROM drive that still holds a copy of the shop; F:, a network drive, holds it too.
wineserver -k 2>/dev/null || true
wine reg add 'HKLM\Software\Wine\Drives' /v d: /d cdrom /f >/dev/null
wine reg add 'HKLM\Software\Wine\Drives' /v f: /d network /f >/dev/null
: >"$work/drives/f/nodo/orbis.mdb"
wineserver -k 2>/dev/null || true
check "a /DRIVE= that names no drive is set aside" install '/DRIVE=xyz'
check "the drive found is the first fixed or network one holding the shop: F:\\, not the CD-ROM D:\\" \
  python3 "$here/check_task_xml.py" "$(xml_of "$default_dir")" "$default_exe" 'F:\' "$time_limit"

rm "$work/drives/f/nodo/orbis.mdb"
check "with no shop on any drive, the install goes on" install
check "with no shop on any drive, the task starts in C:\\" \
  python3 "$here/check_task_xml.py" "$(xml_of "$default_dir")" "$default_exe" 'C:\' "$time_limit"

# The uninstaller with no task registered (its schtasks /Delete fails), then with one that Wine's
# schtasks stored (Wine cannot run it, nor register it for an account). The uninstaller copies
# itself to the temporary folder and returns at once: the Wine server's end is the uninstall's.
check "the uninstaller with no task registered removes the definition and its folder" bash -c '
  wine "C:\\Programmi\\A&B'"'"'s catalog-publisher\\Uninstall.exe" /S && wineserver -w &&
  ! test -e "$1"' - "$c/Programmi/A&B's catalog-publisher"
check "Wine's schtasks stores the task from the definition" \
  wine schtasks /Create /XML 'C:\Program Files\catalog-publisher\catalog-publisher-task.xml' \
  /TN catalog-publisher
check "the uninstaller deletes the registered task" bash -c '
  wine "C:\\Program Files\\catalog-publisher\\Uninstall.exe" /S && wineserver -w &&
  ! test -e "$1/windows/system32/tasks/catalog-publisher" && ! test -e "$2"' - "$c" "$default_dir"

if [ "$failures" -gt 0 ]; then
  echo "$failures checks failed"
  exit 1
fi
