#!/usr/bin/env bash
# Fails when a tracked C++ file is not laid out as .clang-format says; `clang-format -i FILE` mends it.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.cc' '*.h' | xargs -0 clang-format --dry-run --Werror
