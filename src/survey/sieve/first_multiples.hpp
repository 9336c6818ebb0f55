// Where a stream's sieving primes start: the primes it needs, and the first multiple
// of each from the stream's first number on, on the wheel of 30 (small and medium
// primes) or of 210 (bucket and large ones).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "survey/sieve/wheel210.hpp"
#include "survey/sieve/wheel30.hpp"

namespace sharp::survey {

// A sieving prime p = 30 a + kResidues[r] and its first multiple in the stream:
// m = 30 cycle + kResidues[w] (or 210 cycle + the w-th residue coprime to 210), in byte `byte`.
struct FirstMultiple {
    std::uint64_t byte, cycle;
    std::uint32_t a;
    std::uint8_t r, w;
};

// The largest sieving prime a stream that ends with byte `byte` needs: the root of
// its last number, capped where no prime lies beyond.
std::uint64_t sievingLimit(std::uint64_t byte);

// The first multiple p m to cross from `firstNumber` on, `below` = firstNumber / p:
// m >= p (smaller ones have smaller factors), then the first such m coprime to Period.
template <std::uint64_t Period>
[[gnu::always_inline]] inline FirstMultiple firstMultipleOf(std::uint64_t p, std::uint64_t below,
                                                           std::uint64_t firstNumber) {
    static_assert(Period == 30 || Period == 210);
    const std::uint64_t m0 = std::max(p, below + (below * p != firstNumber));
    FirstMultiple first;
    first.a = static_cast<std::uint32_t>(p / 30);
    first.r = static_cast<std::uint8_t>(kBitOfResidue[p % 30]);
    first.cycle = m0 / Period;
    std::uint64_t residue;
    if constexpr (Period == 30) {
        first.w = kWheelIndexFrom[m0 % 30];
        residue = kResidues[first.w];
    } else {
        first.w = kWheel210IndexFrom[m0 % 210];
        residue = kResidues210[first.w];
    }
    // p m = 30 (Period / 30 p cycle + a residue) + (p % 30) residue.
    first.byte = Period / 30 * p * first.cycle + std::uint64_t{first.a} * residue + (p % 30) * residue / 30;
    return first;
}

// The quotients x / p of `count` primes below 2^32 in floating point, rounded to the
// nearest integer: for p from 2^16 on below 2^48, off by one at most.
void approximateQuotients(std::uint64_t x, const std::uint64_t* __restrict primes, std::size_t count,
                          std::uint64_t* __restrict out);

// x / p for a sieving prime p from 2^16 on, from `approximate`, off by one at most,
// set right without a branch, which would go either way at random; below 2^16 by an
// integer division.
inline std::uint64_t quotient(std::uint64_t x, std::uint64_t p, std::uint64_t approximate) {
    if (p < (std::uint64_t{1} << 16)) return x / p;
    const std::int64_t rest = static_cast<std::int64_t>(x - approximate * p);
    approximate -= static_cast<std::uint64_t>(rest < 0);
    approximate += static_cast<std::uint64_t>(rest >= static_cast<std::int64_t>(p));
    return approximate;
}

// use(first multiple on the wheel of 210) for each of a batch of primes: the quotients
// first, a batch in a vector loop, where one at a time they took most of a far stream's
// start. `quotients` is scratch space.
template <class Use>
void forEachFirstMultiple210(const std::uint64_t* primes, std::size_t count, std::uint64_t firstNumber,
                             std::vector<std::uint64_t>& quotients, Use&& use) {
    quotients.resize(count);
    approximateQuotients(firstNumber, primes, count, quotients.data());
    for (std::size_t i = 0; i < count; ++i) {
        use(firstMultipleOf<210>(primes[i], quotient(firstNumber, primes[i], quotients[i]), firstNumber));
    }
}

}  // namespace sharp::survey
