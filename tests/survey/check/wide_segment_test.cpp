// Past 2^64: a segment's classes against the literal test of every candidate, and,
// forced below 2^64, against the 64-bit survey.
#include "survey/check/wide_segment.hpp"

#include <vector>

#include <gtest/gtest.h>

#include "survey/check/sharp_check.hpp"
#include "survey/check/sharp_set.hpp"
#include "survey/parallel/run_survey.hpp"
#include "survey/parallel/run_wide_window.hpp"

namespace sharp::survey {
namespace {

constexpr Uint128 kTop = ~Uint128{0};

Uint128 powerOfTen(int k) {
    Uint128 n = 1;
    for (int i = 0; i < k; ++i) n *= 10;
    return n;
}

// Every candidate of [first, last] by the literal test: counts and tossed list.
std::pair<ClassCounts, std::vector<WideTossed>> literally(Uint128 first, Uint128 last,
                                                          std::span<const std::uint64_t> sharps,
                                                          std::span<const Uint128> beyond = {}) {
    ClassCounts counts;
    std::vector<WideTossed> tossed;
    for (Uint128 c = first | 1; c <= last && c >= first; c += 2) {
        if (!isCandidate(c)) continue;
        ++counts.candidates;
        switch (classifyLiterally(c, sharps, beyond)) {
            case CandidateClass::truePrime: ++counts.hits, ++counts.truePrimes; break;
            case CandidateClass::falsePrime: ++counts.hits, ++counts.falsePrimes; break;
            case CandidateClass::tossedPrime: ++counts.tossedPrimes, tossed.push_back({c, true}); break;
            case CandidateClass::tossedComposite: ++counts.tossedComposites, tossed.push_back({c, false}); break;
        }
    }
    return {counts, tossed};
}

TEST(WideSegment, AgreesWithTheLiteralTest) {
    const std::vector<std::uint64_t> small = {2, 6, 30, 210, 2310, 30030, 18446744073709551614u};
    // Sharp numbers past 2^64: just above the window at 10^30 and at the top.
    const std::vector<Uint128> beyond = {powerOfTen(30) + (1 << 17), kTop - 1};
    const struct {
        Uint128 first;
        std::uint64_t numbers;
        std::span<const std::uint64_t> sharps;
        std::span<const Uint128> beyond = {};
    } windows[] = {
        {powerOfTen(20), 1 << 16, kSharpsAscending},
        {powerOfTen(25), 1 << 15, kSharpsAscending},
        {powerOfTen(30), 1 << 14, kSharpsAscending},
        {powerOfTen(35), 1 << 14, kSharpsAscending},
        {kTop - (1 << 14) + 1, 1 << 14, kSharpsAscending},  // ending at 2^128 - 1
        {kTwoTo64 - (1 << 13), 1 << 14, kSharpsAscending},  // across 2^64
        {powerOfTen(30), 1 << 16, small},                   // a table that tosses one in 20, 2^64 - 2 among it
        {powerOfTen(30), 1 << 16, small, beyond},           // and numbers past 2^64 (10^30 + 2^17 hits here)
        {kTop - (1 << 14) + 1, 1 << 14, small, beyond},
    };
    for (const auto& w : windows) {
        WideSegment segment(w.sharps, w.beyond);
        const Uint128 last = w.first + (w.numbers - 1);
        segment.test(w.first, last);
        const auto [counts, tossed] = literally(w.first, last, w.sharps, w.beyond);
        EXPECT_EQ(segment.counts(), counts) << decimal(w.first);
        EXPECT_EQ(segment.tossed(), tossed) << decimal(w.first);
        EXPECT_GT(counts.truePrimes, 0u);
        if (w.sharps.size() < 10) {
            EXPECT_GT(tossed.size(), 100u);  // the small table's check has teeth
        }
    }
}

// A range whose end is no whole number of segments from its start, up to 2^128 - 1:
// its last segment ends at the top, not where the end would wrap round.
TEST(RunWideWindow, EndsAtTheTopFromAnyStart) {
    const Uint128 first = kTop - 2999;
    ClassCounts counts;
    std::vector<WideTossed> tossed;
    runWideWindow(first, kTop, SharpSet::builtIn(), 2, [&](const WideReport& report) {
        counts += report.counts;
        tossed.insert(tossed.end(), report.tossed.begin(), report.tossed.end());
    });
    const auto [literalCounts, literalTossed] = literally(first, kTop, kSharpsAscending);
    EXPECT_EQ(counts, literalCounts);
    EXPECT_EQ(tossed, literalTossed);
}

// Below 2^64 a table's numbers past 2^64 count for the candidates above half of them:
// the 64-bit survey's classes are the literal test's.
TEST(WideSegment, SharpNumbersPastTwoTo64CountBelowIt) {
    const SharpSet table({2, 6, 30, 210, 2310}, {kTwoTo64 + 4, kTwoTo64 + (1 << 20)});
    const std::uint64_t first = 18446744073709551615ull - (1 << 18) + 1, last = first + ((1 << 18) - 1);
    std::size_t fromBeyond = 0;
    listCandidates(
        first, last,
        [&](std::uint64_t c, CandidateClass cls) {
            const CandidateClass expected = classifyLiterally(c, table.ascending(), table.beyond());
            EXPECT_EQ(cls, expected) << c;
            fromBeyond += expected != classifyLiterally(c, table.ascending());
        },
        kSegmentOdds, table);
    EXPECT_GT(fromBeyond, 100u);  // the numbers past 2^64 decide many here
}

// Forced below 2^64, the wide path gives the 64-bit survey's classes.
TEST(WideSegment, BelowTwoTo64ItIsThe64BitSurvey) {
    for (const std::uint64_t first : {1'000'000'000'000ull, 18446744073709551615ull - (1 << 18) + 1}) {
        const std::uint64_t last = first + ((1 << 18) - 1);
        WideSegment segment(kSharpsAscending);
        segment.test(first, last);
        ClassCounts counts;
        std::vector<WideTossed> tossed;
        listCandidates(first, last, [&](std::uint64_t c, CandidateClass cls) {
            ++counts.candidates;
            counts.hits += cls == CandidateClass::truePrime || cls == CandidateClass::falsePrime;
            counts.truePrimes += cls == CandidateClass::truePrime;
            counts.falsePrimes += cls == CandidateClass::falsePrime;
            counts.tossedPrimes += cls == CandidateClass::tossedPrime;
            counts.tossedComposites += cls == CandidateClass::tossedComposite;
            if (cls == CandidateClass::tossedPrime || cls == CandidateClass::tossedComposite) {
                tossed.push_back({c, cls == CandidateClass::tossedPrime});
            }
        });
        EXPECT_EQ(segment.counts(), counts) << first;
        EXPECT_EQ(segment.tossed(), tossed) << first;
    }
}

}  // namespace
}  // namespace sharp::survey
