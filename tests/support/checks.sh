# The checks of the shell tests, sourced by them: each check says "ok:" or "FAILED:" with what it
# checked and counts the failures in `failures`, so that one run shows every failure; the test
# ends with a status from that count.

failures=0
check() {  # check DESCRIPTION COMMAND...
  local what="$1"
  shift
  if "$@"; then
    echo "ok: $what"
  else
    echo "FAILED: $what"
    failures=$((failures + 1))
  fi
}

# No process of the Wine prefix PREFIX (its server, the services it started) is left: Wine's
# processes are found by their environment, since Wine double-forks them away from the test.
wine_gone() {  # wine_gone PREFIX
  for _ in $(seq 50); do
    grep -qszxF "WINEPREFIX=$1" /proc/[0-9]*/environ || return 0
    sleep 0.1
  done
  return 1
}
