#!/usr/bin/env bash
# Installs what is needed, builds catalog-publisher for a local demo FTP server, and publishes the
# catalogue of a demo shop in demo/ to that server (tools/demo/publish.sh).
#
# The server address is compiled in. The demo build (folder build-demo) is made for 127.0.0.1 at
# port 2121 (CATPUB_DEMO_FTP_PORT to change it), or at a free port when 2121 is taken, with the
# demo account (the PUBLISH_FTP_USER and PUBLISH_FTP_PASSWORD defaults) and 10-second timeouts.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh

# The demo server's port: 2121 or, when that is taken, a free one.
port="$(/usr/bin/python3 tools/demo/free_port.py "${CATPUB_DEMO_FTP_PORT:-2121}")"

cmake -S . -B build-demo -DPUBLISH_FTP_HOST=127.0.0.1 -DPUBLISH_FTP_PORT="$port" \
  -DPUBLISH_FTP_CONNECT_TIMEOUT=10 -DPUBLISH_FTP_REPLY_TIMEOUT=10 -DPUBLISH_FTP_STALL_TIMEOUT=10 \
  >/dev/null
cmake --build build-demo -j"${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" \
  --target catalog-publisher catalog-publisher-reader mdb-write

# The account the build has compiled in.
setting() { sed -n "s/^$1:[A-Z]*=//p" build-demo/CMakeCache.txt; }
exec tools/demo/publish.sh build-demo/catalog-publisher build-demo/tools/mdbwriter/mdb-write demo \
  "$port" "$(setting PUBLISH_FTP_USER)" "$(setting PUBLISH_FTP_PASSWORD)"
