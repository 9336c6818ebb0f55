// One segment of the survey: the primes of the segment and of the window below it,
// the candidates, and each candidate's class.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "survey/check/class_counts.hpp"
#include "survey/sieve/candidate_pattern.hpp"
#include "survey/sieve/odd_words.hpp"
#include "survey/sieve/prime_bits.hpp"
#include "survey/survey_constants.hpp"

namespace sharp::survey {

class Segment {
public:
    // A segment of at most `segmentWords` words, with a window below of as many
    // words, and at least kWindowOdds / 64.
    Segment(const CandidatePattern& pattern, std::uint64_t segmentWords);

    // Sieves the words first .. end - 1 (at most `segmentWords` of them) with the
    // window below, and sorts every candidate in them into its class:
    //   1. the primes of window and segment, as bits, from the prime generator; when
    //      the last test was the full segment just below, its bits become the window;
    //   2. the candidates, from the pattern;
    //   3. hits by the sharp numbers of the window, 64 candidates at a time: each
    //      sharp number s shifts the prime bits by s / 2 and ORs them in;
    //   4. the rare candidate left over, against every sharp number one by one.
    // `runEnd`: where the run of segments this one starts or continues ends, a hint
    // for the prime generator.
    void test(std::uint64_t first, std::uint64_t end, std::uint64_t runEnd = 0);

    // The counts of the candidates c with from <= c <= to, inside the tested words.
    ClassCounts count(std::uint64_t from, std::uint64_t to) const;

    // The tossed candidates of the tested words, ascending.
    const std::vector<TossedCandidate>& tossed() const { return tossed_; }

    // Calls visit(c, cls) for every candidate from..to in ascending order.
    template <class Visit>
    void forEachCandidate(std::uint64_t from, std::uint64_t to, Visit&& visit) const;

private:
    void checkLeftovers();
    bool isPrimeOffset(std::uint64_t d) const;
    // The edge masks and word span of the odd numbers from..to, inside the segment.
    struct Span {
        bool empty;
        std::size_t firstLocal, lastLocal;
        std::uint64_t firstMask, lastMask;
    };
    Span spanOf(std::uint64_t from, std::uint64_t to) const;

    // The prime bits of the segment's word j.
    std::uint64_t primesOf(std::size_t j) const { return primes_.words()[primes_.windowWords() + j]; }

    const CandidatePattern& pattern_;
    std::uint64_t first_ = 0, end_ = 0;  // the tested words
    PrimeBits primes_;  // window and segment: 1 and the odd primes
    std::vector<std::uint64_t> candidates_;
    std::vector<std::uint64_t> hits_;  // the candidates that are sieve hits
    std::vector<TossedCandidate> tossed_;
};

template <class Visit>
void Segment::forEachCandidate(std::uint64_t from, std::uint64_t to, Visit&& visit) const {
    if (from > to || to == 0) return;
    const Span span = spanOf(from, to);
    if (span.empty) return;
    for (std::size_t j = span.firstLocal; j <= span.lastLocal; ++j) {
        std::uint64_t bits = candidates_[j];
        if (j == span.firstLocal) bits &= span.firstMask;
        if (j == span.lastLocal) bits &= span.lastMask;
        const std::uint64_t primes = primesOf(j);
        for (; bits != 0; bits &= bits - 1) {
            const int k = __builtin_ctzll(bits);
            const std::uint64_t c = 2 * (64 * (first_ + j) + static_cast<std::uint64_t>(k)) + 1;
            const bool hit = (hits_[j] >> k) & 1;
            const bool prime = (primes >> k) & 1;
            visit(c, hit ? (prime ? CandidateClass::truePrime : CandidateClass::falsePrime)
                         : (prime ? CandidateClass::tossedPrime : CandidateClass::tossedComposite));
        }
    }
}

}  // namespace sharp::survey
