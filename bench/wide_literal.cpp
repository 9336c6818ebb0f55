// Past 2^64, the survey's segments against the straightforward way, one thread each,
// on the same windows: every candidate classified literally (Baillie-PSW on it, then on
// its distances to the 79 one by one until one is 1 or prime) beside WideSegment.
//   build/bench/wide_literal [NUMBERS]   (default 2^18 numbers a window)
// Windows at 10^20, 10^25, 10^30, 10^35 and the one ending at 2^128 - 1; both must
// find the same counts, or the benchmark fails.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "sharp/sharp_table.hpp"
#include "survey/check/sharp_check.hpp"
#include "survey/check/wide_segment.hpp"
#include "survey/survey_constants.hpp"

namespace {

using namespace sharp::survey;
using sharp::kSharpsAscending;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

Uint128 powerOfTen(int k) {
    Uint128 p = 1;
    while (k-- > 0) p *= 10;
    return p;
}

// The survey's counts of [first, last], a segment at a time.
ClassCounts bySegments(Uint128 first, Uint128 last) {
    WideSegment segment(kSharpsAscending);
    ClassCounts total;
    for (Uint128 low = first; low <= last; low += kWideSegmentNumbers) {
        const Uint128 high = last - low < kWideSegmentNumbers ? last : low + (kWideSegmentNumbers - 1);
        segment.test(low, high);
        total += segment.counts();
        if (high == last) break;
    }
    return total;
}

ClassCounts literally(Uint128 first, Uint128 last) {
    ClassCounts total;
    for (Uint128 c = first;; ++c) {
        if (isCandidate(c)) {
        ++total.candidates;
        switch (classifyLiterally(c, kSharpsAscending)) {
            case CandidateClass::truePrime: ++total.hits, ++total.truePrimes; break;
            case CandidateClass::falsePrime: ++total.hits, ++total.falsePrimes; break;
            case CandidateClass::tossedPrime: ++total.tossedPrimes; break;
            case CandidateClass::tossedComposite: ++total.tossedComposites; break;
        }
        }
        if (c == last) break;
    }
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t numbers = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : std::uint64_t{1} << 18;
    struct Height {
        const char* name;
        Uint128 first;
    };
    const Height heights[] = {{"10^20", powerOfTen(20)},
                              {"10^25", powerOfTen(25)},
                              {"10^30", powerOfTen(30)},
                              {"10^35", powerOfTen(35)},
                              {"2^128", ~Uint128{0} - (numbers - 1)}};
    std::printf("%-8s %10s %12s %12s %8s\n", "window", "candidates", "literal s", "survey s", "ratio");
    for (const Height& h : heights) {
        const Uint128 last = h.first + (numbers - 1);
        auto start = std::chrono::steady_clock::now();
        const ClassCounts reference = literally(h.first, last);
        const double literalSeconds = secondsSince(start);
        start = std::chrono::steady_clock::now();
        const ClassCounts survey = bySegments(h.first, last);
        const double surveySeconds = secondsSince(start);
        if (!(survey == reference)) {
            std::fprintf(stderr, "wide_literal: the counts differ at %s\n", h.name);
            return 1;
        }
        std::printf("%-8s %10llu %12.3f %12.3f %8.1f\n", h.name, static_cast<unsigned long long>(survey.candidates),
                    literalSeconds, surveySeconds, literalSeconds / surveySeconds);
        std::fflush(stdout);
    }
    return 0;
}
