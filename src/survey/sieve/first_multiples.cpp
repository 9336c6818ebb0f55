#include "survey/sieve/first_multiples.hpp"

#include <bit>
#include <cmath>
#include <cstring>

#include "survey/vector_paths.hpp"

namespace sharp::survey {

namespace {

// The largest number whose square root a stream needs: 2^32 - 1 covers 2^64 - 1.
constexpr std::uint64_t kLargestSievingPrime = 4294967291u;

}  // namespace

std::uint64_t sievingLimit(std::uint64_t byte) {
    if (byte >= byteOf(~std::uint64_t{0})) return kLargestSievingPrime;
    const std::uint64_t last = 30 * byte + 29;
    std::uint64_t root = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(last)));
    while (root * root > last) --root;
    while (root + 1 < (std::uint64_t{1} << 32) && (root + 1) * (root + 1) <= last) ++root;  // 2^32 squared wraps
    return root;
}

// Within 0.05 of the exact quotient, so off by one at most. The conversions and
// divisions go four at a time in a loop of their own; they go through 2^52, as the
// vector units convert no 64-bit integers and a floor would keep the loop scalar.
SHARP_WITH_VECTORS
void approximateQuotients(std::uint64_t x, const std::uint64_t* __restrict primes, std::size_t count,
                          std::uint64_t* __restrict out) {
    constexpr double kTwo52 = 4503599627370496.0;
    constexpr std::uint64_t kTwo52Bits = std::bit_cast<std::uint64_t>(kTwo52);
    const double dividend = static_cast<double>(x);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t pBits = primes[i] | kTwo52Bits;
        double p;
        std::memcpy(&p, &pBits, 8);
        const double q = dividend / (p - kTwo52) + kTwo52;  // p exact; adding 2^52 rounds q
        std::uint64_t qBits;
        std::memcpy(&qBits, &q, 8);
        out[i] = qBits - kTwo52Bits;
    }
}

}  // namespace sharp::survey
