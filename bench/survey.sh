#!/usr/bin/env bash
# Times sharp-survey on [0, N] against primesieve's prime count to N, the floor (the
# survey must know the primality of every number up to N), for each N in LIMITS
# (default 1e9 1e10 1e11) with THREADS threads (default 2), one run each, and
# prints both side by side with the ratio and the survey's peak memory; then 2 MPI
# ranks of 1 thread against 1 process of 2 threads on [0, 10^10].
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh test
threads=${THREADS:-2}
limits=${LIMITS:-1e9 1e10 1e11}

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target sharp-survey >/dev/null
cmake -S . -B build-mpi -DSHARP_MPI=ON -DSHARP_TESTS=OFF >/dev/null
cmake --build build-mpi -j"$(nproc)" --target sharp-survey >/dev/null

printf '%-6s %14s %14s %7s %12s\n' N "primesieve s" "survey s" ratio "survey peak"
for n in $limits; do
  floor=$({ /usr/bin/time -f '%e' primesieve "$n" --count --threads="$threads" -q >/dev/null; } 2>&1)
  read -r survey kilobytes < <({ /usr/bin/time -f '%e %M' build/sharp-survey "$n" --threads="$threads" --quiet \
    >/dev/null; } 2>&1)
  awk -v n="$n" -v f="$floor" -v s="$survey" -v k="$kilobytes" \
    'BEGIN { printf "%-6s %14.2f %14.2f %7.2f %9.1f MB\n", n, f, s, s / f, k / 1024 }'
done

# Wall seconds, and the survey's own "time:" (which leaves out mpirun's start-up).
measure() {
  local out
  out=$({ /usr/bin/time -f 'wall %e' "$@"; } 2>&1)
  echo "$(awk '$1 == "wall" { print $2 }' <<<"$out") $(awk '$1 == "time:" { print $2 }' <<<"$out")"
}
read -r ranks_wall ranks_own < <(measure mpirun --oversubscribe --allow-run-as-root -n 2 --bind-to none \
  build-mpi/sharp-survey --threads 1 --quiet 1e10)
read -r single_wall single_own < <(measure build/sharp-survey --threads 2 --quiet 1e10)
awk -v rw="$ranks_wall" -v ro="$ranks_own" -v sw="$single_wall" -v so="$single_own" 'BEGIN {
  printf "1e10, 2 MPI ranks x 1 thread against 1 process x 2 threads:\n"
  printf "  wall     %6.2f s  %6.2f s  ratio %.2f (mpirun start-up included)\n", rw, sw, rw / sw
  printf "  survey   %6.2f s  %6.2f s  ratio %.2f\n", ro, so, ro / so }'
