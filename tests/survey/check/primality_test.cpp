#include "survey/check/primality.hpp"

#include <random>
#include <vector>

#include <gmp.h>

#include <gtest/gtest.h>
#include <primesieve.hpp>

namespace sharp::survey {
namespace {

// Every number of each range against the primes the prime generator lists there.
TEST(IsPrime64, AgreesWithThePrimeGenerator) {
    const std::pair<std::uint64_t, std::uint64_t> ranges[] = {
        {0, 200'000},
        {4294967296 - 50'000, 4294967296 + 50'000},
        {4'759'123'141 - 50'000, 4'759'123'141 + 50'000},          // where 2, 7, 61 stop sufficing
        {1'122'004'669'633 - 50'000, 1'122'004'669'633 + 50'000},  // where 2, 13, 23, 1662803 do
        {1'000'000'000'000'000'000u - 50'000, 1'000'000'000'000'000'000u + 50'000},
        {18446744073709551615u - 100'000, 18446744073709551615u}};
    for (const auto& [low, high] : ranges) {
        std::vector<std::uint64_t> primes;
        primesieve::generate_primes(low, high, &primes);
        std::size_t next = 0, wrong = 0;
        for (std::uint64_t n = low;; ++n) {
            const bool listed = next < primes.size() && primes[next] == n;
            next += listed;
            wrong += isPrime64(n) != listed;
            if (n == high) break;
        }
        EXPECT_EQ(wrong, 0u) << low;
    }
}

TEST(IsPrime64, StrongPseudoprimesAreComposite) {
    // Each passes the strong test to every prime base up to some bound (2, 3, 5 ... 23 for the last).
    for (const std::uint64_t n : {2047ull, 1373653ull, 25326001ull, 3215031751ull, 4759123141ull, 1122004669633ull,
                                  2152302898747ull, 3474749660383ull, 341550071728321ull, 3825123056546413051ull}) {
        EXPECT_FALSE(isPrime64(n)) << n;
    }
    // Products p (m (p - 1) + 1) that pass the strong test to base 2: the Lucas test must fail them.
    for (const std::uint64_t n : {2003444481781ull, 3001276135681ull, 4008986041147ull, 2000004547002584401ull,
                                  3000001780000264033ull, 4000003221000648427ull}) {
        EXPECT_FALSE(isPrime64(n)) << n;
    }
    EXPECT_TRUE(isPrime64(18446744073709551557u));  // the largest 64-bit prime
}

// GMP's number for n.
struct Big {
    mpz_t value;
    explicit Big(Uint128 n) {
        mpz_init_set_ui(value, static_cast<unsigned long>(n >> 64));
        mpz_mul_2exp(value, value, 64);
        mpz_add_ui(value, value, static_cast<unsigned long>(n));
    }
    ~Big() { mpz_clear(value); }
    Big(const Big&) = delete;
    Big& operator=(const Big&) = delete;
};

Uint128 fromBig(const mpz_t n) {
    mpz_t high;
    mpz_init(high);
    mpz_tdiv_q_2exp(high, n, 64);
    const Uint128 value = (static_cast<Uint128>(mpz_get_ui(high)) << 64) | mpz_getlimbn(n, 0);
    mpz_clear(high);
    return value;
}

// Whether n passes the strong test to base 2, by GMP's arithmetic.
bool strongToBase2(Uint128 n) {
    Big odd(n - 1), x(0), minusOne(n - 1), modulus(n), two(2);
    const mp_bitcnt_t shift = mpz_scan1(odd.value, 0);
    mpz_tdiv_q_2exp(odd.value, odd.value, shift);
    mpz_powm(x.value, two.value, odd.value, modulus.value);
    if (mpz_cmp_ui(x.value, 1) == 0 || mpz_cmp(x.value, minusOne.value) == 0) return true;
    for (mp_bitcnt_t i = 1; i < shift; ++i) {
        mpz_powm_ui(x.value, x.value, 2, modulus.value);
        if (mpz_cmp(x.value, minusOne.value) == 0) return true;
    }
    return false;
}

// Past 2^64 against GMP (its Baillie-PSW and 25 more rounds): random numbers of 65 to
// 128 bits and the primes after them (seed 20261210).
TEST(IsProbablePrime128, AgreesWithGmp) {
    std::mt19937_64 random(20261210);
    std::size_t primes = 0, wrong = 0;
    for (int i = 0; i < 20000; ++i) {
        const int bits = 65 + i % 64;
        Uint128 n = (static_cast<Uint128>(random()) << 64) | random();
        n = (n >> (128 - bits)) | (Uint128{1} << (bits - 1));
        Big big(n);
        if (i % 4 == 0) {  // the next prime too, where almost all the test's work is
            mpz_nextprime(big.value, big.value);
            if (mpz_sizeinbase(big.value, 2) > 128) continue;
            n = fromBig(big.value);
        }
        const bool prime = mpz_probab_prime_p(big.value, 25) != 0;
        primes += prime;
        wrong += isProbablePrime128(n) != prime;
        EXPECT_EQ(isProbablePrime128(n), prime) << decimal(n);
    }
    EXPECT_EQ(wrong, 0u);
    EXPECT_GT(primes, 5000u);
    EXPECT_TRUE(isProbablePrime128(~Uint128{0} - 158));  // the largest prime below 2^128
    EXPECT_FALSE(isProbablePrime128(~Uint128{0}));
}

// Hard composites past 2^64: Carmichael numbers (6k+1)(12k+1)(18k+1) with three prime
// factors, and among them those that are strong pseudoprimes to base 2, which only
// the Lucas test can refuse.
TEST(IsProbablePrime128, CarmichaelNumbersAndStrongPseudoprimesAreComposite) {
    std::size_t carmichael = 0, strong = 0;
    for (std::uint64_t k = 1; strong < 3 || carmichael < 200; ++k) {
        const Uint128 a = 6 * Uint128{k} + 1, b = 12 * Uint128{k} + 1, c = 18 * Uint128{k} + 1;
        const Uint128 n = a * b * c;
        if (n < kTwoTo64 || !isProbablePrime128(a) || !isProbablePrime128(b) || !isProbablePrime128(c)) continue;
        ++carmichael;
        strong += strongToBase2(n);
        EXPECT_FALSE(isProbablePrime128(n)) << decimal(n);
        ASSERT_LT(k, 100'000'000u) << "too few strong pseudoprimes found";
    }
    EXPECT_GE(strong, 3u);
}

}  // namespace
}  // namespace sharp::survey
