#!/usr/bin/env bash
# Installs what is needed, builds with the sanitizers and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
npm ci --prefix tests/mdb-reader --no-audit --no-fund --loglevel=error
cmake -S . -B build-test -DCATPUB_SANITIZE=ON -DCATPUB_WERROR="${CATPUB_WERROR:-OFF}" >/dev/null
cmake --build build-test -j"$(nproc)"
ctest --test-dir build-test --output-on-failure -j"$(nproc)"

# A memory limit (RLIMIT_AS) cannot apply under AddressSanitizer, which reserves terabytes of
# address space: the tests of memory limits run once more in a build without the sanitizers.
cmake -S . -B build-plain -DCATPUB_WERROR="${CATPUB_WERROR:-OFF}" >/dev/null
cmake --build build-plain -j"$(nproc)" --target db_mdb_test memory_limit_e2e_test
ctest --test-dir build-plain --output-on-failure -R 'MemoryLimit'
