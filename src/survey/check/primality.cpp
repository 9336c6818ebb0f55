#include "survey/check/primality.hpp"

#include <array>

namespace sharp::survey {

namespace {

__extension__ typedef unsigned __int128 Wide;

// The bases for which every composite below 2^64 fails the strong test (Sinclair).
constexpr std::array<std::uint64_t, 7> kWitnessBases = {2, 325, 9375, 28178, 450775, 9780504, 1795265022};

// Smaller numbers need fewer bases (Jaeschke): below kSmallBound no composite passes
// 2, 7 and 61; below kMediumBound none passes 2, 13, 23 and 1662803. A prime offset
// ends every hit found one by one, so its proof is the test's most frequent full cost.
constexpr std::uint64_t kSmallBound = 4'759'123'141;
constexpr std::array<std::uint64_t, 3> kSmallBases = {2, 7, 61};
constexpr std::uint64_t kMediumBound = 1'122'004'669'633;
constexpr std::array<std::uint64_t, 4> kMediumBases = {2, 13, 23, 1662803};

// The odd primes below 256, tried before the strong test: they settle most composites
// at a multiplication each, where the strong test takes a hundred.
constexpr std::size_t kTrialPrimeCount = 53;

struct TrialDivisor {
    std::uint64_t prime, inverse, limit;  // n % prime == 0 exactly when n * inverse <= limit (mod 2^64)
};

constexpr auto kTrialDivisors = [] {
    std::array<TrialDivisor, kTrialPrimeCount> divisors{};
    std::size_t count = 0;
    for (std::uint64_t p = 3; count < kTrialPrimeCount; p += 2) {
        bool prime = true;
        for (std::uint64_t q = 3; q * q <= p; q += 2) prime = prime && p % q != 0;
        if (!prime) continue;
        std::uint64_t inverse = p;  // Newton's iteration: each step doubles the correct low bits
        for (int step = 0; step < 5; ++step) inverse *= 2 - p * inverse;
        divisors[count++] = {p, inverse, ~std::uint64_t{0} / p};
    }
    return divisors;
}();

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
    if (n % 2 == 0) return n == 2;
    for (const TrialDivisor& divisor : kTrialDivisors) {
        if (n * divisor.inverse <= divisor.limit) return n == divisor.prime;
    }
    if (n < 2) return false;
    if (n < 257 * 257) return true;  // no prime factor below 257: prime
    std::uint64_t d = n - 1;
    int shift = 0;
    for (; d % 2 == 0; d /= 2) ++shift;
    const Montgomery mod(n);
    const auto passesAll = [&](const auto& bases) {
        for (const std::uint64_t base : bases) {
            if (!passesStrongTest(mod, n, base, d, shift)) return false;
        }
        return true;
    };
    if (n < kSmallBound) return passesAll(kSmallBases);
    if (n < kMediumBound) return passesAll(kMediumBases);
    return passesAll(kWitnessBases);
}

}  // namespace sharp::survey
