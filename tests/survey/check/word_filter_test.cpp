// The filter and the word-at-a-time check, bit by bit against the primes they stand
// for: a false hit shows only where a candidate would have been tossed, which the
// segment tests' short ranges hardly ever hold.
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>
#include <primesieve.hpp>

#include "survey/check/primality.hpp"
#include "survey/check/word_filter.hpp"
#include "survey/sieve/wheel30.hpp"

namespace sharp::survey {
namespace {

TEST(WordFilter, MovesThePrimesBelowOntoTheCandidates) {
    constexpr std::uint64_t kFirstByte = byteOf(1'000'000'000'000'000) & ~std::uint64_t{7};  // 10^15
    constexpr std::size_t kWords = 16;
    std::vector<std::uint8_t> bits(kLongestWordWindowBytes + 8 * kWords);
    const std::uint64_t low = kFirstByte - kLongestWordWindowBytes;
    primesieve::iterator primes(30 * low);
    for (std::uint64_t p = primes.next_prime(); p < 30 * (kFirstByte + 8 * kWords); p = primes.next_prime()) {
        bits[byteOf(p) - low] |= static_cast<std::uint8_t>(1u << kBitOfResidue[p % 30]);
    }
    // The candidates of word w a prime above one of the sharp numbers from .. to - 1.
    const auto primesAbove = [](std::size_t w, std::size_t from, std::size_t to) {
        std::uint64_t found = 0;
        for (unsigned i = 0; i < 64; ++i) {
            const std::uint64_t c = 30 * (kFirstByte + 8 * w + i / 8) + kResidues[i % 8];
            for (std::size_t k = from; k < to; ++k) {
                if (isPrime64(c - kSharpsAscending[k])) found |= std::uint64_t{1} << i;
            }
        }
        return found;
    };
    const std::uint8_t* const segment = bits.data() + kLongestWordWindowBytes;
    const std::vector<std::uint64_t> everyBit(kWords, ~std::uint64_t{0});
    const SharpSet& sharps = SharpSet::builtIn();
    const std::size_t filterCount = sharps.filterSharps(), wordCount = sharps.wordSharpsWithin(kLongestWordWindowBytes);
    ASSERT_EQ(filterCount, 32u);  // every sharp number up to 2^20
    ASSERT_EQ(filterCount + wordCount, 60u);  // and every one up to 214414200
    for (const bool wide : {false, true}) {
        std::vector<std::uint64_t> hits(kWords);
        filterBySharps(sharps, segment, everyBit.data(), hits.data(), kWords, wide);
        for (std::size_t w = 0; w < kWords; ++w) {
            EXPECT_EQ(hits[w], primesAbove(w, 0, filterCount + (wide ? sharps.wideSharps() : 0))) << wide << " " << w;
        }
    }
    for (const std::size_t upTo : {filterCount + sharps.wideSharps(), filterCount + wordCount}) {
        for (std::size_t w = 0; w < kWords; ++w) {
            const auto wordBelow = [&](std::size_t back) {
                std::uint64_t word;
                std::memcpy(&word, segment + 8 * w - back, 8);
                return word;
            };
            EXPECT_EQ(hitsBeyondFilter(sharps.wordMoves(0, upTo - filterCount), wordBelow, ~std::uint64_t{0}),
                      primesAbove(w, filterCount, upTo))
                << upTo << " " << w;
        }
    }
}

}  // namespace
}  // namespace sharp::survey
