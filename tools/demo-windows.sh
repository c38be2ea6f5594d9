#!/usr/bin/env bash
# The demo with the Windows build: installs what is needed, builds catalog-publisher for Windows
# for a local demo FTP server, and publishes the catalogue of a demo shop in demo-windows/ to that
# server under Wine (tools/demo/publish.sh).
#
# As tools/demo.sh: the build (folder build-demo-windows, by tools/build-windows.sh) is made for
# 127.0.0.1 at port 2121 (CATPUB_DEMO_FTP_PORT to change it), or at a free port when 2121 is taken,
# with the demo account and 10-second timeouts. The shop's databases are written by the Linux
# build of the project's writer (folder build-demo-windows/writer). libmdb, libcurl and FLTK are
# taken from build-windows/third_party when a Windows build is there, else built once (about 10
# minutes; CATPUB_THIRD_PARTY_DIR as for tools/build-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
build="build-demo-windows"
tools/install-deps.sh

# The demo server's port: 2121 or, when that is taken, a free one.
port="$(/usr/bin/python3 tools/demo/free_port.py "${CATPUB_DEMO_FTP_PORT:-2121}")"

# The third-party libraries of the Windows build, when there is one: tools/build-windows.sh keeps
# them while their sources and its build of them are the same.
if [ ! -d "$build/third_party" ] && [ -d build-windows/third_party/prefix ]; then
  mkdir -p "$build"
  cp -a build-windows/third_party "$build/"
fi
CATPUB_WINDOWS_CMAKE_ARGS="-DPUBLISH_FTP_HOST=127.0.0.1 -DPUBLISH_FTP_PORT=$port \
-DPUBLISH_FTP_CONNECT_TIMEOUT=10 -DPUBLISH_FTP_REPLY_TIMEOUT=10 -DPUBLISH_FTP_STALL_TIMEOUT=10 \
${CATPUB_WINDOWS_CMAKE_ARGS:-}" \
CATPUB_WINDOWS_TARGETS="catalog-publisher catalog-publisher-reader" \
  tools/build-windows.sh "$build"

cmake -S . -B "$build/writer" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/writer" -j"${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" --target mdb-write

# The account the build has compiled in.
setting() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
exec tools/demo/publish.sh "$build/catalog-publisher.exe" "$build/writer/tools/mdbwriter/mdb-write" \
  demo-windows "$port" "$(setting PUBLISH_FTP_USER)" "$(setting PUBLISH_FTP_PASSWORD)"
