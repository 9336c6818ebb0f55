// The word-at-a-time check of the sharp numbers beyond the filter, bit by bit against
// the primes it stands for: far up few candidates are left to it, too few for the
// segment tests to reach every sharp number it moves by.
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>
#include <primesieve.hpp>

#include "survey/check/primality.hpp"
#include "survey/check/sharp_check.hpp"
#include "survey/check/word_filter.hpp"
#include "survey/sieve/wheel30.hpp"

namespace sharp::survey {
namespace {

TEST(WordFilter, HitsBeyondTheFilterAreThePrimesBelow) {
    constexpr std::uint64_t kFirstByte = byteOf(1'000'000'000'000'000) & ~std::uint64_t{7};  // 10^15
    constexpr std::size_t kWords = 16;
    std::vector<std::uint8_t> bits(kLongestWordWindowBytes + 8 * kWords);
    const std::uint64_t low = kFirstByte - kLongestWordWindowBytes;
    primesieve::iterator primes(30 * low);
    for (std::uint64_t p = primes.next_prime(); p < 30 * (kFirstByte + 8 * kWords); p = primes.next_prime()) {
        bits[byteOf(p) - low] |= static_cast<std::uint8_t>(1u << kBitOfResidue[p % 30]);
    }
    for (const std::size_t upTo : {kWindowSharpCount + wordSharpsWithin(kWordWindowBytes), kWordSharpCount}) {
        for (std::size_t w = 0; w < kWords; ++w) {
            std::uint64_t expected = 0;
            for (unsigned i = 0; i < 64; ++i) {
                const std::uint64_t c = 30 * (kFirstByte + 8 * w + i / 8) + kResidues[i % 8];
                for (std::size_t k = kWindowSharpCount; k < upTo; ++k) {
                    if (isPrime64(c - kSharpsAscending[k])) expected |= std::uint64_t{1} << i;
                }
            }
            const std::size_t word = kLongestWordWindowBytes + 8 * w;
            const auto wordBelow = [&](std::size_t back) {
                std::uint64_t bytes;
                std::memcpy(&bytes, bits.data() + word - back, 8);
                return bytes;
            };
            EXPECT_EQ(hitsBeyondFilter(wordBelow, ~std::uint64_t{0}, upTo - kWindowSharpCount), expected) << upTo << " " << w;
        }
    }
}

}  // namespace
}  // namespace sharp::survey
