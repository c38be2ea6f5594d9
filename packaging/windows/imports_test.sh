#!/usr/bin/env bash
# Whether the installed executables and DLLs import only DLLs that every Windows x64 has, or
# libmdb.dll, which the installer puts beside them. A DLL of the build machine's (libstdc++-6.dll,
# libwinpthread-1.dll, libgcc_s_seh-1.dll, a libcurl or zlib DLL) would stop the program on the
# shop's Windows with "DLL not found" before its first line of log.
#   imports_test.sh OBJDUMP FILE...
set -euo pipefail
objdump="$1"
shift
# Windows' own DLLs, in lower case: those the program, its reader and libmdb use today, and the
# others of Windows' core that FLTK, libcurl or the Windows API calls may bring in.
system=" advapi32.dll bcrypt.dll comctl32.dll comdlg32.dll crypt32.dll gdi32.dll imm32.dll
  iphlpapi.dll kernel32.dll msimg32.dll msvcrt.dll normaliz.dll ole32.dll oleaut32.dll secur32.dll
  shell32.dll shlwapi.dll user32.dll uxtheme.dll version.dll winmm.dll winspool.drv wldap32.dll
  ws2_32.dll wsock32.dll taskschd.dll wevtapi.dll "
shipped=" libmdb.dll "
failures=0
for file in "$@"; do
  imports="$("$objdump" -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p')"
  if [ -z "$imports" ]; then
    echo "FAILED: $file: no imports read (not a Windows executable?)"
    failures=$((failures + 1))
    continue
  fi
  before=$failures
  while read -r dll; do
    lower="$(tr '[:upper:]' '[:lower:]' <<<"$dll")"
    case "$system$shipped" in
      *" $lower "*) ;;
      *)
        case "$lower" in
          api-ms-win-*) ;;  # Windows' API sets
          *)
            echo "FAILED: $(basename "$file") imports $dll, which neither Windows nor the installer has"
            failures=$((failures + 1))
            ;;
        esac
        ;;
    esac
  done <<<"$imports"
  [ "$failures" -ne "$before" ] || echo "ok: $(basename "$file") imports $(tr '\n' ' ' <<<"$imports")"
done
[ "$failures" -eq 0 ]
