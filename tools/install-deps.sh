#!/usr/bin/env bash
# Installs the Debian packages sharp-primes and sharp-survey need, when missing.
#   bash tools/install-deps.sh        what building and running both programs needs
#   bash tools/install-deps.sh test   that, and what the tests, benchmarks and plots need
set -euo pipefail

packages=(cmake g++ libcli11-dev libprimesieve-dev)
if [ "${1:-}" = test ]; then
  packages+=(libgtest-dev libbenchmark-dev clang libclang-rt-14-dev valgrind time
             libprimecount-dev libgmp-dev primesieve python3-matplotlib python3-numpy libopenmpi-dev openmpi-bin dpkg-dev man-db lintian)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
((${#missing[@]})) || exit 0

echo "== installing ${missing[*]}"
if [ "$(id -u)" != 0 ]; then
  echo "missing packages: ${missing[*]} (install them as root, then run this again)" >&2
  exit 1
fi
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
