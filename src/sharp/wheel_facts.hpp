// The wheel: which numbers are candidates at all. Both programs pass over the
// even numbers and the multiples of the odd primes up to 47.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

namespace sharp {

// The candidate of the first pass: below it, no number is a candidate.
inline constexpr std::uint32_t kFirstCandidate = 23;

// Wheel divisors tested on every odd number, in the order tested.
inline constexpr std::array<std::uint32_t, 8> kWheelFirstGroup = {5, 3, 7, 11, 13, 17, 19, 23};

// Wheel divisors tested only above the first group's reach, in the order tested.
inline constexpr std::array<std::uint32_t, 6> kWheelSecondGroup = {29, 31, 37, 41, 43, 47};

// Both groups in ascending order: a candidate has none of them as a factor, unless it
// is one of them, from kFirstCandidate on.
inline constexpr auto kWheelPrimes = [] {
    std::array<std::uint32_t, kWheelFirstGroup.size() + kWheelSecondGroup.size()> primes{};
    std::size_t k = 0;
    for (const std::uint32_t p : kWheelFirstGroup) primes[k++] = p;
    for (const std::uint32_t p : kWheelSecondGroup) primes[k++] = p;
    std::sort(primes.begin(), primes.end());
    return primes;
}();

}  // namespace sharp
