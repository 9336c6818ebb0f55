// Tables of the user's: whole surveys against a literal reading of the rules, one
// candidate at a time, with primes from primesieve: small tables toss often, so a
// false hit of the filter's moves shows in the counts.
#include <algorithm>
#include <vector>

#include <gtest/gtest.h>
#include <primesieve.hpp>

#include "survey/check/sharp_set.hpp"
#include "survey/ledger/checkpoints.hpp"
#include "survey/parallel/run_survey.hpp"

namespace sharp::survey {
namespace {

constexpr std::uint64_t kTop = ~std::uint64_t{0};

// Primes in a window below `to` and up to `low`, looked up; every other number is refused.
class LiteralPrimes {
public:
    LiteralPrimes(std::uint64_t low, std::uint64_t from, std::uint64_t to) : low_(low), from_(from) {
        primesieve::generate_primes(low, &small_);
        primesieve::generate_primes(from, to, &near_);
    }
    bool operator()(std::uint64_t n) const {
        if (n <= low_) return std::binary_search(small_.begin(), small_.end(), n);
        EXPECT_GE(n, from_) << "no prime table for " << n;
        return std::binary_search(near_.begin(), near_.end(), n);
    }

private:
    std::uint64_t low_, from_;
    std::vector<std::uint64_t> small_, near_;
};

// The rules as written: a candidate is 23 to 47 if prime, else odd with no prime factor
// up to 47; it is a hit when some sharp number lies 1 or a prime below c away from it.
bool literalCandidate(std::uint64_t c) {
    if (c < 23 || c % 2 == 0) return false;
    for (std::uint64_t p = 3; p <= 47; p += 2) {
        if (c % p == 0) return c == p && p >= 23;
    }
    return true;
}

struct Case {
    std::vector<std::uint64_t> sharps;  // ascending
    std::uint64_t from, to;
    std::uint64_t smallPrimesTo, nearPrimesFrom;  // the offsets lie below the one or above the other
};

TEST(OwnSharpTable, SurveysAsTheRulesRead) {
    const Case cases[] = {
        {{2, 6, 30, 210, 2310}, 0, 3'000'000, 3'000'000, 0},
        {{2, 6, 30, 210, 2310}, 1'000'000'000'000, 1'000'003'000'000, 100, 1'000'000'000'000 - 2310},
        // no multiples of 30 among the small ones, offsets 3 and 5 (29 - 26, 37 - 32),
        // the filter's last ones near 2^20 and the word check's beyond
        {{4, 8, 12, 16, 24, 26, 32, 36, 48, 96, 1'048'574, 1'048'578, 4'194'310, 16'777'222}, 0, 5'000'000, 17'000'000, 0},
        // a sharp number near 2^64
        {{2, 6, 30, kTop - 1}, kTop - 2'000'000, kTop, 2'000'000, kTop - 2'000'030},
    };
    for (const Case& c : cases) {
        const SharpSet sharps(c.sharps);
        const LiteralPrimes isPrime(c.smallPrimesTo, c.nearPrimesFrom, c.to);
        ClassCounts expected;
        std::vector<TossedCandidate> expectedTossed;
        for (std::uint64_t n = std::max<std::uint64_t>(c.from, 23); n <= c.to && n != 0; ++n) {
            if (!literalCandidate(n)) continue;
            bool hit = false;
            for (const std::uint64_t s : c.sharps) {
                const std::uint64_t d = s < n ? n - s : s - n;
                hit = hit || (d < n && (d == 1 || isPrime(d)));
            }
            const bool prime = isPrime(n);
            ++expected.candidates;
            expected.hits += hit;
            expected.truePrimes += hit && prime;
            expected.falsePrimes += hit && !prime;
            expected.tossedPrimes += !hit && prime;
            expected.tossedComposites += !hit && !prime;
            if (!hit) expectedTossed.push_back({n, prime});
            if (n == kTop) break;
        }
        SurveyPlan plan = planSurvey(c.from, c.to, 2);
        plan.sharps = &sharps;
        plan.segmentOdds = std::uint64_t{1} << 16;
        std::vector<TossedCandidate> tossed;
        ClassCounts counts;
        for (const ClassCounts& bucket : runSurvey(plan, [&](const SegmentReport& report) {
                 tossed.insert(tossed.end(), report.tossed.begin(), report.tossed.end());
             })) {
            counts += bucket;
        }
        EXPECT_EQ(counts, expected) << c.from << ": " << counts.tossedPrimes << " tossed primes, expected "
                                    << expected.tossedPrimes << ", " << counts.hits << " hits, expected " << expected.hits;
        EXPECT_TRUE(tossed == expectedTossed) << c.from << ": " << tossed.size() << " tossed, expected "
                                              << expectedTossed.size();
        EXPECT_GT(expected.tossedPrimes + expected.tossedComposites, 0u) << c.from;
    }
}

}  // namespace
}  // namespace sharp::survey
