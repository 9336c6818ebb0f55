#!/usr/bin/env bash
# The programs as a user installs them:
#   1. `cmake --install` into a fresh prefix: both programs, the plot and table tools,
#      a compressed man page each, the copyright file and the 79's table; the installed
#      sharp-survey answers --version and --explain, surveys to 10^9, its CSV is plotted,
#      and it surveys an extended table the table tool makes; sharp-primes runs to 997;
#      man shows every page;
#   2. `cpack -G DEB`: a package with those files, unpacked and run the same way,
#      depending on the Debian packages the programs use, recommending the plot's, and
#      clean under lintian but for the maintainer's mail host.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

cmake --install "$build" --prefix "$work/usr" >/dev/null
pages=(sharp-primes sharp-survey sharp-survey-plot sharp-survey-table)

# Every installed command runs, and man shows each page: from ROOT, an install's root.
runs_from() {
  local root=$1 bin=$1/usr/bin run
  run=$(mktemp -d -p "$work")
  for file in bin/sharp-primes bin/sharp-survey bin/sharp-survey-plot bin/sharp-survey-table \
              share/sharp-primes/sharps-79.txt share/doc/sharp-primes/copyright; do
    [ -e "$root/usr/$file" ] || { echo "not installed: $file" >&2; exit 1; }
  done
  (
    cd "$run"
    "$bin/sharp-survey" --version | grep -q '^sharp-survey [0-9]'
    "$bin/sharp-survey" --quiet --threads 2 --csv s.csv --tossed t.txt 1e9 > table.txt
    grep -q '^  917522737 composite$' table.txt
    "$bin/sharp-survey" --explain 9792455131 | grep -q '^verdict: tossed'
    "$bin/sharp-survey-plot" s.csv --tossed t.txt -o s.png
    [ -s s.png ]
    "$bin/sharp-survey-table" --add-79 --from 3216213001 1e10 > ext.txt
    "$bin/sharp-survey" --quiet --sharps ext.txt 1e9 | grep -q '^  917522737 composite$'
    mkdir primes
    printf '997\n' | "$bin/sharp-primes" > console.txt
    grep -qx 'true prime = 997' primes/stp.txt
  )
  for page in "${pages[@]}"; do
    local file=$root/usr/share/man/man1/$page.1.gz
    gzip -t "$file" || { echo "man page $page is not compressed" >&2; exit 1; }
    MANWIDTH=80 man -l "$file" 2>&1 | grep -q "^NAME" || { echo "man page $page unreadable" >&2; exit 1; }
  done
}
runs_from "$work"

cpack -G DEB -B "$work/package" --config "$build/CPackConfig.cmake" >/dev/null 2>&1
deb=$(ls "$work"/package/*.deb)
dpkg-deb -x "$deb" "$work/unpacked"
runs_from "$work/unpacked"
depends=$(dpkg-deb -f "$deb" Depends) recommends=$(dpkg-deb -f "$deb" Recommends)
for package in libprimesieve11 libstdc++6 python3; do
  grep -q "$package" <<< "$depends" || { echo "the package does not depend on $package: $depends" >&2; exit 1; }
done
if grep -q matplotlib <<< "$depends" || [ "$recommends" != "python3-matplotlib, python3-numpy" ]; then
  echo "the plot's Python packages are recommended, not needed: Depends $depends; Recommends $recommends" >&2
  exit 1
fi
# lintian: nothing but the maintainer's mail host (the project has no mail domain of its own).
if command -v lintian >/dev/null; then
  tags=$(lintian "$deb" 2>&1 | grep -v -e 'bogus-mail-host' -e 'running with root privileges' || true)
  [ -z "$tags" ] || { echo "lintian: $tags" >&2; exit 1; }
fi
echo "installed and unpacked: every command and man page runs; $(basename "$deb") depends on $depends, recommends $recommends"
