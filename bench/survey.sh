#!/usr/bin/env bash
# Times sharp-survey against primesieve's prime count of the same range, the floor
# (the survey must know the primality of every number in it), with THREADS threads
# (default 2), side by side with the ratio and both peak memories; a row shorter than
# 2 s is timed PAIRS times (default 7), the two taken in turn, and the medians shown
# (the ratio the median of the pairs' own), since one run of 0.3 s is mostly noise:
#   [0, 10^10], [0, 10^11], 10^9 numbers at 10^12, 10^15, 10^18 and [2^64 - 2^30, 2^64 - 1]
# (ROWS="FROM:TO ..." to choose others), then the same with one thread each; the
# survey's wall and processor time and memory at --threads 2, 8 and 32 far up; how both
# scale from [0, 10^11] to [0, 10^12]; 2 MPI ranks of 1 thread against 1 process of 2
# threads on [0, 10^10].
# It first says which vector path the filter takes.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh test
threads=${THREADS:-2}
pairs=${PAIRS:-7}
rows=${ROWS:-"0:1e10 0:1e11 1e12:1e12+1e9 1e15:1e15+1e9 1e18:1e18+1e9 18446744072635809792:18446744073709551615"}

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target sharp-survey >/dev/null
cmake -S . -B build-mpi -DSHARP_MPI=ON -DSHARP_TESTS=OFF >/dev/null
cmake --build build-mpi -j"$(nproc)" --target sharp-survey >/dev/null

if grep -qw avx2 /proc/cpuinfo; then path=AVX2; else path="plain (no AVX2)"; fi
echo "vector path of the word filter: $path (the filter is built for AVX2 and plain only)"
if grep -qw avx512f /proc/cpuinfo; then
  # Most machines have no AVX-512: the C library's copies and fills take their AVX2 path too.
  export GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX512F,-AVX512VL,-AVX512BW,-AVX512DQ,-AVX512CD
  echo "AVX-512 present: hidden from the C library, which takes its AVX2 path"
fi
# Wall seconds to the millisecond, and peak kilobytes, of one run of a command.
timed() {
  local start end kb
  start=$EPOCHREALTIME
  kb=$({ /usr/bin/time -f '%M' "$@" >/dev/null; } 2>&1 | tail -1)
  end=$EPOCHREALTIME
  awk -v a="$start" -v b="$end" -v k="$kb" 'BEGIN { printf "%.3f %s\n", b - a, k }'
}
# The table of every row with $1 threads for both programs.
table() {
  local threads=$1
  echo "--threads $threads:"
  printf '%-44s %9s %9s %7s %11s %11s\n' range "primes s" "survey s" ratio "primes mem" "survey mem"
  for row in $rows; do
    from=${row%%:*} to=${row#*:}
    # primesieve takes plain numbers and sums; the survey reads both forms.
    low=$(python3 -c "print(int(eval('$from'.replace('^', '**').replace('e', '*10**'))))")
    high=$(python3 -c "print(int(eval('$to'.replace('^', '**').replace('e', '*10**'))))")
    times=""
    for ((pair = 1; pair <= pairs; pair++)); do
      read -r floor floorKb < <(timed primesieve "$low" "$high" --count --threads="$threads" -q)
      read -r survey kilobytes < <(timed build/sharp-survey --from "$low" "$high" --threads="$threads" --quiet)
      times+="$floor $survey $floorKb $kilobytes"$'\n'
      awk -v s="$survey" 'BEGIN { exit !(s >= 2) }' && break
    done
    # Medians of each column (the ratio's from each pair), the largest peak memories.
    awk -v r="[$from, $to]" '
      NF == 4 { n++; f[n] = $1; s[n] = $2; q[n] = $2 / $1; if ($3 > fk) fk = $3; if ($4 > k) k = $4 }
      function median(a,   i, j, t) {
        for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] > a[j]; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
        return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
      }
      END { printf "%-44s %9.2f %9.2f %7.2f %8.1f MB %8.1f MB  (%d run%s)\n", r, median(f), median(s), median(q), fk / 1024, k / 1024, n, n == 1 ? "" : "s" }' <<<"$times"
  done
}
table "$threads"
# One thread each beside it: what a core does, without the scheduling of two.
# ONE_THREAD=0 skips it.
[[ ${ONE_THREAD:-1} != 0 ]] && table 1

# More threads than cores: the survey's wall and processor time and peak memory at
# --threads 2, 8 and 32 on the rows that far up pay for their sieving primes per job.
# MANY_THREADS=0 skips it.
if [[ ${MANY_THREADS:-1} != 0 ]]; then
  echo "the survey with more threads than cores (wall s, cpu s, peak MB):"
  for row in 0:1e11 1e18:1e18+1e9 18446744072635809792:18446744073709551615; do
    from=${row%%:*} to=${row#*:}
    line=$(printf '%-44s' "[$from, $to]")
    for many in 2 8 32; do
      figures=$({ /usr/bin/time -f '%e %U %S %M' build/sharp-survey --from "$from" "$to" --threads "$many" --quiet \
        >/dev/null; } 2>&1 | tail -1)
      line+=$(awk -v t="$many" '{ printf "  %2d: %6.2f %6.2f %5.0f", t, $1, $2 + $3, $4 / 1024 }' <<<"$figures")
    done
    echo "$line"
  done
fi

# How each scales from [0, 10^11] to [0, 10^12], the floor's own figure beside the
# survey's: [0, 10^11] is timed before and after [0, 10^12] and the two averaged,
# since one run of it moves by a tenth within minutes. SCALING=0 skips it (4 minutes).
if [[ ${SCALING:-1} != 0 ]]; then
  declare -A small large
  for pass in 1 2; do
    read -r small[primesieve$pass] _ < <(timed primesieve 0 100000000000 --count --threads="$threads" -q)
    read -r small[survey$pass] _ < <(timed build/sharp-survey --from 0 1e11 --threads="$threads" --quiet)
    [[ $pass == 2 ]] && break
    read -r large[primesieve] _ < <(timed primesieve 0 1000000000000 --count --threads="$threads" -q)
    read -r large[survey] _ < <(timed build/sharp-survey --from 0 1e12 --threads="$threads" --quiet)
  done
  echo "[0, 10^12] against [0, 10^11] (the mean of a run before and after):"
  for program in primesieve survey; do
    awk -v p="$program" -v l="${large[$program]}" -v a="${small[${program}1]}" -v b="${small[${program}2]}" \
      'BEGIN { printf "  %-10s %7.2f s / %6.2f s = %5.2f\n", p, l, (a + b) / 2, 2 * l / (a + b) }'
  done
fi

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
