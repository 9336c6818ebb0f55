// The model of chance checked against itself: a world of random primes drawn by its
// own rules, counted with the survey's own test, and the cases it can be solved in.
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "survey/check/sharp_check.hpp"
#include "survey/model/tossed_model.hpp"
#include "survey/ledger/checkpoints.hpp"

namespace sharp::survey {
namespace {

constexpr std::uint32_t kBound = 100;
// A world where numbers are prime at random knows nothing of the primes above B.
const ModelSettings kSettings{kBound, 1 << 14, 0.2, 20261209, false};

double wOf(std::uint32_t bound) {
    double w = 1;
    for (std::uint32_t q = 2; q <= bound; ++q) {
        bool prime = true;
        for (std::uint32_t p = 2; p * p <= q; ++p) prime = prime && q % p != 0;
        if (prime) w *= static_cast<double>(q) / (q - 1);
    }
    return w;
}

// Simpson's rule over ln x with many steps: the integral of f(x) dx from a to b.
template <class F>
double integral(double a, double b, F f) {
    const int steps = 20000;
    const double ta = std::log(a), h = (std::log(b) - ta) / steps;
    double sum = 0;
    for (int i = 0; i <= steps; ++i) {
        const double t = ta + i * h, x = std::exp(t);
        sum += (i == 0 || i == steps ? 1 : i % 2 ? 4 : 2) * f(x) * x;
    }
    return sum * h / 3;
}

// Numbers with no prime factor up to kBound are prime with chance W / ln n; the
// survey's test counts the tossed candidates of that world. Where B is below the
// cube root of every number (from 10^6 on), the model's rules are exactly these.
TEST(TossedModel, AgreesWithAWorldOfRandomPrimesDrawnByItsRules) {
    const std::vector<std::uint64_t> sharps = {30, 210, 2310};
    const std::uint64_t from = 1'100'000, to = 3'100'000;
    const double w = wOf(kBound);
    std::mt19937_64 random(7);
    std::vector<bool> prime(to + 1);
    for (std::uint64_t n = from - sharps.back(); n <= to; ++n) {
        bool rough = n % 2 != 0;
        for (std::uint64_t q = 3; q <= kBound && rough; q += 2) rough = n % q != 0;
        prime[n] = rough && std::ldexp(static_cast<double>(random() >> 11), -53) < w / std::log(static_cast<double>(n));
    }
    double tossedPrimes = 0, tossedComposites = 0;
    for (std::uint64_t c = from; c <= to; ++c) {
        if (!isCandidate(c) || hasSharpOffset(c, [&](std::uint64_t d) { return prime[d]; }, 0, sharps)) continue;
        (prime[c] ? tossedPrimes : tossedComposites) += 1;
    }
    const ExpectedTossed expected = expectTossed(from, {to}, sharps, kSettings).back();
    EXPECT_NEAR(tossedPrimes, expected.primes, 4 * (std::sqrt(expected.primes) + expected.primesError));
    EXPECT_NEAR(tossedComposites, expected.composites,
                4 * (std::sqrt(expected.composites) + expected.compositesError));
    EXPECT_GT(tossedPrimes, 1000);  // a check with teeth
}

TEST(TossedModel, CasesWithAnExactAnswer) {
    const double from = 1e6, to = 1e8, w = wOf(kBound);
    // No sharp number: every candidate is tossed.
    const ExpectedTossed none = expectTossed(1'000'000, {100'000'000}, {}, kSettings).back();
    EXPECT_NEAR(none.primes, integral(from, to, [](double x) { return 1 / std::log(x); }), 1e-4 * none.primes);
    EXPECT_NEAR(none.composites,
                integral(from, to, [](double x) { return candidateDensity() - 1 / std::log(x); }),
                4 * none.compositesError + 1e-4 * none.composites);
    EXPECT_EQ(none.primesError, 0);
    // One sharp number s: its offset survives the odd primes q up to B that do not
    // divide s with chance prod (1 - 1/(q - 1)), and is then prime with chance W / ln d.
    const std::uint64_t s = 30030;
    double survives = 1;
    for (std::uint32_t q = 3; q <= kBound; q += 2) {
        bool isPrime = true;
        for (std::uint32_t p = 3; p * p <= q; p += 2) isPrime = isPrime && q % p != 0;
        if (isPrime && s % q != 0) survives *= 1 - 1.0 / (q - 1);
    }
    const std::vector<std::uint64_t> one = {s};
    const ExpectedTossed single = expectTossed(1'000'000, {100'000'000}, one, kSettings).back();
    const double exact = integral(from, to, [&](double x) { return (1 - survives * w / std::log(x - s)) / std::log(x); });
    EXPECT_NEAR(single.primes, exact, 4 * single.primesError + 1e-4 * exact);
    // Nothing below the first candidate.
    const ExpectedTossed below = expectTossed(0, {22}, kSharpsAscending, kSettings).back();
    EXPECT_EQ(below.primes + below.composites, 0);
}

// The published figures, computed once (the CSV of --model-only --expected 1e12): a
// change of the model's rules, bound, samples or seed shows here first.
TEST(TossedModelFull, PinnedFigures) {
    const SurveyPlan plan = planSurvey(0, 1'000'000'000'000, 1);
    const std::vector<ExpectedTossed> expected = expectTossed(0, plan.bucketEnds, kSharpsAscending);
    const auto row = [&](std::uint64_t n) {
        const auto end = std::find(plan.bucketEnds.begin(), plan.bucketEnds.end(), n);
        return expected.at(static_cast<std::size_t>(end - plan.bucketEnds.begin()));
    };
    const struct {
        std::uint64_t n;
        double primes, composites, primesError, compositesError;
    } pinned[] = {
        {10'000'000'000, 1.6355, 2.1210, 0.0191, 0.0411},
        {1'000'000'000'000, 2738.7776, 6862.0887, 21.7436, 81.8927},
    };
    for (const auto& p : pinned) {
        const ExpectedTossed e = row(p.n);
        EXPECT_NEAR(e.primes, p.primes, 1e-4 * p.primes + 1e-4) << p.n;
        EXPECT_NEAR(e.composites, p.composites, 1e-4 * p.composites + 1e-4) << p.n;
        EXPECT_NEAR(e.primesError, p.primesError, 1e-3 * p.primesError + 1e-4) << p.n;
        EXPECT_NEAR(e.compositesError, p.compositesError, 1e-3 * p.compositesError + 1e-4) << p.n;
    }
}

}  // namespace
}  // namespace sharp::survey
