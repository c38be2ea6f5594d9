#!/usr/bin/env bash
# The resources of the Windows executables, read back from the built files by windres:
# resources_test.sh WINDRES VERSION PROGRAM.exe READER.exe
# Both carry version information of product catalog-publisher at the project's version under their
# own file names; the program alone carries the icon, a 32 x 32 picture, and the message table of its
# Event Log entries, in the neutral language (event_log_under_wine_test.sh reads its messages).
set -euo pipefail
windres="$1" version="$2" program="$3" reader="$4"
IFS=. read -r major minor patch <<<"$version"
failures=0
contains() {  # contains WHAT NEEDLE HAYSTACK
  if [[ "$3" == *"$2"* ]]; then echo "ok: $1"; else echo "FAILED: $1: [$2] missing"; failures=$((failures + 1)); fi
}
for exe in "$program" "$reader"; do
  name="$(basename "$exe" .exe)"
  rc="$("$windres" -i "$exe" -O rc)"
  contains "$name: file version" "FILEVERSION $major, $minor, $patch, 0" "$rc"
  contains "$name: product" 'VALUE "ProductName", "catalog-publisher"' "$rc"
  contains "$name: version text" "VALUE \"ProductVersion\", \"$version\"" "$rc"
  contains "$name: original file name" "VALUE \"OriginalFilename\", \"$name.exe\"" "$rc"
  contains "$name: description" 'VALUE "FileDescription", "' "$rc"
  contains "$name: in Italian" 'VALUE "Translation", 0x410, 1200' "$rc"
  icons="$(grep -c 'RT_GROUP_ICON' <<<"$rc" || true)"
  if [ "$exe" == "$program" ]; then
    [ "$icons" -eq 1 ] && echo "ok: $name: the icon" || { echo "FAILED: $name: $icons icons"; failures=$((failures + 1)); }
    # The icon's image: a BITMAPINFOHEADER (40) of 32 x 64 (colour and mask), 32 bits a pixel.
    contains "$name: 32 x 32 pixels" "0x28L      , 0x20L      , 0x40L      , 0x200001L" "$rc"
    contains "$name: the message table, neutral" $'LANGUAGE 0, 0\n\n1 11 /* RT_MESSAGETABLE */' "$rc"
  else
    [ "$icons" -eq 0 ] && echo "ok: $name: no icon" || { echo "FAILED: $name: $icons icons"; failures=$((failures + 1)); }
    tables="$(grep -c 'RT_MESSAGETABLE' <<<"$rc" || true)"
    [ "$tables" -eq 0 ] && echo "ok: $name: no message table" || { echo "FAILED: $name: $tables message tables"; failures=$((failures + 1)); }
  fi
done
[ "$failures" -eq 0 ]
