#!/usr/bin/env bash
# CI's check of what reaches the shops' machines: builds the program and its reader alone
# (Release, warnings as errors, no test libraries), makes the .deb with cpack and inspects it
# (fields, files, lintian, the licence, what the maintainer scripts do with the timer), verifies
# its systemd units, checks its manual page for warnings, and publishes the demo shop through the
# packaged service's command line.
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
  ./usr/share/doc/catalog-publisher/examples/wsl-task-scheduler.txt \
  ./usr/share/doc/catalog-publisher/copyright ./usr/share/doc/catalog-publisher/changelog.gz; do
  grep -qx -- "$file" <<<"$files" || fail "the package lacks $file"
done
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles | grep -qx /etc/default/catalog-publisher ||
  fail "/etc/default/catalog-publisher is not a conffile"

echo "== lintian"
# Debian's rules for a package, as a shop's admin or a Debian machine's tools see it. (As root it
# says that it would rather not run as root, on stderr; that does not fail the check.)
lintian --fail-on error,warning --display-info --tag-display-limit 0 "$deb" ||
  fail "lintian finds errors or warnings in $(basename "$deb")"

root="$(mktemp -d "${TMPDIR:-/tmp}/catpub-deb-XXXXXX")"
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root/files"
dpkg-deb -e "$deb" "$root/control"

echo "== the copyright file carries LICENSE"
# The Expat paragraph of the machine-readable copyright file, unwrapped, is LICENSE from its
# permission notice on: the two are kept by hand and must not drift apart.
expat="$(awk '/^License: Expat$/ { on = 1; next } on && /^[^ ]/ { exit } on && /^ / {
  sub(/^ /, ""); if ($0 == ".") $0 = ""; print }' "$root/files/usr/share/doc/catalog-publisher/copyright")"
[ -n "$expat" ] && [ "$expat" = "$(sed -n '/^Permission is hereby granted/,$p' LICENSE)" ] ||
  fail "the copyright file's Expat licence differs from LICENSE"

echo "== the maintainer scripts and the timer"
# The scripts run with deb-systemd-helper and deb-systemd-invoke stand-ins that log their calls;
# STATE says what the helper knows of the timer: nothing (a first install), or installed before,
# enabled or not by the admin.
mkdir "$root/bin"
cat >"$root/bin/deb-systemd-helper" <<'HELPER'
#!/bin/sh
echo "deb-systemd-helper $*" >>"$CATPUB_HELPER_LOG"
case "$1 $STATE" in
  "debian-installed new") exit 1 ;;
  "--quiet disabled") exit 1 ;;
esac
HELPER
printf '#!/bin/sh\necho "deb-systemd-invoke $*" >>"$CATPUB_HELPER_LOG"\n' >"$root/bin/deb-systemd-invoke"
chmod +x "$root/bin/deb-systemd-helper" "$root/bin/deb-systemd-invoke"
script() {  # script STATE NAME ARGUMENTS...: the calls the helpers saw
  local state="$1" name="$2"
  shift 2
  : >"$root/helper.log"
  PATH="$root/bin:$PATH" STATE="$state" CATPUB_HELPER_LOG="$root/helper.log" \
    sh "$root/control/$name" "$@" || fail "$name $* ends with an error"
  cat "$root/helper.log"
}
calls="$(script new postinst configure)"
grep -qx "deb-systemd-helper update-state catalog-publisher.timer" <<<"$calls" ||
  fail "a first install does not record the timer's state: $calls"
! grep -q " enable " <<<"$calls" || fail "a first install enables the timer"
! grep -q " enable " <<<"$(script disabled postinst configure 1.0.0)" ||
  fail "an upgrade enables the timer that the admin left disabled"
grep -qx "deb-systemd-helper enable catalog-publisher.timer" \
  <<<"$(script enabled postinst configure 1.0.0)" ||
  fail "an upgrade does not keep the admin's enabled timer"
grep -qx "deb-systemd-helper purge catalog-publisher.timer" <<<"$(script enabled postrm purge)" ||
  fail "a purge does not forget the timer"
# Only with a running systemd (not in CI's container) does prerm act: read, not run.
grep -q "deb-systemd-invoke stop 'catalog-publisher.timer'" "$root/control/prerm" ||
  fail "prerm does not stop the timer on removal"

echo "== systemd-analyze verify"
# It warns of unknown keys and bad values but still exits 0: any word from it fails the check.
units=("$root/files/usr/lib/systemd/system/catalog-publisher.service"
       "$root/files/usr/lib/systemd/system/catalog-publisher.timer")
said="$(systemd-analyze verify --man=no "${units[@]}" 2>&1)" || fail "systemd-analyze: $said"
[ -z "$said" ] || fail "systemd-analyze: $said"
systemd-analyze security --offline=true "${units[0]}" 2>/dev/null | tail -n 1 || true

echo "== man --warnings"
warnings="$(MANWIDTH=80 man --warnings -l "$root/files/usr/share/man/man8/catalog-publisher.8.gz" 2>&1 >/dev/null)"
[ -z "$warnings" ] || fail "the manual page: $warnings"

echo "== the packaged service's command line on the demo shop"
packaging/check-service.sh "$root/files" "$mdb_write" "$port" "$(setting PUBLISH_FTP_USER)" \
  "$(setting PUBLISH_FTP_PASSWORD)"
