#!/usr/bin/env bash
# Installs what is needed, builds, and runs catalog-publisher on a demo shop in demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)"

repo="$PWD"
drives="$repo/demo/drives"
mkdir -p "$drives/c/orbis/bkp"
echo "== catalog-publisher, drive C: is $drives/c"
status=0
(cd "$drives/c" && CATALOG_PUBLISHER_DRIVES="$drives" "$repo/build/catalog-publisher") || status=$?
echo "== exit status $status"
log="$drives/c/orbis/bkp/logrul3_$(date +%d%m%Y).txt"
echo "== run log $log"
cat -A "$log"
