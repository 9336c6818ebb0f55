// The survey's own sieve against primesieve: the same primes, bit for bit, at every
// height, across block and bucket boundaries, and up to 2^64 - 1.
#include <cstring>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>
#include <primesieve.hpp>

#include "survey/sieve/stream_sieve.hpp"
#include "survey/sieve/wheel30.hpp"

namespace sharp::survey {
namespace {

// The numbers whose bits are set in bytes from .. to - 1.
std::vector<std::uint64_t> numbersOf(const std::vector<std::uint8_t>& bits, std::uint64_t from) {
    std::vector<std::uint64_t> numbers;
    for (std::size_t i = 0; i < bits.size(); ++i) {
        for (int b = 0; b < 8; ++b) {
            if ((bits[i] >> b) & 1) numbers.push_back(30 * (from + i) + kResidues[b]);
        }
    }
    return numbers;
}

// Reads the bytes of [low, high] in pieces of `piece` bytes, as consecutive segments do.
// Streams reach `stream` bytes; primes from `large` on mark them at once.
void expectPrimesOf(std::uint64_t low, std::uint64_t high, std::size_t blockBytes, std::size_t piece,
                    std::uint64_t stream, std::uint64_t large) {
    const WheelPattern pattern;
    StreamSieve sieve(pattern, blockBytes, piece, stream, large);
    const std::uint64_t first = byteOf(low), end = byteOf(high) + 1;
    std::vector<std::uint8_t> bits(end - first);
    for (std::uint64_t b = first; b < end; b += piece) {
        sieve.read(b, std::min(end, b + piece), end - 1, bits.data() + (b - first));
    }
    std::vector<std::uint64_t> expected;
    if (first == 0) expected.push_back(1);  // offset 1 counts
    std::vector<std::uint64_t> primes;
    primesieve::generate_primes(30 * first, high, &primes);
    for (const std::uint64_t p : primes) {
        if (p > 5) expected.push_back(p);
    }
    // What the ring still holds at the end reads the same, a word at a time, across blocks.
    for (std::uint64_t b = std::max(first, sieve.heldFrom()); b + 8 <= end; b += 7) {
        std::uint64_t word;
        std::memcpy(&word, bits.data() + (b - first), 8);
        ASSERT_EQ(sieve.wordAt(b), word) << b;
    }
    std::vector<std::uint64_t> found = numbersOf(bits, first);
    while (!found.empty() && found.back() > high) found.pop_back();
    ASSERT_EQ(found.size(), expected.size()) << low << ".." << high;
    EXPECT_TRUE(found == expected) << low << ".." << high;
}

struct Case {
    std::uint64_t low, high;
    std::size_t blockBytes, piece;
    std::uint64_t stream, large;
};

// Tiers: small primes below 4096, medium ones up to 4 blocks, bucket primes up to
// `large`, large ones above; every row has small ones, and together they cover each
// tier with several block sizes.
TEST(StreamSieve, SamePrimesAsPrimesieve) {
    const Case cases[] = {
        // the start; small blocks: buckets from 4096 on, large from 5000, new streams
        {0, 3'000'000, 1 << 10, 3000, 30'000, 5000},
        {1'000'000'000'000, 1'000'003'000'000, 1 << 12, 7777, 1 << 20, 1 << 14},          // 10^12
        {2'000'000'000, 2'120'000'000, 1 << 18, 50'000, 1 << 23, 1 << 25},  // the survey's blocks: small and medium
        {10'000'000'000'000, 10'000'120'000'000, 1 << 19, 50'000, 1 << 23, 1 << 25},  // 512 KiB blocks, to buckets
        {5'000'000'000, 5'003'000'000, 1 << 10, 3000, 1 << 20, 1 << 16},    // bucket hits up to 13 blocks ahead
        {1'000'000'000'000'000, 1'000'000'000'600'000, 1 << 16, 5000, 1 << 20, 1 << 20},  // 10^15: every tier
    };
    for (const Case& c : cases) expectPrimesOf(c.low, c.high, c.blockBytes, c.piece, c.stream, c.large);
}

// Outside the reading contract: a read that jumps back behind the ring gets true bits
// (from a new stream), never stale ones; bytes not held are refused; so are block
// sizes that are no power of two from 8 to 8 MiB, before anything is sized by them.
TEST(StreamSieve, ReadsOutsideItsContract) {
    const WheelPattern pattern;
    constexpr std::uint64_t kPiece = 3000, kFirst = 5'000'000'000 / 30, kEnd = kFirst + 20 * kPiece;
    StreamSieve sieve(pattern, 1 << 10, kPiece, 1 << 20, 1 << 16);
    std::vector<std::uint8_t> bits(kPiece), behind(kPiece), fresh(kPiece);
    for (std::uint64_t b = kFirst; b < kEnd; b += kPiece) sieve.read(b, b + kPiece, kEnd - 1, bits.data());
    const std::uint64_t back = kFirst + 10 * kPiece;  // far behind the ring's 4 blocks
    EXPECT_THROW(sieve.copy(back, back + kPiece, behind.data()), std::out_of_range);
    EXPECT_THROW(sieve.copy(kEnd, kEnd + kPiece, behind.data()), std::out_of_range);  // not sieved yet
    sieve.read(back, back + kPiece, kEnd - 1, behind.data());
    StreamSieve(pattern, 1 << 10, kPiece, 1 << 20, 1 << 16).read(back, back + kPiece, kEnd - 1, fresh.data());
    EXPECT_TRUE(behind == fresh);
    for (const std::size_t blockBytes : {std::size_t{0}, std::size_t{4}, std::size_t{1000}, std::size_t{1} << 24}) {
        EXPECT_THROW(StreamSieve(pattern, blockBytes, kPiece, 1 << 20, 1 << 16), std::invalid_argument) << blockBytes;
    }
}

// Far up every stream starts with tens of millions of sieving primes: seconds each.
TEST(StreamSieveFull, SamePrimesAsPrimesieveFarUp) {
    const Case cases[] = {
        {1'000'000'000'000'000'000u, 1'000'000'000'000'300'000u, 1 << 16, 4096, 7000, 1 << 23},  // 10^18
        // the top, the first stream ending where the root is 2^32 - 1
        {18446744073709551615u - 400'000, 18446744073709551615u, 1 << 16, 2500, 7000, 1 << 23},
    };
    for (const Case& c : cases) expectPrimesOf(c.low, c.high, c.blockBytes, c.piece, c.stream, c.large);
}

}  // namespace
}  // namespace sharp::survey
