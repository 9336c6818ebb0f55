// The conjecture test on 64-bit candidates with exact distances: the candidates, the
// sharp numbers the word-wide filter takes, and the one-by-one check of a candidate.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "sharp/sharp_table.hpp"
#include "sharp/wheel_facts.hpp"
#include "survey/survey_constants.hpp"

namespace sharp::survey {

// How many sharp numbers there are up to `bound`.
inline constexpr std::size_t sharpCountUpTo(std::uint64_t bound) {
    return static_cast<std::size_t>(std::upper_bound(kSharpsAscending.begin(), kSharpsAscending.end(), bound) -
                                    kSharpsAscending.begin());
}

// How many of the smallest sharp numbers lie within the filter's reach.
inline constexpr std::size_t kWindowSharpCount = sharpCountUpTo(kLargestWindowSharp);

// How many of the smallest sharp numbers are tried a word at a time (the filter's too).
inline constexpr std::size_t kWordSharpCount = sharpCountUpTo(kLargestWordSharp);

// The sharp numbers up to kLargestWindowSharp, ascending: the ones the filter ORs in.
inline constexpr std::span<const std::uint64_t> windowSharps() {
    return std::span<const std::uint64_t>(kSharpsAscending).first(kWindowSharpCount);
}

// True when c is a candidate: 23, 29, 31, 37, 41, 43, 47, or an odd number above 47
// with no prime factor up to 47.
bool isCandidate(std::uint64_t c);

// True when some sharp number s lies at a distance d = |c - s| with d <= c that is 1
// or a prime; `isPrime(d)` answers for the distances (all odd and below c). The
// `skipped` smallest sharp numbers are passed over (their distances known already).
// `sharps`, ascending: the table, or another one for models of the test.
template <class IsPrime>
bool hasSharpOffset(std::uint64_t c, IsPrime&& isPrime, std::size_t skipped = 0,
                    std::span<const std::uint64_t> sharps = kSharpsAscending) {
    for (std::size_t k = skipped; k < sharps.size(); ++k) {
        const std::uint64_t s = sharps[k];
        const std::uint64_t d = s < c ? c - s : s - c;
        if (d > c) break;  // ascending: every larger sharp number lies farther above
        if (d == 1 || isPrime(d)) return true;
    }
    return false;
}

}  // namespace sharp::survey
