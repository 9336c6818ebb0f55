#!/usr/bin/env bash
# sharp-survey built for MPI against the plain build, on [0, 10^9]:
#   1. 3 ranks of one thread each write byte for byte the plain build's table, CSV and tossed list;
#   2. an MPI run resumed from a state file cut in the middle of a line writes them too;
#   3. with a sharp table of the user's, 3 ranks write the plain build's outputs too, and with one
#      whose slices send their tossed lists in parts (with a state file, cut and resumed, and without);
#   4. heights windows over 3 ranks, below and past 2^64, with a state file cut and resumed, and without;
#   5. a rank started on another survey, heights survey or table is refused before any work, with status 2.
# Usage: mpi_test.sh PLAIN_SURVEY MPI_SURVEY
set -euo pipefail
plain=$(realpath "$1")
mpi=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
ranks=(mpirun --oversubscribe --allow-run-as-root -n 3)

"$plain" --quiet --csv plain.csv --tossed plain.txt 1e9 | grep -v '^time:' > plain.out
"${ranks[@]}" "$mpi" --threads 1 --quiet --csv mpi.csv --tossed mpi.txt --state mpi.state 1e9 |
  grep -v '^time:' > mpi.out
cmp plain.out mpi.out && cmp plain.csv mpi.csv && cmp plain.txt mpi.txt
slices=$(($(wc -l < mpi.state) - 1))
[ "$slices" -gt 3 ] || { echo "expected several slices, got $slices" >&2; exit 1; }

# The header and half of the slices, then half of the next line: as a kill leaves it.
keep=$(head -n $((slices / 2 + 1)) mpi.state | wc -c)
head -c $((keep + 40)) mpi.state > resumed.state
"${ranks[@]}" "$mpi" --threads 1 --quiet --csv resumed.csv --tossed resumed.txt --state resumed.state 1e9 \
  2> resumed.err | grep -v '^time:' > resumed.out
grep -q 'dropped a torn last line' resumed.err
cmp plain.out resumed.out && cmp plain.csv resumed.csv && cmp plain.txt resumed.txt
[ "$(wc -l < resumed.state)" = "$((slices + 1))" ]
printf '2\n6\n30\n210\n2310\n' > small.sharps
printf '2\n6\n30\n210\n' > other.sharps
"$plain" --quiet --sharps small.sharps --csv plain-small.csv --tossed plain-small.txt 1e8 | grep -v '^time:' > plain-small.out
"${ranks[@]}" "$mpi" --threads 1 --quiet --sharps small.sharps --csv mpi-small.csv --tossed mpi-small.txt 1e8 |
  grep -v '^time:' > mpi-small.out
cmp plain-small.out mpi-small.out && cmp plain-small.csv mpi-small.csv && cmp plain-small.txt mpi-small.txt
# A table whose slices send their tossed lists in parts, interleaved from the ranks:
# with a state file (then cut in half and resumed) and without one.
seq 2 2 80 > evens.sharps
"$plain" --quiet --sharps evens.sharps --tossed plain-evens.txt 2^30 | grep -v '^time:' > plain-evens.out
"${ranks[@]}" "$mpi" --threads 1 --quiet --sharps evens.sharps --tossed mpi-evens.txt --state evens.state 2^30 |
  grep -v '^time:' > mpi-evens.out
cmp plain-evens.out mpi-evens.out && cmp plain-evens.txt mpi-evens.txt
grep -q '^S1 P3 T' evens.state
head -c $(($(wc -c < evens.state) / 2)) evens.state > evens-cut.state
"${ranks[@]}" "$mpi" --threads 1 --quiet --sharps evens.sharps --tossed cut-evens.txt --state evens-cut.state 2^30 \
  2>/dev/null | grep -v '^time:' > cut-evens.out
cmp plain-evens.out cut-evens.out && cmp plain-evens.txt cut-evens.txt
"${ranks[@]}" "$mpi" --threads 1 --quiet --sharps evens.sharps --tossed free-evens.txt 2^30 | grep -v '^time:' > free-evens.out
cmp plain-evens.out free-evens.out && cmp plain-evens.txt free-evens.txt
# Heights windows handed to the ranks, below and past 2^64, as the plain build writes them:
# with a state file (then cut and resumed), and without one (the lists wait beside the file).
heights=(--quiet --window 2^20 --from 1e12 --heights)
wide=(--quiet --window 2^16 --from 1e20 --heights)
"$plain" "${heights[@]}" plain-h.csv --tossed plain-h.txt 1e14 > plain-h.out
"$plain" "${wide[@]}" plain-w.csv --tossed plain-w.txt 1e22 > plain-w.out
"${ranks[@]}" "$mpi" --threads 1 "${heights[@]}" mpi-h.csv --tossed mpi-h.txt --state h.state 1e14 > mpi-h.out
cmp plain-h.out mpi-h.out && cmp plain-h.csv mpi-h.csv && cmp plain-h.txt mpi-h.txt
head -c $(($(wc -c < h.state) / 2)) h.state > h-cut.state
"${ranks[@]}" "$mpi" --threads 1 "${heights[@]}" cut-h.csv --tossed cut-h.txt --state h-cut.state 1e14 \
  2>/dev/null > cut-h.out
cmp plain-h.out cut-h.out && cmp plain-h.csv cut-h.csv && cmp plain-h.txt cut-h.txt
"${ranks[@]}" "$mpi" --threads 1 "${wide[@]}" mpi-w.csv --tossed mpi-w.txt 1e22 > mpi-w.out
cmp plain-w.out mpi-w.out && cmp plain-w.csv mpi-w.csv && cmp plain-w.txt mpi-w.txt
for other in "1e9 : -n 1 $mpi --quiet 2e9" "--heights o.csv --from 1e12 1e13 : -n 1 $mpi --quiet --heights o.csv --from 1e12 2e13" "--sharps small.sharps 1e8 : -n 1 $mpi --quiet --sharps other.sharps 1e8"; do
  status=0
  # shellcheck disable=SC2086  # the words of another rank's command line
  mpirun --oversubscribe --allow-run-as-root -n 1 "$mpi" --quiet $other > other.out 2> other.err || status=$?
  [ "$status" = 2 ] && grep -q 'rank 1 runs another build or survey' other.err && [ ! -s other.out ] ||
    { echo "a rank on another survey was not refused (status $status): $other" >&2; cat other.err >&2; exit 1; }
done
echo "mpi: 3 ranks and a resumed MPI run write the plain build's outputs ($slices slices), with the 79 and other tables, lists in parts; heights windows too; another survey or table is refused"
