// How many tossed candidates chance alone would give: the primes as a random set with
// the right local structure. A number d with no prime factor up to B is prime with
// chance W_B / ln d, W_B = prod_{q <= B} q / (q - 1); a candidate's residues modulo
// the primes up to B are uniform (over the non-zero classes for a prime candidate,
// and for a composite one up to 47) and independent; an offset c - s survives the
// primes up to B unless c = s modulo one of them; surviving offsets are prime
// independently. The chance that c is tossed is then the average, over residue
// patterns, of the product of (1 - W_B / ln d) over its surviving offsets; it is
// summed over the candidates of each bucket by integrating against their density.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <utility>
#include <vector>

#include "survey/uint128.hpp"

namespace sharp::survey {

struct ModelSettings {
    // B: the primes up to it (and up to the cube root of x) decide which offsets
    // survive. From 300 on the expectation to 10^12 moves less than its sampling error.
    std::uint32_t smoothBound = 300;
    // Residue patterns drawn; the estimate's standard error falls as 1 / sqrt(samples):
    // 2^16 of them, under 1 % to 10^12, take a few seconds.
    std::uint32_t samples = 1 << 16;
    // How strongly the residues are drawn towards classes with many sharp numbers (0:
    // uniform); any value keeps the average exact.
    double tilt = 0.2;
    // The patterns are drawn from this seed, so every run gives the same figures.
    std::uint64_t seed = 20261209;
    // The primes above B, taken as a whole: a prime q divides the offsets of the sharp
    // numbers in one class mod q, never of two classes at once, and a prime candidate's
    // offsets a little more often than a random number's. Off: each surviving offset is
    // prime independently with chance W_B / ln d, as if the primes above B did not tie them.
    bool aboveBound = true;
    // Told the share of the patterns drawn so far, now and then, on the calling thread.
    std::function<void(double)> progress;
};

// The model's expectation for the candidates from `from` up to one N, with its error:
// the standard error of its sampling and what is left of the primes above B.
struct ExpectedTossed {
    double primes = 0, composites = 0;
    double primesError = 0, compositesError = 0;
};

// For a survey from `from` with buckets ending at `bucketEnds` (ascending): the
// expected tossed primes and composites from `from` up to each bucket's end, for
// the sharp numbers `sharps` (ascending).
std::vector<ExpectedTossed> expectTossed(std::uint64_t from, const std::vector<std::uint64_t>& bucketEnds,
                                         std::span<const std::uint64_t> sharps, const ModelSettings& settings = {});
// The same for sharp numbers that may reach past 2^64.
std::vector<ExpectedTossed> expectTossed(std::uint64_t from, const std::vector<std::uint64_t>& bucketEnds,
                                         std::span<const Uint128> sharps, const ModelSettings& settings = {});

// The same for each of `windows` ([from, to], ascending, apart) on its own, drawn
// together: one set of residue patterns serves them all.
std::vector<ExpectedTossed> expectTossedInWindows(const std::vector<std::pair<Uint128, Uint128>>& windows,
                                                  std::span<const std::uint64_t> sharps, const ModelSettings& settings = {});
std::vector<ExpectedTossed> expectTossedInWindows(const std::vector<std::pair<Uint128, Uint128>>& windows,
                                                  std::span<const Uint128> sharps, const ModelSettings& settings = {});

// The share of all numbers that are candidates, for large N: prod_{p <= 47} (1 - 1/p).
double candidateDensity();

}  // namespace sharp::survey
