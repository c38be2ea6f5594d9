#!/usr/bin/env bash
# Fails when code outside src/platform/ includes a header of the operating system: the program
# reaches the system only through the narrow interfaces in src/platform/, so that another system is
# a set of new files there. Tests (*_test.cc) may include them where they drive real processes.
set -euo pipefail
cd "$(dirname "$0")/.."
system_header='^[[:space:]]*#[[:space:]]*include[[:space:]]*<(unistd\.h|sys/[^>]*|fcntl\.h|signal\.h|csignal|poll\.h|pthread\.h|spawn\.h|dirent\.h|sched\.h|dlfcn\.h|windows\.h|io\.h)>'
found="$(git ls-files -z src/main.cc src/app src/log src/db src/publish src/ui |
  grep -zE '\.(cc|h)$' | grep -zv '_test\.cc$' |
  xargs -0 -r grep -nE "$system_header" -- || true)"
if [ -n "$found" ]; then
  echo "system headers outside src/platform/ (put the call behind an interface there):" >&2
  echo "$found" >&2
  exit 1
fi
