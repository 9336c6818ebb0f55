#!/usr/bin/env bash
# The programs as a user installs them:
#   1. `cmake --install` into a fresh prefix: both programs, the plot and table tools,
#      the man pages and the 79's table; the installed sharp-survey answers --version,
#      surveys to 10^9, its CSV is plotted, and it surveys an extended table the table
#      tool makes; the installed sharp-primes runs to 997;
#   2. `cpack -G DEB`: a package with those files, depending on the Debian packages the
#      programs use.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

cmake --install "$build" --prefix "$work/usr" >/dev/null
bin=$work/usr/bin
for file in bin/sharp-primes bin/sharp-survey bin/sharp-survey-plot bin/sharp-survey-table \
            share/man/man1/sharp-primes.1 share/man/man1/sharp-survey.1 share/doc/sharp-primes/sharps-79.txt; do
  [ -e "usr/$file" ] || { echo "not installed: $file" >&2; exit 1; }
done
"$bin/sharp-survey" --version | grep -q '^sharp-survey [0-9]'
"$bin/sharp-survey" --quiet --threads 2 --csv s.csv --tossed t.txt 1e9 > table.txt
grep -q '^  917522737 composite$' table.txt
"$bin/sharp-survey-plot" s.csv --tossed t.txt -o s.png
[ -s s.png ]
"$bin/sharp-survey-table" --add usr/share/doc/sharp-primes/sharps-79.txt --from 3216213001 1e10 > ext.txt
"$bin/sharp-survey" --quiet --sharps ext.txt 1e9 | grep -q '^  917522737 composite$'
mkdir primes
printf '997\n' | "$bin/sharp-primes" > console.txt
grep -qx 'true prime = 997' primes/stp.txt
for page in sharp-primes sharp-survey; do
  MANWIDTH=80 man -l "usr/share/man/man1/$page.1" 2>&1 | grep -q "^NAME" || { echo "man page $page unreadable" >&2; exit 1; }
done

cpack -G DEB -B "$work/package" --config "$build/CPackConfig.cmake" >/dev/null
deb=$(ls "$work"/package/*.deb)
contents=$(dpkg-deb -c "$deb")
for file in bin/sharp-primes bin/sharp-survey bin/sharp-survey-plot bin/sharp-survey-table share/man/man1/sharp-survey.1; do
  grep -q "\./usr/$file\$" <<< "$contents" || { echo "not in the package: $file" >&2; exit 1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
for package in libprimesieve11 libstdc++6 python3-matplotlib python3-numpy; do
  grep -q "$package" <<< "$depends" || { echo "the package does not depend on $package: $depends" >&2; exit 1; }
done
echo "installed: both programs, the plot and table tools and the man pages run; $(basename "$deb") depends on $depends"
