#!/usr/bin/env bash
# Times a full run (end candidate 4199999999), RUNS times each (default 5), and
# prints the medians side by side:
#   (a) the program with primes/ on disk, console to /dev/null;
#   (b) the program without primes/: the computation alone;
#   (c) the floor: the same lines as (a), one plain write per line, no computation.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-5}

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target sharp-primes >/dev/null
g++ -std=c++20 -O2 -o build/bench-floor bench/floor.cpp

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/a/primes" "$work/b" "$work/c/primes" "$work/recorded/primes"
exe=$PWD/build/sharp-primes

# One recorded run gives the floor its lines.
(cd "$work/recorded" && printf '4199999999\n' | "$exe" > console.txt)

seconds() {  # seconds taken by the command given
  local start end
  start=$(date +%s%N)
  "$@"
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN { printf "%.3f\n", ns / 1e9 }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

run_a() { (cd "$work/a" && printf '4199999999\n' | "$exe" > /dev/null); }
run_b() { (cd "$work/b" && printf '4199999999\n' | "$exe" > /dev/null 2>&1); }
run_c() { build/bench-floor "$work/recorded" "$work/c" > /dev/null; }

: > "$work/times"
for ((i = 1; i <= runs; i++)); do
  for which in a b c; do
    echo "$which $(seconds "run_$which")" >> "$work/times"
  done
done

a=$(awk '$1 == "a" { print $2 }' "$work/times" | median)
b=$(awk '$1 == "b" { print $2 }' "$work/times" | median)
c=$(awk '$1 == "c" { print $2 }' "$work/times" | median)
echo "full run, medians of $runs:"
printf '  (a) with primes/ on disk : %6.3f s\n' "$a"
printf '  (b) without primes/      : %6.3f s\n' "$b"
printf '  (c) floor, writes only   : %6.3f s\n' "$c"
awk -v a="$a" -v c="$c" 'BEGIN { printf "  ratio a/c                : %6.3f\n", a / c }'
