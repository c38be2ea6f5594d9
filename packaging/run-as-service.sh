#!/usr/bin/env bash
# Runs the command line of ROOT's catalog-publisher.service as systemd would start it: only the
# variables of the unit's environment file (ROOT's copy, with CATALOG_PUBLISHER_DRIVES and
# CATALOG_PUBLISHER_WORKDIR set to this script's own drives folder and working directory) and a
# plain PATH, less those the unit unsets, ${VAR} replaced as systemd does, at the unit's niceness
# and within its TimeoutStartSec. Exits with the run's status.
#
#   run-as-service.sh ROOT
#
# ROOT is an installed tree (an unpacked .deb): its files stand in for the absolute paths the unit
# names.
set -euo pipefail
root="$(realpath "$1")"
unit="$(find "$root" -path '*/systemd/system/catalog-publisher.service' | head -n 1)"
[ -f "$unit" ] || { echo "run-as-service: no catalog-publisher.service under $root" >&2; exit 4; }
key() { sed -n "s/^$1=//p" "$unit"; }

env_file="$root$(key EnvironmentFile)"
[ -f "$env_file" ] || { echo "run-as-service: no environment file $env_file" >&2; exit 4; }
grep -q '^CATALOG_PUBLISHER_DRIVES=' "$env_file" && grep -q '^CATALOG_PUBLISHER_WORKDIR=' "$env_file" ||
  { echo "run-as-service: $env_file does not set the drives and the working directory" >&2; exit 4; }
declare -A vars=([PATH]=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin)
while IFS= read -r line; do
  [[ "$line" =~ ^([A-Za-z_][A-Za-z0-9_]*)=(.*)$ ]] && vars[${BASH_REMATCH[1]}]="${BASH_REMATCH[2]}"
done <"$env_file"
vars[CATALOG_PUBLISHER_DRIVES]="${CATALOG_PUBLISHER_DRIVES:?}"
vars[CATALOG_PUBLISHER_WORKDIR]="$PWD"
for name in $(key UnsetEnvironment); do unset "vars[$name]"; done

words=()
for word in $(key ExecStart); do
  while [[ "$word" =~ ^(.*)\$\{([A-Za-z_][A-Za-z0-9_]*)\}(.*)$ ]]; do
    word="${BASH_REMATCH[1]}${vars[${BASH_REMATCH[2]}]:-}${BASH_REMATCH[3]}"
  done
  [[ "$word" == /* && -e "$root$word" ]] && word="$root$word"
  words+=("$word")
done
assignments=()
for name in "${!vars[@]}"; do assignments+=("$name=${vars[$name]}"); done
cd /
exec env -i "${assignments[@]}" timeout "$(key TimeoutStartSec)" nice -n "$(key Nice)" "${words[@]}"
