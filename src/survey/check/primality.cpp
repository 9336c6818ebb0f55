#include "survey/check/primality.hpp"

#include <array>
#include <bit>
#include <cmath>
#include <utility>

namespace sharp::survey {

namespace {

__extension__ typedef unsigned __int128 Wide;

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

// The Jacobi symbol (a / n) for odd n.
int jacobi(std::int64_t a, std::uint64_t n) {
    std::uint64_t x = static_cast<std::uint64_t>(a < 0 ? -a : a) % n;
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

// The strong Lucas probable-prime test of odd n > 257^2 with no factor below 257,
// Selfridge's parameters: the first D of 5, -7, 9, -11, ... with (D / n) = -1, P = 1,
// Q = (1 - D) / 4. With n + 1 = d 2^s, n passes when U_d = 0 or V_(d 2^r) = 0 for some r < s.
// U_d = 0 is read from V: D U_k = 2 V_(k+1) - P V_k, and D is prime to n.
bool passesStrongLucasTest(const Montgomery& mod, std::uint64_t n) {
    if (isSquare(n)) return false;  // no D would be found
    std::int64_t d = 5;
    for (;; d = d > 0 ? -(d + 2) : -d + 2) {
        const int symbol = jacobi(d, n);
        if (symbol == -1) break;
        if (symbol == 0) return false;  // |d| < n shares a factor with n
    }
    const std::uint64_t qForm = mod.toForm((1 - d) / 4);
    std::uint64_t odd = n + 1;  // n < 2^64 - 1: 2^64 - 1 is a multiple of 3
    int shift = 0;
    for (; odd % 2 == 0; odd /= 2) ++shift;
    // V_k, V_(k+1), Q^k and Q^(k+1), from k = 0 bit by bit to k = odd: k -> 2k or
    // 2k + 1 with V_2k = V_k^2 - 2 Q^k and V_(2k+1) = V_k V_(k+1) - Q^k. The four
    // products of a step do not wait for each other, and the bit picks among them
    // without a branch: the steps take half the time of U and V kept together.
    std::uint64_t v = mod.add(mod.one(), mod.one()), vNext = mod.one(), qk = mod.one(), qkNext = qForm;
    for (int bit = 63 - std::countl_zero(odd); bit >= 0; --bit) {
        const bool set = (odd >> bit) & 1;
        const std::uint64_t cross = mod.subtract(mod.multiply(v, vNext), qk);  // V_(2k+1)
        const std::uint64_t qCross = mod.multiply(qk, qkNext);                // Q^(2k+1)
        const std::uint64_t base = set ? vNext : v, baseQ = set ? qkNext : qk;
        const std::uint64_t square = mod.subtract(mod.multiply(base, base), mod.add(baseQ, baseQ));  // V_2k or V_(2k+2)
        const std::uint64_t qSquare = mod.multiply(baseQ, baseQ);                                    // Q^2k or Q^(2k+2)
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
            if (!passesStrongTest(mod, n, base, d, shift)) return false;
        }
        return true;
    };
    if (n < kSmallBound) return passesAll(kSmallBases);
    if (n < kMediumBound) return passesAll(kMediumBases);
    return passesStrongTest(mod, n, 2, d, shift) && passesStrongLucasTest(mod, n);
}

}  // namespace sharp::survey
