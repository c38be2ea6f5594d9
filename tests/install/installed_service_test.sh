#!/usr/bin/env bash
# The install as a shop's machine gets it: `cmake --install` of BUILD_DIR into a fresh folder (the
# prefix moved, as an install elsewhere moves it), with PROGRAM (built for the test FTP server)
# standing in for the installed program. The installed program must find its reader in
# libexec/catalog-publisher/, and the installed service's command line, run as systemd would,
# must publish the demo shop.
#
#   installed_service_test.sh BUILD_DIR PROGRAM MDB_WRITE PORT CMAKE_CACHE
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$1" program="$2" mdb_write="$3" port="$4" cache="$5"
setting() { sed -n "s/^$1:[A-Z]*=//p" "$cache"; }

root="$(mktemp -d "${TMPDIR:-/tmp}/catpub-installed-XXXXXX")"
trap 'rm -rf "$root"' EXIT
DESTDIR="$root" cmake --install "$build" >/dev/null
installed="$(find "$root" -path '*/bin/catalog-publisher')"
[ -x "$installed" ] || { echo "FAILED: no bin/catalog-publisher installed"; exit 1; }
cp "$program" "$installed"

failures=0
check() {  # check DESCRIPTION COMMAND...
  local what="$1"
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
bin="$(dirname "$installed")"
check "the reader is installed in libexec/catalog-publisher" \
  test -x "$bin/../libexec/catalog-publisher/catalog-publisher-reader"
check "and not beside the program" test ! -e "$bin/catalog-publisher-reader"
check "the manual page is installed" test -s "$(dirname "$bin")/share/man/man8/catalog-publisher.8.gz"
check "the copyright file and the changelog are installed" \
  test -s "$(dirname "$bin")/share/doc/catalog-publisher/copyright" -a \
  -s "$(dirname "$bin")/share/doc/catalog-publisher/changelog.gz"
check "the timer is installed" test -s "$(dirname "$bin")/lib/systemd/system/catalog-publisher.timer"
check "--version answers" test "$("$installed" --version)" = "catalog-publisher $(setting CMAKE_PROJECT_VERSION)"
mkdir -p "$root/shop/c"
refused=0
(cd "$root/shop/c" && CATALOG_PUBLISHER_DRIVES="$root/shop" "$installed" --run 2>/dev/null) || refused=$?
check "an unknown argument is refused with status 64" test "$refused" -eq 64
check "and touches nothing" test -z "$(ls -A "$root/shop/c")"
check "the installed service publishes the demo shop" \
  "$here/../../packaging/check-service.sh" "$root" "$mdb_write" "$port" \
  "$(setting PUBLISH_FTP_USER)" "$(setting PUBLISH_FTP_PASSWORD)"
[ "$failures" -eq 0 ]
