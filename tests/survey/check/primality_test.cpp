#include "survey/check/primality.hpp"

#include <vector>

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

}  // namespace
}  // namespace sharp::survey
