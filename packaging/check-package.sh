#!/usr/bin/env bash
# CI's check of what reaches the shops' machines: builds the program and its reader alone
# (Release, warnings as errors, no test libraries), makes the .deb with cpack and inspects it
# (fields, files), verifies its systemd units, checks its manual page for warnings, and publishes
# the demo shop through the packaged service's command line.
#
#   check-package.sh MDB_WRITE [BUILD_DIR]
#
# The package is built for the test FTP server (127.0.0.1 at CATPUB_E2E_FTP_PORT, default 28021),
# where the check's own server listens; a shop's package is built with its server's settings.
set -euo pipefail
cd "$(dirname "$0")/.."
mdb_write="$(realpath "$1")"
build="${2:-build-package}"
port="${CATPUB_E2E_FTP_PORT:-28021}"
fail() { echo "check-package: $*" >&2; exit 1; }

echo "== the program alone: Release, -Werror, BUILD_TESTING=OFF, for 127.0.0.1:$port"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCATPUB_WERROR=ON -DBUILD_TESTING=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr -DPUBLISH_FTP_HOST=127.0.0.1 -DPUBLISH_FTP_PORT="$port" >/dev/null
cmake --build "$build" -j"$(nproc)"
(cd "$build" && rm -f ./*.deb && cpack -G DEB >/dev/null)
deb="$(ls "$build"/catalog-publisher_*.deb)"
setting() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }

echo "== $(basename "$deb")"
dpkg-deb -f "$deb"
fields="$(dpkg-deb -f "$deb")"
grep -qx "Package: catalog-publisher" <<<"$fields" || fail "wrong package name"
grep -qx "Version: $(setting CMAKE_PROJECT_VERSION)" <<<"$fields" || fail "wrong version"
for dependency in libmdb3 libcurl4 libfltk1.3; do
  grep -q "^Depends:.*\b$dependency\b" <<<"$fields" || fail "Depends lacks $dependency"
done
dpkg-deb -c "$deb"
files="$(dpkg-deb -c "$deb" | awk '{print $NF}')"
for file in ./usr/bin/catalog-publisher ./usr/libexec/catalog-publisher/catalog-publisher-reader \
  ./usr/share/man/man8/catalog-publisher.8.gz ./usr/lib/systemd/system/catalog-publisher.service \
  ./usr/lib/systemd/system/catalog-publisher.timer ./etc/default/catalog-publisher \
  ./usr/share/doc/catalog-publisher/examples/catalog-publisher.cron \
  ./usr/share/doc/catalog-publisher/examples/wsl-task-scheduler.txt; do
  grep -qx -- "$file" <<<"$files" || fail "the package lacks $file"
done
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles | grep -qx /etc/default/catalog-publisher ||
  fail "/etc/default/catalog-publisher is not a conffile"

root="$(mktemp -d "${TMPDIR:-/tmp}/catpub-deb-XXXXXX")"
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

echo "== systemd-analyze verify"
# It warns of unknown keys and bad values but still exits 0: any word from it fails the check.
units=("$root/usr/lib/systemd/system/catalog-publisher.service"
       "$root/usr/lib/systemd/system/catalog-publisher.timer")
said="$(systemd-analyze verify --man=no "${units[@]}" 2>&1)" || fail "systemd-analyze: $said"
[ -z "$said" ] || fail "systemd-analyze: $said"
systemd-analyze security --offline=true "${units[0]}" 2>/dev/null | tail -n 1 || true

echo "== man --warnings"
warnings="$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man8/catalog-publisher.8.gz" 2>&1 >/dev/null)"
[ -z "$warnings" ] || fail "the manual page: $warnings"

echo "== the packaged service's command line on the demo shop"
packaging/check-service.sh "$root" "$mdb_write" "$port" "$(setting PUBLISH_FTP_USER)" \
  "$(setting PUBLISH_FTP_PASSWORD)"
