// The segment path (prime bits, word-wide filter, leftovers) against a plain test of
// each candidate on its own, over ranges that cross segment boundaries.
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "sharp/sharp_table.hpp"
#include "survey/check/primality.hpp"
#include "survey/parallel/run_survey.hpp"

namespace sharp::survey {
namespace {

// The conjecture test written from its statement: a candidate is odd with no prime
// factor up to 47 (or one of 23 ... 47); a hit has some sharp number at a distance
// d <= c that is 1 or prime.
bool plainIsCandidate(std::uint64_t c) {
    if (c < 23 || c % 2 == 0) return false;
    for (std::uint64_t p = 3; p <= 47; p += 2) {
        if (c % p == 0 && c != p) return false;
    }
    return true;
}

CandidateClass plainClass(std::uint64_t c) {
    bool hit = false;
    for (const std::uint64_t s : kSharpNumbers) {
        const std::uint64_t d = c > s ? c - s : s - c;
        hit = hit || (d <= c && (d == 1 || isPrime64(d)));
    }
    const bool prime = isPrime64(c);
    return hit ? (prime ? CandidateClass::truePrime : CandidateClass::falsePrime)
               : (prime ? CandidateClass::tossedPrime : CandidateClass::tossedComposite);
}

// Segments of 1024 numbers: a boundary every few dozen candidates.
constexpr std::uint64_t kSmallSegmentOdds = 512;

// The survey's counts of from..to, one bucket: counted over whole words (four at a
// time where the processor has AVX2), not candidate by candidate.
ClassCounts surveyCounts(std::uint64_t from, std::uint64_t to, std::uint64_t segmentOdds) {
    SurveyPlan plan;
    plan.from = from;
    plan.to = to;
    plan.bucketEnds = {to};
    plan.threads = 1;
    plan.segmentOdds = segmentOdds;
    return runSurvey(plan, [](const SegmentReport&) {})[0];
}

// Lists from..to with the survey and compares every candidate, and the candidates
// themselves; then the survey's counts with the plain verdicts'.
void expectPlainVerdicts(std::uint64_t from, std::uint64_t to, std::uint64_t segmentOdds) {
    std::vector<std::pair<std::uint64_t, CandidateClass>> listed;
    listCandidates(
        from, to, [&](std::uint64_t c, CandidateClass cls) { listed.emplace_back(c, cls); }, segmentOdds);
    std::size_t next = 0, wrong = 0;
    ClassCounts plain;
    for (std::uint64_t c = from;; ++c) {
        if (plainIsCandidate(c)) {
            if (next >= listed.size() || listed[next].first != c) {
                ADD_FAILURE() << "candidate " << c << " missing in " << from << ".." << to;
                return;
            }
            const CandidateClass cls = plainClass(c);
            wrong += listed[next++].second != cls;
            ++plain.candidates;
            plain.hits += cls == CandidateClass::truePrime || cls == CandidateClass::falsePrime;
            plain.truePrimes += cls == CandidateClass::truePrime;
            plain.falsePrimes += cls == CandidateClass::falsePrime;
            plain.tossedPrimes += cls == CandidateClass::tossedPrime;
            plain.tossedComposites += cls == CandidateClass::tossedComposite;
        }
        if (c == to) break;
    }
    EXPECT_EQ(next, listed.size()) << from << ".." << to;
    EXPECT_EQ(wrong, 0u) << from << ".." << to;
    EXPECT_EQ(surveyCounts(from, to, segmentOdds), plain) << from << ".." << to;
}

TEST(Segment, AgreesWithThePlainTest) {
    const std::pair<std::uint64_t, std::uint64_t> ranges[] = {
        {0, 30'000},                                              // the first candidates; 1 as an offset
        {16'777'216 - 10'000, 16'777'216 + 10'000},               // 2^24: words tried for more sharp numbers above
        {3216213000 - 10'000, 3216213000 + 10'000},               // the largest sharp number
        {6432426000 - 10'000, 6432426000 + 10'000},               // twice it: offsets above stop counting
        {4294967296 - 10'000, 4294967296 + 10'000},               // 2^32
        {4398046511104 - 30'000, 4398046511104 + 30'000},         // 2^42: the window below grows along the job
        {1000000002292367 - 10'000, 1000000002292367 + 10'000},   // a tossed prime, rare for the counts
        {18446744073709551615u - 20'000, 18446744073709551615u},  // the top of the range
    };
    // A stream near 2^64 starts with 2 * 10^8 sieving primes, a second or two, so
    // segments stay larger there: two of them still meet inside the range.
    for (const auto& [from, to] : ranges) {
        expectPlainVerdicts(from, to, from >> 40 ? 64 * 100 : kSmallSegmentOdds);
        expectPlainVerdicts(from, to, kSegmentOdds);
    }
    std::mt19937_64 random(20261208);
    for (int i = 1; i <= 12; ++i) {
        const std::uint64_t from = random() >> (i * 5);  // from near 2^59 down to about 2^4
        SCOPED_TRACE("seed 20261208, range " + std::to_string(i));
        expectPlainVerdicts(from, from + 3'000 + random() % 3'000, 64 * 8);
    }
}

}  // namespace
}  // namespace sharp::survey
