// The conjecture test on 64-bit candidates with exact distances: the candidates, the
// sharp numbers, and the one-by-one check of a single candidate.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "run/constants.hpp"

namespace sharp::survey {

// The 79 sharp numbers.
inline constexpr std::size_t kSharpCount = kSharpSlots - 2;

// The sharp numbers in ascending order.
const std::array<std::uint64_t, kSharpCount>& sharpsAscending();

// The sharp numbers up to kLargestWindowSharp, most promising first: those with more
// small prime factors leave offsets free of more small factors, which are prime more often.
std::span<const std::uint64_t> windowSharpsByPromise();

// The odd primes the wheel removes, both of its groups: a candidate has none of them
// as a factor (unless it is one of them, from 23 on).
inline constexpr auto kWheelPrimes = [] {
    std::array<std::uint32_t, kWheelFirstGroup.size() + kWheelSecondGroup.size()> primes{};
    std::size_t k = 0;
    for (const std::uint32_t p : kWheelFirstGroup) primes[k++] = p;
    for (const std::uint32_t p : kWheelSecondGroup) primes[k++] = p;
    return primes;
}();

// The first candidate: below it, no number is a candidate.
inline constexpr std::uint64_t kFirstSurveyCandidate = kFirstCandidate;

// True when c is a candidate: 23, 29, 31, 37, 41, 43, 47, or an odd number above 47
// with no prime factor up to 47.
bool isCandidate(std::uint64_t c);

// True when some sharp number s lies at a distance d = |c - s| with d <= c that is 1
// or a prime; `isPrime(d)` answers for the distances (all odd and below c). The
// `skipped` smallest sharp numbers are passed over (their distances known already).
template <class IsPrime>
bool hasSharpOffset(std::uint64_t c, IsPrime&& isPrime, std::size_t skipped = 0) {
    const auto& sharps = sharpsAscending();
    for (std::size_t k = skipped; k < sharps.size(); ++k) {
        const std::uint64_t s = sharps[k];
        const std::uint64_t d = s < c ? c - s : s - c;
        if (d > c) break;  // ascending: every larger sharp number lies farther above
        if (d == 1 || isPrime(d)) return true;
    }
    return false;
}

}  // namespace sharp::survey
