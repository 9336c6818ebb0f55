#include "survey/sieve/prime_bits.hpp"

#include <algorithm>
#include <utility>

namespace sharp::survey {

namespace {

// Up to here a worker's prime generator runs on from segment to segment of a run.
constexpr std::uint64_t kLongAimLimit = std::uint64_t{1} << 52;

// The largest prime below 2^64.
constexpr std::uint64_t kLargestPrime64 = 18446744073709551557u;

}  // namespace

PrimeBits::PrimeBits(std::size_t windowWords, std::size_t segmentWords)
    : windowWords_(windowWords), bits_(windowWords + segmentWords + 1) {}

void PrimeBits::sieve(std::uint64_t first, std::uint64_t end, std::uint64_t runEnd) {
    const bool followsLast = first == end_ && end_ - first_ == windowWords_;
    first_ = first;
    end_ = end;
    base_ = static_cast<std::int64_t>(first) - static_cast<std::int64_t>(windowWords_);
    const std::size_t used = windowWords_ + (end - first);
    std::uint64_t* const bits = bits_.data();
    std::uint64_t lowWord = base_ < 0 ? 0 : static_cast<std::uint64_t>(base_);
    if (followsLast) {
        // The segment just sieved, a full one, is this one's window: only the segment is new.
        std::copy(bits + windowWords_, bits + 2 * windowWords_, bits);
        std::fill(bits + windowWords_, bits + used + 1, 0);
        lowWord = first;
    } else {
        std::fill(bits, bits + used + 1, 0);
    }
    const std::uint64_t low = 128 * lowWord;
    const std::uint64_t high = 128 * (end - 1) + 127;  // the last odd number of the last word
    const std::uint64_t origin = 64 * (first - windowWords_);  // bit index of bits_[0], mod 2^64
    if (low == 0) bits[(0 - origin) / 64] |= std::uint64_t{1} << ((0 - origin) % 64);  // 1: offset 1 counts
    // A segment that follows its predecessor takes the primes where the generator
    // stopped; aiming it anew costs a sieve up to the square root (a second near 2^64).
    // Far up, though, the generator's buffers grow with every refill past its aim
    // (hundreds of MB by 10^17), so there each segment aims it afresh, at its own end.
    if (!followsLast || high > kLongAimLimit) {
        generator_.jump_to(low, high > kLongAimLimit ? high : std::max(high, 128 * (runEnd - 1) + 127));
        pending_ = kNothingPending;
    }
    try {
        placePrimes(high, origin);
    } catch (const primesieve::primesieve_error&) {
        // The generator refuses to look past the largest 64-bit prime, where nothing
        // is left to find; anywhere else its failure is the survey's.
        pending_ = kNothingPending;
        if (high < kLargestPrime64) throw;
    }
}

// Sets the bit of every prime the generator gives up to `high`, keeping the rest for
// the next segment; bit b of the bitmap stands for the odd number 2 (origin + b) + 1.
void PrimeBits::placePrimes(std::uint64_t high, std::uint64_t origin) {
    std::uint64_t* const bits = bits_.data();
    for (;;) {
        std::size_t from = 0;
        if (pending_ != kNothingPending) {
            from = std::exchange(pending_, kNothingPending);
        } else {
            generator_.generate_next_primes();
        }
        const std::uint64_t* const primes = generator_.primes_;
        const std::size_t size = generator_.size_;
        // Only the last buffer reaches past `high`; its rest belongs to the next segment.
        const bool last = primes[size - 1] > high;
        const std::size_t end =
            last ? static_cast<std::size_t>(std::upper_bound(primes + from, primes + size, high) - primes) : size;
        if (from < end && primes[from] == 2) ++from;  // the bitmap holds odd numbers only
        for (std::size_t i = from; i < end; ++i) {
            const std::uint64_t bit = (primes[i] >> 1) - origin;
            bits[bit / 64] |= std::uint64_t{1} << (bit % 64);
        }
        if (last) {
            pending_ = end;
            return;
        }
    }
}

}  // namespace sharp::survey
