#!/usr/bin/env bash
# Publishes the demo shop through the command line of ROOT's catalog-publisher.service, run as
# systemd would (run-as-service.sh), with the demo's FTP server (tools/demo/publish.sh), and
# checks that the export reached the server.
#
#   check-service.sh ROOT MDB_WRITE PORT USER PASSWORD
#
# ROOT is an installed tree whose program is built for 127.0.0.1:PORT and the account USER.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(realpath "$1")"
work="$(mktemp -d "${TMPDIR:-/tmp}/catpub-service-XXXXXX")"
trap 'rm -rf "$work"' EXIT
printf '#!/bin/sh\nexec "%s" "%s"\n' "$here/run-as-service.sh" "$root" >"$work/as-service"
chmod +x "$work/as-service"
status=0
"$here/../tools/demo/publish.sh" "$work/as-service" "$2" "$work/demo" "$3" "$4" "$5" || status=$?
echo "== the service's command line ended with status $status"
[ "$status" -eq 0 ]
