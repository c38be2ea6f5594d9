#!/usr/bin/env bash
# Makes the Wine prefix that the end-to-end tests of the Windows build copy for each run
# (tests/support/wine_world.h): once per build folder, kept while Wine's version is the same.
# A crashing program must end with its exception code, not wait for (or be hidden by) Wine's
# crash debugger, so the prefix has none.
set -euo pipefail
template="$1"
version="$(wine --version)"
if [ -f "$template/.catpub-wine-version" ] && [ "$(cat "$template/.catpub-wine-version")" = "$version" ]; then
  exit 0
fi
rm -rf "$template"
mkdir -p "$template"
export WINEPREFIX="$template" WINEDEBUG=-all
wineboot -i >/dev/null 2>&1
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /d 0 /f >/dev/null 2>&1
# The registry reaches its files when the server ends.
wineserver -w
echo "$version" > "$template/.catpub-wine-version"
