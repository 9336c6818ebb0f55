#include "survey/check/primality.hpp"

#include "survey/check/montgomery.hpp"

#include <array>
#include <bit>
#include <cmath>
#include <utility>

namespace sharp::survey {

namespace {

using Wide = Uint128;

// Smaller numbers need fewer bases (Jaeschke): below kSmallBound no composite passes
// 2, 7 and 61; below kMediumBound none passes 2, 13, 23 and 1662803. A prime offset
// ends every hit found one by one, so its proof is the test's most frequent full cost:
// above, the strong test to base 2 and the strong Lucas test (Baillie-PSW, which no
// composite below 2^64 passes) cost about three strong tests where seven bases cost seven.
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

struct WideTrialDivisor {
    Uint128 inverse, limit;  // n % prime == 0 exactly when n * inverse <= limit (mod 2^128)
};

constexpr auto kTrialPrimes = [] {
    std::array<std::uint64_t, kTrialPrimeCount> primes{};
    std::size_t count = 0;
    for (std::uint64_t p = 3; count < kTrialPrimeCount; p += 2) {
        bool prime = true;
        for (std::uint64_t q = 3; q * q <= p; q += 2) prime = prime && p % q != 0;
        if (prime) primes[count++] = p;
    }
    return primes;
}();

// The inverse of odd p modulo 2^bits of Int by Newton's iteration: each step doubles
// the correct low bits, from 3 (p is its own inverse modulo 8).
template <class Int>
constexpr Int inverseModuloWord(std::uint64_t p) {
    Int inverse = p;
    for (std::size_t bits = 3; bits < 8 * sizeof(Int); bits *= 2) inverse *= 2 - p * inverse;
    return inverse;
}

constexpr auto kWideTrialDivisors = [] {
    std::array<WideTrialDivisor, kTrialPrimeCount> divisors{};
    for (std::size_t i = 0; i < kTrialPrimeCount; ++i) {
        divisors[i] = {inverseModuloWord<Uint128>(kTrialPrimes[i]), ~Uint128{0} / kTrialPrimes[i]};
    }
    return divisors;
}();

constexpr auto kTrialDivisors = [] {
    std::array<TrialDivisor, kTrialPrimeCount> divisors{};
    for (std::size_t i = 0; i < kTrialPrimeCount; ++i) {
        const std::uint64_t p = kTrialPrimes[i];
        divisors[i] = {p, inverseModuloWord<std::uint64_t>(p), ~std::uint64_t{0} / p};
    }
    return divisors;
}();

// The strong probable-prime test of odd n > 47 to `base`, with n - 1 = d * 2^shift.
template <class Mod, class Int>
bool passesStrongTest(const Mod& mod, Int n, Int base, Int d, int shift) {
    if (base % n == 0) return true;
    Int x = mod.power(mod.toForm(base), d);
    if (x == mod.one() || x == mod.minusOne()) return true;
    for (int i = 1; i < shift; ++i) {
        x = mod.multiply(x, x);
        if (x == mod.minusOne()) return true;
    }
    return false;
}

// The Jacobi symbol (a / n) for odd n.
template <class Int>
int jacobi(std::int64_t a, Int n) {
    Int x = static_cast<Int>(static_cast<std::uint64_t>(a < 0 ? -a : a)) % n;
    int result = a < 0 && n % 4 == 3 ? -1 : 1;  // (-1 / n)
    while (x != 0) {
        for (; x % 2 == 0; x /= 2) {
            if (n % 8 == 3 || n % 8 == 5) result = -result;
        }
        std::swap(x, n);
        if (x % 4 == 3 && n % 4 == 3) result = -result;
        x %= n;
    }
    return n == 1 ? result : 0;
}

bool isSquare(std::uint64_t n) {
    std::uint64_t root = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(n)));
    while (root > 0 && (root > 0xffffffffu || root * root > n)) --root;
    while (root < 0xffffffffu && (root + 1) * (root + 1) <= n) ++root;
    return root * root == n;
}

bool isSquare(Uint128 n) {
    // From a floating estimate (good to 50 bits) by Newton's steps in integers.
    Uint128 root = static_cast<Uint128>(std::sqrt(static_cast<long double>(n)));
    constexpr Uint128 kLargestRoot = (Uint128{1} << 64) - 1;
    for (int step = 0; step < 4 && root != 0; ++step) root = (root + n / root) / 2;
    if (root > kLargestRoot) root = kLargestRoot;
    while (root * root > n) --root;
    while (root < kLargestRoot && (root + 1) * (root + 1) <= n) ++root;
    return root * root == n;
}

int bitLength(std::uint64_t n) { return 64 - std::countl_zero(n); }
int bitLength(Uint128 n) {
    const auto high = static_cast<std::uint64_t>(n >> 64);
    return high != 0 ? 128 - std::countl_zero(high) : bitLength(static_cast<std::uint64_t>(n));
}

// The strong Lucas probable-prime test of odd n > 257^2 with no factor below 257,
// Selfridge's parameters: the first D of 5, -7, 9, -11, ... with (D / n) = -1, P = 1,
// Q = (1 - D) / 4. With n + 1 = d 2^s, n passes when U_d = 0 or V_(d 2^r) = 0 for some r < s.
// U_d = 0 is read from V: D U_k = 2 V_(k+1) - P V_k, and D is prime to n.
template <class Mod, class Int>
bool passesStrongLucasTest(const Mod& mod, Int n) {
    if (isSquare(n)) return false;  // no D would be found
    std::int64_t d = 5;
    for (;; d = d > 0 ? -(d + 2) : -d + 2) {
        const int symbol = jacobi(d, n);
        if (symbol == -1) break;
        if (symbol == 0) return false;  // |d| < n shares a factor with n
    }
    const Int qForm = mod.toForm(static_cast<std::int64_t>((1 - d) / 4));
    Int odd = n + 1;  // n < 2^64 - 1 (or 2^128 - 1): both are multiples of 3
    int shift = 0;
    for (; odd % 2 == 0; odd /= 2) ++shift;
    // V_k, V_(k+1), Q^k and Q^(k+1), from k = 0 bit by bit to k = odd: k -> 2k or
    // 2k + 1 with V_2k = V_k^2 - 2 Q^k and V_(2k+1) = V_k V_(k+1) - Q^k. The four
    // products of a step do not wait for each other, and the bit picks among them
    // without a branch: the steps take half the time of U and V kept together.
    Int v = mod.add(mod.one(), mod.one()), vNext = mod.one(), qk = mod.one(), qkNext = qForm;
    for (int bit = bitLength(odd) - 1; bit >= 0; --bit) {
        const bool set = (odd >> bit) & 1;
        const Int cross = mod.subtract(mod.multiply(v, vNext), qk);  // V_(2k+1)
        const Int qCross = mod.multiply(qk, qkNext);                // Q^(2k+1)
        const Int base = set ? vNext : v, baseQ = set ? qkNext : qk;
        const Int square = mod.subtract(mod.multiply(base, base), mod.add(baseQ, baseQ));  // V_2k or V_(2k+2)
        const Int qSquare = mod.multiply(baseQ, baseQ);                                    // Q^2k or Q^(2k+2)
        v = set ? cross : square;
        vNext = set ? square : cross;
        qk = set ? qCross : qSquare;
        qkNext = set ? qSquare : qCross;
    }
    if (mod.add(vNext, vNext) == v || v == 0) return true;  // U_d = 0, or V_d = 0
    for (int r = 1; r < shift; ++r) {
        v = mod.subtract(mod.multiply(v, v), mod.add(qk, qk));
        if (v == 0) return true;
        qk = mod.multiply(qk, qk);
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
            if (!passesStrongTest<Montgomery, std::uint64_t>(mod, n, base, d, shift)) return false;
        }
        return true;
    };
    if (n < kSmallBound) return passesAll(kSmallBases);
    if (n < kMediumBound) return passesAll(kMediumBases);
    return passesStrongTest<Montgomery, std::uint64_t>(mod, n, 2, d, shift) && passesStrongLucasTest(mod, n);
}

bool isProbablePrime128(Uint128 n) {
    if (n < kTwoTo64) return isPrime64(static_cast<std::uint64_t>(n));
    if (n % 2 == 0) return false;
    for (const WideTrialDivisor& divisor : kWideTrialDivisors) {
        if (n * divisor.inverse <= divisor.limit) return false;
    }
    return passesBailliePsw128(n);
}

bool passesBailliePsw128(Uint128 n) {
    if (n < kTwoTo64) return isPrime64(static_cast<std::uint64_t>(n));
    Uint128 d = n - 1;
    int shift = 0;
    for (; d % 2 == 0; d /= 2) ++shift;
    const Montgomery128 mod(n);
    return passesStrongTest<Montgomery128, Uint128>(mod, n, 2, d, shift) && passesStrongLucasTest(mod, n);
}

}  // namespace sharp::survey
