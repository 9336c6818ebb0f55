#include "stats/summary.hpp"

#include <algorithm>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "stats/progress.hpp"
#include "support/captured_run.hpp"
#include "support/masking.hpp"

namespace sharp {
namespace {

using test::CapturedRun;

TEST(TheoryCount, PassesThroughSinglePrecision) {
    const std::pair<std::uint32_t, std::int32_t> cases[] = {
        {29, 8}, {1000003, 73975}, {1001387, 74070}, {10000007, 634070}, {30723761, 1821269}, {4200000011u, 193714784},
    };
    for (const auto& [n, count] : cases) EXPECT_EQ(theoryCount(n), count) << n;
}

TEST(TimeMark, LocalTimeAsDateAndClock) {
    const char* previous = std::getenv("TZ");
    const std::string saved = previous != nullptr ? previous : "";
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    char mark[kMarkSize];
    fillTimeMark(mark, 0);
    EXPECT_STREQ(mark, "1970-01-01 00:00:00");
    fillTimeMark(mark, 1000000000);
    EXPECT_STREQ(mark, "2001-09-09 01:46:40");
    if (previous != nullptr) {
        ::setenv("TZ", saved.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}

using test::maskClocks;

struct Counts {
    std::uint32_t n, primeCount, sieve, truePrimes, falsePrimes, tossed;
};

std::unique_ptr<CapturedRun> summaryOf(const Counts& counts) {
    auto run = std::make_unique<CapturedRun>(0);
    RunContext& c = run->context();
    c.beginTime = std::time(nullptr);
    fillTimeMark(c.startMark, c.beginTime);
    c.candidate = counts.n;
    c.primeCount = counts.primeCount;
    c.sievePrimeCount = counts.sieve;
    c.truePrimeCount = c.jun18TpCount = counts.truePrimes;
    c.falsePrimeCount = c.jun18FpCount = counts.falsePrimes;
    c.tossedCount = counts.tossed;
    reportFinalSummary(c);
    return run;
}

TEST(FinalSummary, LinesOfARunTo1000001) {
    auto run = summaryOf({1000003, 78498, 138752, 78490, 60262, 0});
    EXPECT_EQ(maskClocks(run->console()),
              "@\n"
              "actual, theory = 1000003  78498  vs  73975\n"
              "elapsed ticks= #\n"
              "end ticks= #\n"
              "time marks:  @  @\n"
              "non-trivial candidates (40%)= 400001\n"
              "conjecture-tossed (cnt) = 0   0\n"
              "Jun 18 test tp % = 1\n"
              "Jun 18 test fp % = 1\n"
              "total sieve primes, xceptions = 138752  0   0\n"
              " % FP post sieve = 0.434314\n");
    EXPECT_EQ(maskClocks(run->primality()),
              "elapsed ticks= #\n"
              "end ticks= #\n"
              "time marks:  @  @\n"
              "N,actual,theory = 1000003  78498  vs  73975\n"
              "non-trivial candidates (40%)= 400001\n"
              "conjecture-tossed (cnt) = 0   0\n");
    EXPECT_EQ(run->jun20(),
              " % FP post sieve = 0.434314\n"
              "Jun 18 test tp % = 1\n"
              "Jun 18 test fp % = 1\n"
              "total sieve primes, xceptions = 138752  0   0\n"
              "\n");
    EXPECT_EQ(run->stp() + run->sfp() + run->mylist(), "");
}

TEST(FinalSummary, EstimatesAndRatios) {
    struct Case {
        Counts counts;
        const char* actual;      // line 2
        const char* nonTrivial;  // line 10
        const char* tossed;      // line 12
        const char* falseShare;  // line 14, or "" when not written
    };
    const Case cases[] = {
        {{1001387, 78672, 139009, 78664, 60345, 0}, "actual, theory = 1001387  78672  vs  74070",
         "non-trivial candidates (40%)= 400555", "conjecture-tossed (cnt) = 0   0", " % FP post sieve = 0.434109"},
        {{10000007, 664580, 1237707, 664572, 573135, 0}, "actual, theory = 10000007  664580  vs  634070",
         "non-trivial candidates (40%)= 4e+06", "conjecture-tossed (cnt) = 0   0", " % FP post sieve = 0.463062"},
        {{30723761, 1900000, 4261510, 1899992, 2361518, 0}, "actual, theory = 30723761  1900000  vs  1821269",
         "non-trivial candidates (40%)= 1.22895e+07", "conjecture-tossed (cnt) = 0   0",
         " % FP post sieve = 0.554151"},
        // One false prime among four verdicts is 0.25, never 25; tossed counts divide 0.4 N.
        {{1000, 170, 4, 3, 1, 12}, "actual, theory = 1000  170  vs  147", "non-trivial candidates (40%)= 400",
         "conjecture-tossed (cnt) = 12   0.03", " % FP post sieve = 0.25"},
        // Counters of 2^31 and more stay positive.
        {{4200000011u, 1, 4000000000u, 3000000000u, 1000000000u, 2147483648u},
         "actual, theory = 4200000011  1  vs  193714784", "non-trivial candidates (40%)= 1.68e+09",
         "conjecture-tossed (cnt) = 2147483648   1.27826", " % FP post sieve = 0.25"},
    };
    for (const Case& c : cases) {
        auto run = summaryOf(c.counts);
        const std::string console = run->console();
        for (const char* line : {c.actual, c.nonTrivial, c.tossed, c.falseShare}) {
            EXPECT_NE(console.find(std::string("\n") + line + "\n"), std::string::npos) << line;
        }
        EXPECT_NE(run->jun20().find(std::string(c.falseShare) + "\n"), std::string::npos) << c.falseShare;
    }
}

TEST(FinalSummary, ConditionalLines) {
    // No false primes: no "fp" lines, and the false-prime share is 0.
    auto clean = summaryOf({29, 9, 1, 1, 0, 0});
    EXPECT_EQ(clean->jun20(),
              " % FP post sieve = 0\n"
              "Jun 18 test tp % = 1\n"
              "total sieve primes, xceptions = 1  0   0\n"
              "\n");
    EXPECT_EQ(clean->console().find("fp %"), std::string::npos);
    // No verdicts and no sieve hits at all: only the always-written lines, the exception ratio as 0.
    auto empty = summaryOf({29, 8, 0, 0, 0, 0});
    EXPECT_EQ(empty->jun20(), "total sieve primes, xceptions = 0  0   0\n\n");
    const std::string console = maskClocks(empty->console());
    EXPECT_EQ(console.substr(console.find("conjecture")),
              "conjecture-tossed (cnt) = 0   0\n"
              "total sieve primes, xceptions = 0  0   0\n");
}

TEST(FinalSummary, ContinuesTheLineOfAMilestoneMark) {
    CapturedRun run(0);
    RunContext& c = run.context();
    c.primeCount = 78498;
    c.previousCandidate = 999997;
    c.candidate = 1000001;
    reportMilestones(c);
    c.sievePrimeCount = c.truePrimeCount = c.jun18TpCount = 1;
    reportFinalSummary(c);
    EXPECT_EQ(maskClocks(run.primality()).substr(0, 33), "mark 1E6 = 78498elapsed ticks= #\n");
    EXPECT_EQ(run.console().substr(0, 17), "mark 1E6 = 78498" + std::string(c.endMark).substr(0, 1));
}

TEST(DumpPrimeList, OneLinePerStoredPrime) {
    CapturedRun run(30);
    run.runLoop();
    dumpPrimeList(run.context());
    EXPECT_EQ(run.mylist(),
              "1    2\n2    3\n3    5\n4    7\n5    11\n6    13\n7    17\n8    19\n9    23\n10    29\n");
}

TEST(DumpPrimeList, FullListEndsAtTheLastSlot) {
    CapturedRun run(0);
    RunContext& c = run.context();
    for (std::uint32_t slot = 1; slot <= kLastPrimeSlot; ++slot) c.Pr[slot] = 2 * slot + 1;
    c.primeCount = kPrimeSlots;
    dumpPrimeList(c);
    const std::string dump = run.mylist();
    EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), kLastPrimeSlot);
    EXPECT_EQ(dump.substr(dump.size() - 19), "1899999    3799999\n");
}

}  // namespace
}  // namespace sharp
