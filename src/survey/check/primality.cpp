#include "survey/check/primality.hpp"

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

// Arithmetic modulo an odd n in Montgomery form (x stands for x * 2^64 mod n): a
// product needs two multiplications instead of a 128-bit division.
class Montgomery {
public:
    explicit Montgomery(std::uint64_t n) : n_(n), inverse_(inverseOf(n)) {
        one_ = (0 - n) % n;  // 2^64 mod n
        rSquared_ = static_cast<std::uint64_t>(static_cast<Wide>(one_) * one_ % n);
    }
    std::uint64_t toForm(std::uint64_t x) const { return multiply(x % n_, rSquared_); }
    // The form of a small signed number.
    std::uint64_t toForm(std::int64_t x) const {
        const std::uint64_t magnitude = toForm(static_cast<std::uint64_t>(x < 0 ? -x : x));
        return x < 0 && magnitude != 0 ? n_ - magnitude : magnitude;
    }
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

    std::uint64_t add(std::uint64_t x, std::uint64_t y) const {
        const std::uint64_t sum = x + y;  // may wrap: then it is sum - 2^64, and n - ... below restores it
        return sum < x || sum >= n_ ? sum - n_ : sum;
    }
    std::uint64_t subtract(std::uint64_t x, std::uint64_t y) const { return x >= y ? x - y : x - y + n_; }
    // x / 2 mod n: (x + n) / 2 for odd x, without passing 2^64.
    std::uint64_t half(std::uint64_t x) const { return x % 2 == 0 ? x / 2 : (x >> 1) + (n_ >> 1) + 1; }

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

// n^-1 mod 2^128 by Newton's iteration: each step doubles the correct low bits.
Uint128 inverseOf128(Uint128 n) {
    Uint128 inverse = n;
    for (int step = 0; step < 7; ++step) inverse *= 2 - n * inverse;
    return inverse;
}

// Arithmetic modulo an odd n below 2^128 in Montgomery form (x stands for x * 2^128
// mod n), the 64-bit class's twin: a product is four 64-bit products and a reduction.
class Montgomery128 {
public:
    explicit Montgomery128(Uint128 n) : n_(n), inverse_(inverseOf128(n)) {
        one_ = (0 - n) % n;  // 2^128 mod n, the form of 1
        // The form of 2^128 (2^256 mod n): the form of 2^8 by doubling, then squared four times.
        rSquared_ = one_;
        for (int i = 0; i < 8; ++i) rSquared_ = add(rSquared_, rSquared_);
        for (int i = 0; i < 4; ++i) rSquared_ = multiply(rSquared_, rSquared_);
    }
    Uint128 toForm(Uint128 x) const { return multiply(x % n_, rSquared_); }
    Uint128 toForm(std::int64_t x) const {
        const Uint128 magnitude = toForm(static_cast<Uint128>(x < 0 ? -static_cast<Uint128>(x) : static_cast<Uint128>(x)));
        return x < 0 && magnitude != 0 ? n_ - magnitude : magnitude;
    }
    Uint128 one() const { return one_; }
    Uint128 minusOne() const { return n_ - one_; }

    // x * y / 2^128 mod n, for x, y below n.
    Uint128 multiply(Uint128 x, Uint128 y) const {
        Uint128 high, low;
        fullProduct(x, y, high, low);
        const Uint128 m = low * inverse_;  // product - m n is a multiple of 2^128
        Uint128 mnHigh, mnLow;
        fullProduct(m, n_, mnHigh, mnLow);
        // (product - m n) / 2^128 = high - mnHigh, the low halves being equal.
        return high >= mnHigh ? high - mnHigh : high - mnHigh + n_;
    }
    Uint128 add(Uint128 x, Uint128 y) const {
        const Uint128 sum = x + y;  // may wrap: then it is sum - 2^128, and - n restores it
        return sum < x || sum >= n_ ? sum - n_ : sum;
    }
    Uint128 subtract(Uint128 x, Uint128 y) const { return x >= y ? x - y : x - y + n_; }
    Uint128 half(Uint128 x) const { return x % 2 == 0 ? x / 2 : (x >> 1) + (n_ >> 1) + 1; }
    Uint128 power(Uint128 base, Uint128 exponent) const {
        Uint128 result = one_;
        for (; exponent != 0; exponent >>= 1) {
            if (exponent & 1) result = multiply(result, base);
            base = multiply(base, base);
        }
        return result;
    }

private:
    // x * y as 256 bits, high and low halves.
    static void fullProduct(Uint128 x, Uint128 y, Uint128& high, Uint128& low) {
        const std::uint64_t x0 = static_cast<std::uint64_t>(x), x1 = static_cast<std::uint64_t>(x >> 64);
        const std::uint64_t y0 = static_cast<std::uint64_t>(y), y1 = static_cast<std::uint64_t>(y >> 64);
        const Uint128 p00 = static_cast<Uint128>(x0) * y0, p01 = static_cast<Uint128>(x0) * y1;
        const Uint128 p10 = static_cast<Uint128>(x1) * y0, p11 = static_cast<Uint128>(x1) * y1;
        const Uint128 middle = (p00 >> 64) + static_cast<std::uint64_t>(p01) + static_cast<std::uint64_t>(p10);
        low = (middle << 64) | static_cast<std::uint64_t>(p00);
        high = p11 + (p01 >> 64) + (p10 >> 64) + (middle >> 64);
    }

    Uint128 n_, inverse_, one_ = 0, rSquared_ = 0;
};

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
