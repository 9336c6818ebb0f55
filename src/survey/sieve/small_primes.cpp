#include "survey/sieve/small_primes.hpp"

#include <algorithm>

namespace sharp::survey {

namespace {

// Crosses off the multiples of p = 30 a + kResidues[R] in one block: the rest of the
// cycle it stopped in, whole cycles of eight at distances fixed for the prime, then
// the start of the next. Instantiated per residue so the masks are constants, and
// kept a function each: inlined into one switch, the eight loops ran 5 % slower.
template <unsigned R>
[[gnu::noinline]] void crossResidue(std::uint64_t& cycleOut, std::uint8_t& wOut, std::uint64_t a, std::uint8_t* block,
                  std::uint64_t blockStart, std::uint64_t end) {
    constexpr auto offsets = kCrossOffset[R];
    constexpr auto bits = kCrossBit[R];
    const std::uint64_t p = 30 * a + kResidues[R];
    const std::uint64_t o0 = a * 1 + offsets[0], o1 = a * 7 + offsets[1], o2 = a * 11 + offsets[2],
                        o3 = a * 13 + offsets[3], o4 = a * 17 + offsets[4], o5 = a * 19 + offsets[5],
                        o6 = a * 23 + offsets[6], o7 = a * 29 + offsets[7];
    const std::uint64_t off[8] = {o0, o1, o2, o3, o4, o5, o6, o7};
    std::uint64_t cycle = cycleOut;
    unsigned w = wOut;
    if (w != 0) {
        for (; w < 8; ++w) {
            if (cycle + off[w] >= end) {
                cycleOut = cycle;
                wOut = static_cast<std::uint8_t>(w);
                return;
            }
            block[cycle + off[w] - blockStart] &= static_cast<std::uint8_t>(~(1u << bits[w]));
        }
        cycle += p;
    }
    if (cycle + o7 < end) {
        std::uint8_t* at = block + (cycle - blockStart);
        std::uint8_t* const last = block + (end - blockStart) - o7;  // cycles starting before it fit whole
        for (; at < last; at += p) {
            at[o0] &= static_cast<std::uint8_t>(~(1u << bits[0]));
            at[o1] &= static_cast<std::uint8_t>(~(1u << bits[1]));
            at[o2] &= static_cast<std::uint8_t>(~(1u << bits[2]));
            at[o3] &= static_cast<std::uint8_t>(~(1u << bits[3]));
            at[o4] &= static_cast<std::uint8_t>(~(1u << bits[4]));
            at[o5] &= static_cast<std::uint8_t>(~(1u << bits[5]));
            at[o6] &= static_cast<std::uint8_t>(~(1u << bits[6]));
            at[o7] &= static_cast<std::uint8_t>(~(1u << bits[7]));
        }
        cycle = blockStart + static_cast<std::uint64_t>(at - block);
    }
    for (w = 0; w < 8 && cycle + off[w] < end; ++w) {
        block[cycle + off[w] - blockStart] &= static_cast<std::uint8_t>(~(1u << bits[w]));
    }
    cycleOut = cycle;
    wOut = static_cast<std::uint8_t>(w);  // not 8: a whole cycle would have fitted
}

}  // namespace

void SmallPrimes::sortByResidue() {
    std::stable_sort(primes_.begin(), primes_.end(), [](const SmallPrime& x, const SmallPrime& y) { return x.r < y.r; });
}

void SmallPrimes::crossOne(SmallPrime& prime, std::uint8_t* block, std::uint64_t blockStart, std::uint64_t end) {
    switch (prime.r) {
        case 0: return crossResidue<0>(prime.cycle, prime.w, prime.a, block, blockStart, end);
        case 1: return crossResidue<1>(prime.cycle, prime.w, prime.a, block, blockStart, end);
        case 2: return crossResidue<2>(prime.cycle, prime.w, prime.a, block, blockStart, end);
        case 3: return crossResidue<3>(prime.cycle, prime.w, prime.a, block, blockStart, end);
        case 4: return crossResidue<4>(prime.cycle, prime.w, prime.a, block, blockStart, end);
        case 5: return crossResidue<5>(prime.cycle, prime.w, prime.a, block, blockStart, end);
        case 6: return crossResidue<6>(prime.cycle, prime.w, prime.a, block, blockStart, end);
        default: return crossResidue<7>(prime.cycle, prime.w, prime.a, block, blockStart, end);
    }
}

}  // namespace sharp::survey
