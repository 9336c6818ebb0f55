#include "candidates/prime_list.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "candidates/wheel.hpp"
#include "support/captured_run.hpp"
#include "support/sieve.hpp"

namespace sharp {
namespace {

using test::CapturedRun;
using test::sieve;

using test::lineCount;

TEST(TrialDivide, FindsTheFirstListedPrimeUpToTheBound) {
    CapturedRun run(70000);
    run.runLoop();  // lists every prime below 70000, so every trial divisor up to 65535
    const RunContext& context = run.context();
    const auto isPrime = sieve(66000);
    std::vector<std::uint32_t> primes;
    for (std::uint32_t p = 2; p < 66000; ++p) {
        if (isPrime[p]) primes.push_back(p);
    }
    auto naive = [&](std::uint32_t n, std::uint32_t bound) -> std::uint32_t {
        for (std::uint32_t p : primes) {
            if (p > bound || p > 65535) break;
            if (n % p == 0) return p;
        }
        return 0;
    };
    std::vector<std::uint32_t> numbers = {0, 1, 2, 3, 4, 9, 25, 2809, 3127, 4294967295u, 4294967291u,
                                          4199999999u, 4294836225u /* 65535^2 */, 4293001441u /* 65521^2 */};
    for (std::uint32_t n = 3; n < 40000; ++n) numbers.push_back(n);
    for (std::uint32_t n = 4294967295u; n > 4294900000u; n -= 7) numbers.push_back(n);
    for (std::uint32_t n : numbers) {
        for (std::uint32_t bound : {3u, 53u, computeRootBound(n), 65535u, UINT32_MAX}) {
            ASSERT_EQ(trialDivide(context, n, bound), naive(n, bound)) << n << " bound " << bound;
        }
    }
}

TEST(TrialDivide, ListThatRunsOutCountsAsPrime) {
    CapturedRun run(0);  // only the seeds 2 to 19 are listed
    EXPECT_EQ(trialDivide(run.context(), 23 * 23, 23), 0u);
    EXPECT_EQ(trialDivide(run.context(), 19 * 23, 23), 19u);
}

struct RunFigures {
    std::uint32_t endCandidate, sievePrimeCount, truePrimeCount, falsePrimeCount, primeCount;
    const char* verdict;  // the end-candidate line on the console and in the run log, or ""
};

TEST(CandidateLoop, FiguresOfWholeRuns) {
    const RunFigures cases[] = {
        {23, 1, 1, 0, 9, "number is prime!  23  0\n"},
        {19, 1, 1, 0, 9, ""},
        {29, 2, 2, 0, 10, "number is prime!  29  0\n"},
        {49, 7, 7, 0, 15, ""},  // 7 * 7: skipped by the wheel
        {2807, 401, 401, 0, 409, ""},
        {2809, 402, 401, 1, 409, "number is composite  53  0  0\n"},
        {2812, 402, 401, 1, 409, ""},  // even: the last candidate tested is 2809
        {199999, 27811, 17976, 9835, 17984, "number is prime!  199999  0\n"},
    };
    for (const RunFigures& f : cases) {
        CapturedRun run(f.endCandidate);
        run.runLoop();
        const RunContext& c = run.context();
        EXPECT_EQ(c.sievePrimeCount, f.sievePrimeCount) << f.endCandidate;
        EXPECT_EQ(c.truePrimeCount, f.truePrimeCount) << f.endCandidate;
        EXPECT_EQ(c.primeCount, f.primeCount) << f.endCandidate;
        EXPECT_EQ(c.falsePrimeCount, f.falsePrimeCount) << f.endCandidate;
        EXPECT_EQ(c.jun18TpCount, c.truePrimeCount);
        EXPECT_EQ(c.jun18FpCount, c.falsePrimeCount);
        EXPECT_EQ(c.sievePrimeCount, c.truePrimeCount + c.falsePrimeCount);
        EXPECT_EQ(c.tossedCount, 0u);
        EXPECT_EQ(c.exceptionCount, 0u);
        EXPECT_EQ(lineCount(run.stp()), c.truePrimeCount);
        EXPECT_EQ(lineCount(run.sfp()), c.falsePrimeCount);
        // The verdict is the last line of the loop on the console and in the run log, or absent.
        const std::string verdict = f.verdict;
        for (const std::string& text : {run.console(), run.primality()}) {
            const auto at = text.find("number is");
            EXPECT_EQ(at, verdict.empty() ? std::string::npos : text.size() - verdict.size()) << f.endCandidate;
            if (at != std::string::npos) {
                EXPECT_EQ(text.substr(at), verdict) << f.endCandidate;
            }
        }
    }
}

TEST(CandidateLoop, EndCandidate23) {
    CapturedRun run(23);
    run.runLoop();
    EXPECT_EQ(run.stp(), "true prime = 23\n");
    EXPECT_EQ(run.context().Pr[9], 23u);
    EXPECT_EQ(run.context().Pr[10], 0u);
    EXPECT_EQ(run.context().candidate, 29u);
}

TEST(CandidateLoop, FirstFalsePrimeIs2809) {
    CapturedRun run(3000);
    run.runLoop();
    EXPECT_EQ(run.sfp(), "false prime = 2809\n");
}

// Against a sieve: the true primes of a run to 10^6 are exactly the primes from 23,
// the false primes exactly the composites with no prime factor up to 47.
TEST(CandidateLoop, AgreesWithAnIndependentSieveUpTo1E6) {
    CapturedRun run(999999);
    run.runLoop();
    const test::ListFiles expected = test::expectedListFiles(999999);
    EXPECT_EQ(run.stp(), expected.stp);
    EXPECT_EQ(run.sfp(), expected.sfp);
    EXPECT_EQ(run.context().primeCount, 78498u);
}

// The start-up sieve decides every sieve hit, so it must agree with trial division by
// the listed primes on every candidate a run can reach, and stop where the run asks.
TEST(SieveReachablePrimes, AgreesWithTrialDivisionOnEveryReachableCandidate) {
    CapturedRun run(6000);
    run.runLoop();  // lists the primes below 6000: every divisor up to the root of kLookupLimit
    RunContext& context = run.context();
    context.endCandidate = 4199999999u;
    sieveReachablePrimes(context);
    ASSERT_EQ(context.sievedEnd, kLookupLimit);
    std::uint32_t mismatches = 0;
    for (std::uint32_t n = kFirstCandidate; n < kLookupLimit; n = nextCandidate(n)) {
        mismatches += isPrimeCandidate(context, n) != (trialDivide(context, n, computeRootBound(n)) == 0);
    }
    EXPECT_EQ(mismatches, 0u);
    for (const auto& [endCandidate, sievedEnd] : {std::pair{0u, 1u}, {22u, 23u}, {kLookupLimit - 1, kLookupLimit},
                                                  {kLookupLimit, kLookupLimit}, {2800u, 2801u}}) {
        context.endCandidate = endCandidate;
        sieveReachablePrimes(context);
        EXPECT_EQ(context.sievedEnd, sievedEnd) << endCandidate;
    }
    EXPECT_FALSE(isPrimeCandidate(context, 2809));  // beyond the sieve: by division
    EXPECT_TRUE(isPrimeCandidate(context, 2803));
}

TEST(RecordTruePrime, FullListStopsWithoutStoring) {
    CapturedRun run(0);
    RunContext& context = run.context();
    context.primeCount = kLastPrimeSlot - 1;  // one slot left
    context.candidate = 1000003;
    EXPECT_EQ(recordTruePrime(context), Storage::stored);
    EXPECT_EQ(context.Pr[kLastPrimeSlot], 1000003u);
    context.candidate = 1000033;
    EXPECT_EQ(recordTruePrime(context), Storage::full);
    EXPECT_EQ(context.primeCount, kPrimeSlots);
    EXPECT_EQ(context.truePrimeCount, 2u);
    EXPECT_EQ(run.stp(), "true prime = 1000003\ntrue prime = 1000033\n");
    EXPECT_EQ(run.console(), "must increase size of Pr array!\n");
}

TEST(ReportComposite, OnlyForTheEndCandidate) {
    CapturedRun run(3127);
    run.context().candidate = 3125 + 2;
    reportComposite(run.context(), 53);
    run.context().candidate = 3233;
    reportComposite(run.context(), 53);
    EXPECT_EQ(run.console(), "number is composite  53  0  0\n");
    EXPECT_EQ(run.primality(), "number is composite  53  0  0\n");
}

}  // namespace
}  // namespace sharp
