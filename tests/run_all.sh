#!/usr/bin/env bash
# Builds sharp-primes and runs every test: the unit and end-to-end suites with
# warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)

echo "== Release build, unit and end-to-end tests"
cmake -S . -B build -DSHARP_WERROR=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"
