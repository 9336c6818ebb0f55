#include "survey/check/factor.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

#include "survey/check/montgomery.hpp"
#include "survey/check/primality.hpp"

namespace sharp::survey {

namespace {

// Trial division goes up to this bound; every factor found by rho lies above it.
constexpr std::uint32_t kTrialBound = 1 << 16;

// Steps of rho before a 128-bit number is given up: factors to about 2^46 are found,
// in well under a second.
constexpr std::uint64_t kRhoSteps = std::uint64_t{1} << 23;

// Differences multiplied together before one gcd: a gcd costs about a hundred products.
constexpr std::uint64_t kGcdBatch = 128;

// The primes up to kTrialBound.
const std::vector<std::uint32_t>& trialPrimes() {
    static const std::vector<std::uint32_t> primes = [] {
        std::vector<bool> composite(kTrialBound + 1);
        std::vector<std::uint32_t> found;
        for (std::uint32_t p = 2; p <= kTrialBound; ++p) {
            if (composite[p]) continue;
            found.push_back(p);
            for (std::uint32_t m = p * p; m <= kTrialBound; m += p) composite[m] = true;
        }
        return found;
    }();
    return primes;
}

int trailingZeros(std::uint64_t x) { return std::countr_zero(x); }
int trailingZeros(Uint128 x) {
    const auto low = static_cast<std::uint64_t>(x);
    return low != 0 ? std::countr_zero(low) : 64 + std::countr_zero(static_cast<std::uint64_t>(x >> 64));
}

// gcd(a, n) for odd n > 0, by Stein's binary method.
template <class Int>
Int gcdWithOdd(Int a, Int n) {
    if (a == 0) return n;
    a >>= trailingZeros(a);
    while (a != n) {
        if (a > n) std::swap(a, n);
        n -= a;
        n >>= trailingZeros(n);
    }
    return a;
}

// A factor of odd composite n other than 1 and n, by rho on x^2 + c in Montgomery form;
// nothing after `steps` steps.
template <class Mod, class Int>
std::optional<Int> rhoFactor(Int n, std::uint64_t steps) {
    const Mod mod(n);
    std::uint64_t taken = 0;
    for (std::uint64_t c = 1; taken < steps; ++c) {
        const Int shift = mod.toForm(Int{c});
        const auto next = [&](Int x) { return mod.add(mod.multiply(x, x), shift); };
        Int y = mod.toForm(Int{2}), x = y, saved = y, product = mod.one(), g = 1;
        for (std::uint64_t run = 1; g == 1 && taken < steps; run *= 2) {
            x = y;
            for (std::uint64_t i = 0; i < run; ++i) y = next(y);
            for (std::uint64_t k = 0; k < run && g == 1; k += kGcdBatch) {
                saved = y;
                for (std::uint64_t i = 0; i < std::min(kGcdBatch, run - k); ++i) {
                    y = next(y);
                    product = mod.multiply(product, x > y ? x - y : y - x);
                }
                g = gcdWithOdd(product, n);
                taken += kGcdBatch;
            }
        }
        // The batch overshot: its steps again, one gcd each.
        while (g == n) {
            saved = next(saved);
            g = gcdWithOdd(x > saved ? x - saved : saved - x, n);
        }
        if (g != 1 && g != n) return g;
    }
    return std::nullopt;
}

// The smallest prime factor of n, which has none up to kTrialBound.
std::optional<Uint128> smallestAboveTrialBound(Uint128 n) {
    if (n < Uint128{kTrialBound} * kTrialBound || isProbablePrime128(n)) return n;
    std::optional<Uint128> factor;
    if (n < kTwoTo64) {
        factor = rhoFactor<Montgomery>(static_cast<std::uint64_t>(n), ~std::uint64_t{0});
    } else {
        factor = rhoFactor<Montgomery128>(n, kRhoSteps);
    }
    if (!factor) return std::nullopt;
    const std::optional<Uint128> low = smallestAboveTrialBound(*factor);
    const std::optional<Uint128> high = smallestAboveTrialBound(n / *factor);
    if (!low || !high) return std::nullopt;
    return std::min(*low, *high);
}

}  // namespace

std::optional<Uint128> smallestPrimeFactor(Uint128 n) {
    for (const std::uint32_t p : trialPrimes()) {
        if (Uint128{p} * p > n) return n;
        if (n % p == 0) return p;
    }
    return smallestAboveTrialBound(n);
}

}  // namespace sharp::survey
