#!/bin/sh
# Runs a Windows program under Wine for CTest and gtest_discover_tests (cmake/mingw-w64-x86_64.cmake
# makes it the cross-compiling emulator): wine-run.sh WINEPREFIX DLL_FOLDER PROGRAM [ARGUMENT...]
#
# The prefix is private to the build folder and made on first use: a crashing test must end as a
# crash, and Wine's crash debugger (winedbg --auto) sometimes turns one into exit status 0, so the
# prefix's AeDebug debugger points at nothing. DLL_FOLDER (the third-party prefix's bin) is on
# WINEPATH, where tests that load libmdb find it. With --persistent-server for PROGRAM, it starts
# the prefix's Wine server to stay until `wineserver -k` ends it.
set -eu
prefix="$1"; dlls="$2"; shift 2
export WINEPREFIX="$prefix" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml="
# Wine's drive Z: is the Unix root.
export WINEPATH="Z:$(echo "$dlls" | tr / '\\')${WINEPATH:+;$WINEPATH}"
if [ ! -f "$prefix/.catpub-ready" ]; then
  mkdir -p "$prefix"
  # Two discoveries in a parallel build may get here together: one makes the prefix.
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -f "$prefix/.catpub-ready" ]; then
    wine wineboot --init >/dev/null 2>&1
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
      /v Debugger /t REG_SZ /d '' /f >/dev/null 2>&1
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
      /v Auto /t REG_SZ /d 1 /f >/dev/null 2>&1
    touch "$prefix/.catpub-ready"
  fi
  flock -u 9
  exec 9>&-
fi
if [ "${1:-}" = --persistent-server ]; then
  # A server left from an earlier run of the tests goes first; the new one lets go of CTest's
  # output, which it would otherwise hold open until it ends.
  wineserver -k 2>/dev/null || true
  wineserver -p </dev/null >/dev/null 2>&1
  # Wine's own services (winedevice and the like) start with a session's first program and keep
  # its standard output and error open until the session ends: started now, with none, they hold
  # none of CTest's pipes, which CTest reads to their end.
  exec wine wineboot </dev/null >/dev/null 2>&1
fi
exec wine "$@"
