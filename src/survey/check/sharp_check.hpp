// The conjecture test on 64-bit candidates with exact distances: the candidates and
// the one-by-one check of a candidate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "sharp/sharp_table.hpp"
#include "sharp/wheel_facts.hpp"
#include "survey/uint128.hpp"

namespace sharp::survey {

// True when c is a candidate: 23, 29, 31, 37, 41, 43, 47, or an odd number above 47
// with no prime factor up to 47.
bool isCandidate(std::uint64_t c);
bool isCandidate(Uint128 c);

// True when some sharp number s lies at a distance d = |c - s| that is 1 or a prime
// below c; `isPrime(d)` answers for the distances (all odd and below c). The
// `skipped` smallest sharp numbers are passed over (their distances known already).
// `sharps`, ascending: the 79, or the survey's own table.
// Past 2^64 the same with c of 128 bits.
template <class Int, class IsPrime>
bool hasSharpOffset(Int c, IsPrime&& isPrime, std::size_t skipped = 0,
                    std::span<const std::uint64_t> sharps = kSharpsAscending) {
    for (std::size_t k = skipped; k < sharps.size(); ++k) {
        const Int s = sharps[k];
        const Int d = s < c ? c - s : s - c;
        if (d >= c) break;  // ascending: every larger sharp number lies farther above
        if (d == 1 || isPrime(d)) return true;
    }
    return false;
}

// The same for the sharp numbers from 2^64 on (`beyond`, ascending), tried last: the
// distance is found in 128 bits, and only one below c (so of c's width) is asked of
// isPrime.
template <class Int, class IsPrime>
bool hasOffsetBeyond(Int c, IsPrime&& isPrime, std::span<const Uint128> beyond) {
    for (const Uint128 s : beyond) {
        const Uint128 d = s < c ? c - s : s - c;
        if (d >= c) break;
        if (d == 1 || isPrime(static_cast<Int>(d))) return true;
    }
    return false;
}

}  // namespace sharp::survey
