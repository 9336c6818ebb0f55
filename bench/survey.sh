#!/usr/bin/env bash
# Times sharp-survey on [0, N] against primesieve's prime count to N, the floor (the
# survey must know the primality of every number up to N), for each N in LIMITS
# (default 1e9 1e10 1e11) with THREADS threads (default 2), one run each, and
# prints both side by side with the ratio and the survey's peak memory.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh test
threads=${THREADS:-2}
limits=${LIMITS:-1e9 1e10 1e11}

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target sharp-survey >/dev/null

printf '%-6s %14s %14s %7s %12s\n' N "primesieve s" "survey s" ratio "survey peak"
for n in $limits; do
  floor=$({ /usr/bin/time -f '%e' primesieve "$n" --count --threads="$threads" -q >/dev/null; } 2>&1)
  read -r survey kilobytes < <({ /usr/bin/time -f '%e %M' build/sharp-survey "$n" --threads="$threads" --quiet \
    >/dev/null; } 2>&1)
  awk -v n="$n" -v f="$floor" -v s="$survey" -v k="$kilobytes" \
    'BEGIN { printf "%-6s %14.2f %14.2f %7.2f %9.1f MB\n", n, f, s, s / f, k / 1024 }'
done
