#include "survey/sieve/generated_bits.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

#include "survey/sieve/wheel30.hpp"

namespace sharp::survey {

namespace {

// Up to here the generator runs on from call to call of a run.
constexpr std::uint64_t kLongAimLimit = std::uint64_t{1} << 52;

// The largest prime below 2^64.
constexpr std::uint64_t kLargestPrime64 = 18446744073709551557u;

// The last number of byte b, 2^64 - 1 at most.
std::uint64_t lastNumberOf(std::uint64_t byte) {
    return byte >= byteOf(~std::uint64_t{0}) ? ~std::uint64_t{0} : 30 * byte + 29;
}

}  // namespace

void GeneratedBits::write(std::uint64_t from, std::uint64_t to, std::uint64_t horizon, bool goesOn, std::uint8_t* out) {
    const std::uint64_t first = goesOn ? lastTo_ : from;
    const std::uint64_t high = lastNumberOf(to - 1);
    std::memset(out + (first - from), 0, to - first);
    if (first == 0) out[0] |= 1;  // 1: an offset of 1 counts
    // A call that goes on takes the primes where the generator stopped; aiming it anew
    // costs a sieve up to the square root (a second near 2^64). Far up, though, the
    // generator's buffers grow with every refill past its aim (hundreds of MB by
    // 10^17), so there each call aims it afresh, at its own end.
    if (!goesOn || high > kLongAimLimit) {
        generator_.jump_to(30 * first, high > kLongAimLimit ? high : std::max(high, lastNumberOf(horizon)));
        pending_ = kNothingPending;
    }
    lastTo_ = to;
    try {
        placePrimes(from, high, out);
    } catch (const primesieve::primesieve_error&) {
        // The generator refuses to look past the largest 64-bit prime, where nothing
        // is left to find; anywhere else its failure is the survey's.
        pending_ = kNothingPending;
        if (high < kLargestPrime64) throw;
    }
}

// Sets the bit of every prime the generator gives up to `high` (bytes counted from
// `first`), keeping the rest for the next call.
void GeneratedBits::placePrimes(std::uint64_t first, std::uint64_t high, std::uint8_t* out) {
    for (;;) {
        std::size_t from = 0;
        if (pending_ != kNothingPending) {
            from = std::exchange(pending_, kNothingPending);
        } else {
            generator_.generate_next_primes();
        }
        const std::uint64_t* const primes = generator_.primes_;
        const std::size_t size = generator_.size_;
        // Only the last buffer reaches past `high`; its rest belongs to the next call.
        const bool last = primes[size - 1] > high;
        const std::size_t end =
            last ? static_cast<std::size_t>(std::upper_bound(primes + from, primes + size, high) - primes) : size;
        for (std::size_t i = from; i < end; ++i) {
            const std::uint64_t p = primes[i];
            if (p < 7) continue;  // 2, 3 and 5 are the layout's own
            out[p / 30 - first] |= static_cast<std::uint8_t>(1u << kBitOfResidue[p % 30]);
        }
        if (last) {
            pending_ = end;
            return;
        }
    }
}

}  // namespace sharp::survey
