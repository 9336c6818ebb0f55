#include "survey/program/explain_program.hpp"

#include <gtest/gtest.h>

#include "survey/check/sharp_check.hpp"
#include "survey/parallel/run_survey.hpp"

namespace sharp::survey {
namespace {

// Every candidate of a range: --explain's verdict is the survey's.
void expectTheSurveysVerdicts(std::uint64_t from, std::uint64_t to, const SharpSet& sharps) {
    std::uint64_t next = from;  // the numbers below it are explained
    listCandidates(
        from, to,
        [&](std::uint64_t c, CandidateClass cls) {
            for (; next < c; ++next) ASSERT_FALSE(isCandidate(next)) << next;
            const Explanation e = explainNumber(c, sharps, false);
            ASSERT_TRUE(e.candidate) << c;
            ASSERT_EQ(e.verdict, cls) << c;
            next = c + 1;
        },
        kSegmentOdds, sharps);
}

TEST(Explain, AgreesWithTheSurveyOnEveryCandidate) {
    // Sparse, so that many candidates are tossed; one number near each range.
    const SharpSet own({2, 6, 30, 210, 2310, 30030, 1'000'000'006, 1'000'000'000'006});
    const struct {
        std::uint64_t from, to;
        const SharpSet& sharps;
    } ranges[] = {
        {0, 5000, SharpSet::builtIn()},
        {1'000'000'000, 1'000'010'000, SharpSet::builtIn()},
        {1'000'000'000'000, 1'000'000'010'000, SharpSet::builtIn()},
        {18'446'744'073'709'541'615u, 18'446'744'073'709'551'615u, SharpSet::builtIn()},
        {1'000'000'000, 1'000'010'000, own},
        {1'000'000'000'000, 1'000'000'010'000, own},
    };
    for (const auto& range : ranges) expectTheSurveysVerdicts(range.from, range.to, range.sharps);
}

// Tossed candidates from the survey's lists (docs/), below and past 2^64.
TEST(Explain, TheSurveysTossedCandidatesAreTossed) {
    const std::pair<Uint128, CandidateClass> tossed[] = {
        {917522737, CandidateClass::tossedComposite},
        {9792455131, CandidateClass::tossedPrime},
        {1000026783923, CandidateClass::tossedPrime},
        {18446744073709173073u, CandidateClass::tossedComposite},
        {Uint128{100000000000000000u} * 1000 + 58951, CandidateClass::tossedComposite},
        {~Uint128{0} - 1028, CandidateClass::tossedComposite},
    };
    for (const auto& [n, cls] : tossed) EXPECT_EQ(explainNumber(n, SharpSet::builtIn(), false).verdict, cls) << decimal(n);
}

TEST(Explain, SaysWhatItFound) {
    const std::pair<Uint128, std::vector<std::string>> cases[] = {
        {9792455131,
         {"9792455131 is a candidate (odd, no prime factor up to 47), prime\n",
          "           2    9792455129  composite, smallest factor 41\n",
          "  3216213000    6576242131  composite, smallest factor 331\n",
          "verdict: tossed, no offset below N is 1 or a prime: a tossed prime, a counterexample to the conjecture\n"}},
        {53, {"53 is a candidate (odd, no prime factor up to 47), prime\n",
              "verdict: hit, first by the sharp number 6 (offset 47, prime): a true prime\n"}},
        {917522737, {"  3216213000    2298690263  not below N: not counted\n", ": a tossed composite\n"}},
        {25, {"25 is not a candidate (it has the factor 5)\n", "verdict: not a candidate: the survey does not test it\n"}},
        {kTwoTo64 + 13, {"past 2^64, prime means a Baillie-PSW probable prime"}},
    };
    for (const auto& [n, parts] : cases) {
        const std::string text = formatExplanation(explainNumber(n, SharpSet::builtIn()));
        for (const std::string& part : parts) EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
    }
}

}  // namespace
}  // namespace sharp::survey
