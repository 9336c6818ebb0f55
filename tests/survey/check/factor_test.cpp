#include "survey/check/factor.hpp"

#include <random>

#include <gmp.h>
#include <gtest/gtest.h>

namespace sharp::survey {
namespace {

// The first prime from n on, by GMP.
Uint128 nextPrime(Uint128 n) {
    mpz_t value;
    mpz_init_set_ui(value, static_cast<unsigned long>(n >> 64));
    mpz_mul_2exp(value, value, 64);
    mpz_add_ui(value, value, static_cast<unsigned long>(n));
    mpz_sub_ui(value, value, 1);
    mpz_nextprime(value, value);
    mpz_t high;
    mpz_init(high);
    mpz_tdiv_q_2exp(high, value, 64);
    const Uint128 prime = (static_cast<Uint128>(mpz_get_ui(high)) << 64) | mpz_getlimbn(value, 0);
    mpz_clear(high);
    mpz_clear(value);
    return prime;
}

TEST(SmallestPrimeFactor, KnownNumbers) {
    const std::pair<Uint128, Uint128> cases[] = {
        {2, 2}, {9, 3}, {65537, 65537}, {65537ull * 65537, 65537}, {18446744073709551615u, 3},
        {18446744073709551557u, 18446744073709551557u}, {4294967291ull * 4294967279ull, 4294967279ull},
        {kTwoTo64 + 1, 274177},
    };
    for (const auto& [n, factor] : cases) EXPECT_EQ(smallestPrimeFactor(n), factor) << decimal(n);
}

// Products of two primes by GMP, the smaller from 2^17 to 2^40: below 2^64 and past it.
TEST(SmallestPrimeFactor, ProductsOfTwoPrimes) {
    const unsigned seed = 37;
    std::mt19937_64 random(seed);
    for (int i = 0; i < 40; ++i) {
        const int smallBits = 17 + static_cast<int>(random() % 24), largeBits = smallBits + static_cast<int>(random() % 48);
        const Uint128 p = nextPrime((Uint128{1} << (smallBits - 1)) + random() % (Uint128{1} << (smallBits - 1)));
        const Uint128 q = nextPrime(p + (random() % (Uint128{1} << std::min(largeBits, 63))));
        EXPECT_EQ(smallestPrimeFactor(p * q), p) << "seed " << seed << ": " << decimal(p) << " * " << decimal(q);
    }
}

}  // namespace
}  // namespace sharp::survey
