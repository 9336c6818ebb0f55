// The classes of the candidates past 2^64, a segment at a time. No sieve there reaches
// the square root, so a segment and the numbers below it are sieved by the primes up
// to kWideSievePrime, and what survives is tried by Baillie-PSW: the candidate itself,
// and its distances to the sharp numbers in ascending order until one is prime.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "survey/check/class_counts.hpp"
#include "survey/uint128.hpp"

namespace sharp::survey {

// A tossed candidate past 2^64.
struct WideTossed {
    Uint128 value;
    bool prime;
    bool operator==(const WideTossed&) const = default;
};

class WideSegment {
public:
    // `sharps` and those from 2^64 on, `beyond`, ascending, outlive the segment.
    explicit WideSegment(std::span<const std::uint64_t> sharps, std::span<const Uint128> beyond = {});

    // Classifies every candidate c with first <= c <= last (at most kWideSegmentNumbers
    // of them, first above 2^32).
    void test(Uint128 first, Uint128 last);
    const ClassCounts& counts() const { return counts_; }
    // The tossed candidates of the last test, ascending.
    const std::vector<WideTossed>& tossed() const { return tossed_; }

private:
    bool isPrimeDistance(Uint128 d);
    // Whether odd number base_ + 2i, a survivor of the sieve or known composite, is prime.
    bool isRoughPrime(std::size_t i);

    std::span<const std::uint64_t> sharps_;
    std::span<const Uint128> beyond_;
    std::uint64_t below_;               // the sieved numbers below a segment: its distances to the smaller sharp numbers
    Uint128 base_ = 0;                  // the odd number of flag 0
    std::vector<std::uint8_t> rough_;   // per odd number from base_: kComposite, kRough (no prime factor up to kWideSievePrime) or kPrime
    std::vector<std::uint8_t> wheeled_;  // per odd number from base_: no prime factor up to 47
    ClassCounts counts_;
    std::vector<WideTossed> tossed_;
};

// The class of one candidate c, literally: Baillie-PSW on c, then on its distances to
// the sharp numbers one by one. The reference the segments are checked against.
CandidateClass classifyLiterally(Uint128 c, std::span<const std::uint64_t> sharps, std::span<const Uint128> beyond = {});

}  // namespace sharp::survey
