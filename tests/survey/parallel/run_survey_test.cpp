// Whole surveys: independent of the thread count and the segment size, equal to the
// interactive program's run, and counting every prime that primecount counts.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <primecount.hpp>

#include "support/captured_run.hpp"
#include "survey/ledger/checkpoints.hpp"
#include "survey/ledger/slices.hpp"
#include "survey/parallel/run_survey.hpp"

namespace sharp::survey {
namespace {

struct Outcome {
    std::vector<ClassCounts> buckets;
    std::vector<TossedCandidate> tossed;
    std::uint64_t lastDelivered = 0;
    bool ascending = true;
};

Outcome survey(std::uint64_t from, std::uint64_t to, unsigned threads, std::uint64_t segmentOdds = kSegmentOdds) {
    SurveyPlan plan = planSurvey(from, to, threads);
    plan.segmentOdds = segmentOdds;
    Outcome outcome;
    outcome.buckets = runSurvey(plan, [&](const SegmentReport& report) {
        outcome.ascending = outcome.ascending && (outcome.lastDelivered == 0 || report.first == outcome.lastDelivered + 1);
        outcome.lastDelivered = report.last;
        outcome.tossed.insert(outcome.tossed.end(), report.tossed.begin(), report.tossed.end());
    });
    return outcome;
}

ClassCounts total(const std::vector<ClassCounts>& buckets) {
    ClassCounts sum;
    for (const ClassCounts& bucket : buckets) sum += bucket;
    return sum;
}

TEST(Survey, SameResultsForAnyThreadCountAndSegmentSize) {
    const Outcome reference = survey(900'000'000, 1'000'000'000, 1);
    EXPECT_TRUE(reference.ascending);
    ASSERT_EQ(reference.tossed, (std::vector<TossedCandidate>{{917522737, false}}));
    for (const unsigned threads : {2u, 3u}) {
        for (const std::uint64_t segmentOdds : {kSegmentOdds, std::uint64_t{1} << 20, std::uint64_t{64 * 1000}}) {
            const Outcome other = survey(900'000'000, 1'000'000'000, threads, segmentOdds);
            EXPECT_TRUE(other.buckets == reference.buckets) << threads << " threads, segment " << segmentOdds;
            EXPECT_EQ(other.tossed, reference.tossed);
            EXPECT_TRUE(other.ascending);
        }
    }
}

// Far up, a short range's large sieving primes are marked once for all threads: the
// same results as one thread, whose streams mark their own. At 2 * 10^15 the primes
// from 2^25 on are large; near 2^64 nearly all are.
TEST(Survey, SharedLargeMarksGiveTheSameResults) {
    const std::pair<std::uint64_t, std::uint64_t> ranges[] = {
        {2'000'000'000'000'000, 2'000'000'000'000'000 + (std::uint64_t{1} << 26)},
        {18446744073709551615u - (std::uint64_t{1} << 22) + 1, 18446744073709551615u},
    };
    for (const auto& [from, to] : ranges) {
        const Outcome own = survey(from, to, 1);
        for (const unsigned threads : {2u, 3u}) {
            const Outcome shared = survey(from, to, threads, std::uint64_t{1} << 20);
            EXPECT_TRUE(shared.buckets == own.buckets) << from << ", " << threads << " threads";
            EXPECT_EQ(shared.tossed, own.tossed) << from;
        }
        EXPECT_GT(total(own.buckets).tossedPrimes, 0u) << from;  // a check with teeth
    }
}

// Work is cut so that every thread gets as many jobs, each at most 2^30 numbers, and
// far up no more than one job per thread (each job finds its sieving primes anew);
// threads beyond the CPUs they share get none.
TEST(Survey, EveryThreadGetsAJob) {
    const struct {
        std::uint64_t from, to;
        unsigned threads, cpus;
        std::uint64_t jobs;
    } cases[] = {
        {0, 10'000'000'000u, 2, 0, 10},
        {0, 10'000'000'000u, 64, 0, 64},
        {0, 10'000'000'000u, 64, 2, 10},
        {0, 100'000'000'000u, 3, 0, 96},  // 93.1 of the longest
        {1'000'000'000'000'000'000u, 1'000'000'001'000'000'000u, 2, 0, 2},
        {18446744073709551615u - (1u << 30) + 1, 18446744073709551615u, 2, 0, 2},
        // far up no more jobs than their set-up pays for: the other threads idle
        {1'000'000'000'000'000'000u, 1'000'000'001'000'000'000u, 32, 0, 4},
        {18446744073709551615u - (1u << 30) + 1, 18446744073709551615u, 8, 64, 4},
        {18446744073709551615u - (1u << 30) + 1, 18446744073709551615u, 8, 2, 2},
    };
    for (const auto& c : cases) {
        const Piece range = wholeRange(c.from, c.to);
        const std::uint64_t jobWords = jobWordsFor(planSurvey(c.from, c.to, c.threads, c.cpus));
        EXPECT_EQ((range.endWord - range.firstWord + jobWords - 1) / jobWords, c.jobs) << c.from << " " << c.threads;
        EXPECT_LE(jobWords, kJobWords);
    }
}

// The interactive program's run to 10^6, listed by the survey: the same true and false primes, line by line.
TEST(Survey, ListsTheInteractiveRunsTrueAndFalsePrimes) {
    test::CapturedRun run(1'000'000);
    run.runLoop();
    std::string stp, sfp;
    listCandidates(23, 1'000'000, [&](std::uint64_t c, CandidateClass cls) {
        if (cls == CandidateClass::truePrime) stp += "true prime = " + std::to_string(c) + "\n";
        if (cls == CandidateClass::falsePrime) sfp += "false prime = " + std::to_string(c) + "\n";
        EXPECT_TRUE(cls == CandidateClass::truePrime || cls == CandidateClass::falsePrime) << c;
    });
    EXPECT_EQ(stp, run.stp());
    EXPECT_EQ(sfp, run.sfp());
}

// The interactive program's full run ends at 30723761 with these counts.
TEST(SurveyFull, CountsOfTheInteractiveFullRun) {
    const ClassCounts counts = total(survey(23, 30723761, 2).buckets);
    EXPECT_EQ(counts.truePrimes, 1899992u);
    EXPECT_EQ(counts.falsePrimes, 2361518u);
    EXPECT_EQ(counts.hits, 4261510u);
    EXPECT_EQ(counts.tossedPrimes + counts.tossedComposites, 0u);
}

// True primes and tossed primes together are every prime of the range from 23 on.
TEST(SurveyFull, CountsEveryPrimeThatPrimecountCounts) {
    const Outcome toTen = survey(0, 10'000'000'000, 2);
    const std::vector<Checkpoint> checkpoints = planCheckpoints(0, 10'000'000'000);
    ClassCounts sofar;
    for (std::size_t i = 0; i < checkpoints.size(); ++i) {
        sofar += toTen.buckets[i];
        if (!checkpoints[i].inTable) continue;
        const auto n = static_cast<std::int64_t>(checkpoints[i].value);
        EXPECT_EQ(sofar.truePrimes + sofar.tossedPrimes, static_cast<std::uint64_t>(primecount::pi(n) - 8)) << n;
    }
    const std::pair<std::uint64_t, std::uint64_t> ranges[] = {
        {4294967296 - 20'000'000, 4294967296 + 20'000'000},
        {6432426000 - 20'000'000, 6432426000 + 20'000'000},
        {1'000'000'000'000'000, 1'000'000'000'000'000 + 20'000'000},
    };
    for (const auto& [from, to] : ranges) {
        const ClassCounts counts = total(survey(from, to, 2).buckets);
        const std::int64_t primes = primecount::pi(static_cast<std::int64_t>(to)) -
                                    primecount::pi(static_cast<std::int64_t>(from) - 1);
        EXPECT_EQ(counts.truePrimes + counts.tossedPrimes, static_cast<std::uint64_t>(primes)) << from;
    }
    // Just below 2^64 primecount needs half an hour per value on one core, so its
    // answers are written here: pi(2^64 - 1) = 425656284035217743 and
    // pi(2^64 - 2000001) = 425656284035172790 (primecount 7.6, `primecount X -t1`).
    const ClassCounts top = total(survey(18446744073707551616u, 18446744073709551615u, 2).buckets);
    EXPECT_EQ(top.truePrimes + top.tossedPrimes, 425656284035217743u - 425656284035172790u);
}

}  // namespace
}  // namespace sharp::survey
