// The sieving primes with many multiples a block: each crosses off a cache-sized
// piece of the block at a time, in a loop unrolled over a whole cycle of the wheel of
// 30, one loop per residue so that its masks are constants.
#pragma once

#include <cstdint>
#include <vector>

#include "survey/sieve/first_multiples.hpp"

namespace sharp::survey {

// Bytes a small prime crosses at a time, all of them over a piece while it stays in
// the first-level cache (32 KiB on the machines we know).
inline constexpr std::uint64_t kPieceBytes = 1u << 15;

// Primes from here on (under 64 multiples a piece) are medium: for them the unrolled
// loop's way in and out of a piece costs more than it saves.
inline constexpr std::uint64_t kMediumPrimeFrom = kPieceBytes / 8;

class SmallPrimes {
public:
    void clear() { primes_.clear(); }
    void add(std::uint64_t p, const FirstMultiple& first) { primes_.push_back({p * first.cycle, first.a, first.r, first.w}); }
    // Once all are added: primes of one residue in a row keep the jump to its loop predicted.
    void sortByResidue();
    // Crosses off their multiples in the piece of the block (from byte `blockStart`) up to
    // byte `end` - 1, where they stopped in the piece before: at most kPieceBytes, so
    // that the piece stays in the first-level cache while all cross it.
    void cross(std::uint8_t* block, std::uint64_t blockStart, std::uint64_t end) {
        for (SmallPrime& prime : primes_) crossOne(prime, block, blockStart, end);
    }

private:
    // p = 30 a + kResidues[r]: its next multiple is at byte cycle + a kResidues[w] + kCrossOffset[r][w].
    struct SmallPrime {
        std::uint64_t cycle;
        std::uint32_t a;
        std::uint8_t r, w;
    };
    static void crossOne(SmallPrime& prime, std::uint8_t* block, std::uint64_t blockStart, std::uint64_t end);

    std::vector<SmallPrime> primes_;
};

}  // namespace sharp::survey
