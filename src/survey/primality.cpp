#include "survey/primality.hpp"

#include <array>

namespace sharp::survey {

namespace {

__extension__ typedef unsigned __int128 Wide;

// The bases for which every composite below 2^64 fails the strong test (Sinclair).
constexpr std::array<std::uint64_t, 7> kWitnessBases = {2, 325, 9375, 28178, 450775, 9780504, 1795265022};

// Primes tried by division first: they settle most composites and every small n.
constexpr std::array<std::uint64_t, 15> kSmallPrimes = {2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37, 41, 43, 47};

// Arithmetic modulo an odd n in Montgomery form (x stands for x * 2^64 mod n): a
// product needs two multiplications instead of a 128-bit division.
class Montgomery {
public:
    explicit Montgomery(std::uint64_t n) : n_(n), inverse_(inverseOf(n)) {
        one_ = (0 - n) % n;  // 2^64 mod n
        rSquared_ = static_cast<std::uint64_t>(static_cast<Wide>(one_) * one_ % n);
    }
    std::uint64_t toForm(std::uint64_t x) const { return multiply(x % n_, rSquared_); }
    std::uint64_t one() const { return one_; }
    std::uint64_t minusOne() const { return n_ - one_; }

    // x * y / 2^64 mod n, for x, y below n.
    std::uint64_t multiply(std::uint64_t x, std::uint64_t y) const {
        const Wide product = static_cast<Wide>(x) * y;
        const std::uint64_t low = static_cast<std::uint64_t>(product);
        const std::uint64_t high = static_cast<std::uint64_t>(product >> 64);
        const std::uint64_t m = low * inverse_;  // product - m n is a multiple of 2^64
        const std::uint64_t mn = static_cast<std::uint64_t>((static_cast<Wide>(m) * n_) >> 64);
        return high >= mn ? high - mn : high - mn + n_;
    }

    std::uint64_t power(std::uint64_t base, std::uint64_t exponent) const {
        std::uint64_t result = one_;
        for (; exponent != 0; exponent >>= 1) {
            if (exponent & 1) result = multiply(result, base);
            base = multiply(base, base);
        }
        return result;
    }

private:
    // n^-1 mod 2^64 by Newton's iteration: each step doubles the correct low bits.
    static std::uint64_t inverseOf(std::uint64_t n) {
        std::uint64_t inverse = n;
        for (int step = 0; step < 5; ++step) inverse *= 2 - n * inverse;
        return inverse;
    }

    std::uint64_t n_, inverse_, one_ = 0, rSquared_ = 0;
};

// The strong probable-prime test of odd n > 47 to `base`, with n - 1 = d * 2^shift.
bool passesStrongTest(const Montgomery& mod, std::uint64_t n, std::uint64_t base, std::uint64_t d, int shift) {
    if (base % n == 0) return true;
    std::uint64_t x = mod.power(mod.toForm(base), d);
    if (x == mod.one() || x == mod.minusOne()) return true;
    for (int i = 1; i < shift; ++i) {
        x = mod.multiply(x, x);
        if (x == mod.minusOne()) return true;
    }
    return false;
}

}  // namespace

bool isPrime64(std::uint64_t n) {
    for (const std::uint64_t p : kSmallPrimes) {
        if (n % p == 0) return n == p;
    }
    if (n < 2) return false;
    if (n < 53 * 53) return true;
    std::uint64_t d = n - 1;
    int shift = 0;
    for (; d % 2 == 0; d /= 2) ++shift;
    const Montgomery mod(n);
    for (const std::uint64_t base : kWitnessBases) {
        if (!passesStrongTest(mod, n, base, d, shift)) return false;
    }
    return true;
}

}  // namespace sharp::survey
