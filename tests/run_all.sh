#!/usr/bin/env bash
# Builds sharp-primes and sharp-survey and runs every test:
#   1. Release build with warnings as errors: unit, end-to-end, golden, full-run and kill
#      tests, and the survey's tests (to 10^10 against primecount);
#   2. address and undefined-behaviour sanitizers: unit and end-to-end tests (runs to 10^7)
#      and the survey's tests but the long ones, on the survey's plain vector path (step 1
#      takes the AVX2 path wherever the machine has it);
#   3. libFuzzer on the prompt for FUZZ_SECONDS (default 60), on the survey's state-file
#      reader and on its numbers for half of that each;
#   4. valgrind memcheck on a small run;
#   5. sharp-survey built for MPI: 3 ranks and a resumed MPI run against the plain build.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)
fuzz_seconds=${FUZZ_SECONDS:-60}

bash tools/install-deps.sh test

echo "== 1. Release build: unit, end-to-end and full-run tests (benchmarks built, not run)"
cmake -S . -B build -DSHARP_WERROR=ON -DSHARP_BENCH=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== 2. Sanitizer build, plain vector path: unit and end-to-end tests"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSHARP_SANITIZE=ON -DSHARP_VECTORS=OFF -DSHARP_WERROR=ON
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs" -LE full

echo "== 3. Fuzzing the prompt for ${fuzz_seconds} s, the state-file reader and the survey's numbers for $((fuzz_seconds / 2)) s each"
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DSHARP_FUZZ=ON -DSHARP_TESTS=OFF -DSHARP_WERROR=ON
cmake --build build-fuzz -j"$jobs" --target prompt_fuzz state_file_fuzz number_expression_fuzz
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
fuzz() {  # fuzz HARNESS SECONDS MAX_LEN: from its seeds in fuzz/HARNESS_corpus
  mkdir "$corpus/$1"
  cp "fuzz/$1_corpus"/* "$corpus/$1"/
  "build-fuzz/fuzz/$1_fuzz" -max_total_time="$2" -timeout=5 -max_len="$3" -print_final_stats=1 "$corpus/$1" 2>&1 |
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done)'
}
fuzz prompt "$fuzz_seconds" 512
fuzz state_file $((fuzz_seconds / 2)) 8192
fuzz number_expression $((fuzz_seconds / 2)) 128

echo "== 4. valgrind memcheck on a run to 2809"
run_dir=$(mktemp -d)
trap 'rm -rf "$corpus" "$run_dir"' EXIT
mkdir "$run_dir/primes"
(cd "$run_dir" && printf '2809\n' | valgrind --quiet --error-exitcode=99 --leak-check=full \
  --errors-for-leak-kinds=definite,indirect "$OLDPWD/build/sharp-primes" >/dev/null)
[ "$(wc -l < "$run_dir/primes/sfp.txt")" = 1 ]
echo "valgrind: clean"

echo "== 5. MPI build of sharp-survey against the plain build"
cmake -S . -B build-mpi -DSHARP_MPI=ON -DSHARP_TESTS=OFF -DSHARP_WERROR=ON
cmake --build build-mpi -j"$jobs" --target sharp-survey
bash tests/survey/mpi/mpi_test.sh build/sharp-survey build-mpi/sharp-survey

echo "All tests passed."
