// One segment of the survey: the primes of the segment and of the window below it,
// the candidates, and each candidate's class. Bitmaps hold 30 numbers a byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "survey/check/class_counts.hpp"
#include "survey/check/sharp_set.hpp"
#include "survey/check/word_filter.hpp"
#include "survey/sieve/large_buffer.hpp"
#include "survey/sieve/stream_sieve.hpp"
#include "survey/sieve/wheel30.hpp"
#include "survey/sieve/wheel_pattern.hpp"
#include "survey/survey_constants.hpp"

namespace sharp::survey {

class Segment {
public:
    // A segment of at most `segmentWords` odd-number words (128 numbers each), tested
    // against `sharps` (it outlives the segment).
    Segment(const WheelPattern& pattern, std::uint64_t segmentWords, const SharpSet& sharps = SharpSet::builtIn());

    // Tests the numbers of the odd-number words first .. end - 1 (at most
    // `segmentWords` of them), and sorts every candidate in them into its class:
    //   1. the primes of window and segment, as bits, from the survey's own sieve,
    //      which goes on from the last segment when this one follows it. The first
    //      segment of a job sieves a window of a segment's length below itself, so
    //      the one-by-one check looks up the offsets of every sharp number up to it
    //      instead of testing them (far up a test costs more than sieving the window);
    //      the later ones have the job's earlier segments below them, up to 7.3 MB;
    //   2. the candidates, from the pattern;
    //   3. hits by the filter's sharp numbers, up to 2^20 (from 2^30 on, up to 2^24),
    //      240 numbers at a time;
    //   4. the words with a candidate left, against the next sharp numbers up to 2^28
    //      that the window reaches, a word at a time;
    //   5. the rare candidate left over, against every sharp number one by one.
    // `jobEnd`: where the job of segments this one starts or continues ends, how far
    // the sieve's stream reaches.
    void test(std::uint64_t first, std::uint64_t end, std::uint64_t jobEnd = 0);

    // The large primes' marks of a survey of the words first .. end - 1, to be made
    // once by all its threads together (SharedLargeMarks::markShare) and read by
    // their segments; null where no large prime reaches the range, or where it is
    // longer than kSharedMarksWords and its jobs long enough to pay for their own.
    static std::unique_ptr<SharedLargeMarks> largeMarksFor(std::uint64_t first, std::uint64_t end,
                                                           std::uint64_t segmentWords);
    // Takes the large primes' marks from `shared` (it outlives this segment) where it
    // covers the stream.
    void shareLargeMarks(const SharedLargeMarks* shared) { sieve_.shareLargeMarks(shared); }

    // The counts of the candidates c with from <= c <= to, inside the tested words.
    ClassCounts count(std::uint64_t from, std::uint64_t to) const;

    // The tossed candidates of the tested bytes (a few beyond the words at each end),
    // ascending, handed over: a table that tosses almost every candidate lists
    // megabytes of them, which should not stay with the segment as well.
    std::vector<TossedCandidate> takeTossed() { return std::exchange(tossed_, {}); }

    // Calls visit(c, cls) for every candidate from..to in ascending order.
    template <class Visit>
    void forEachCandidate(std::uint64_t from, std::uint64_t to, Visit&& visit) const;

private:
    void readPrimes(std::uint64_t jobLastByte);
    void checkLeftovers();
    bool isPrimeOffset(std::uint64_t d) const;
    // The first byte above the smallest `sharpCount` sharp numbers' offsets 1, 3 and 5.
    std::uint64_t firstWordAbove(std::size_t sharpCount) const;
    // The words of the tested bytes that hold from..to inside the tested odd-number
    // words, and masks of their ends.
    struct Span {
        bool empty;
        std::size_t firstLocal, lastLocal;
        std::uint64_t firstMask, lastMask;
    };
    Span spanOf(std::uint64_t from, std::uint64_t to) const;
    // The prime bits of the segment's word k.
    std::uint64_t primesOf(std::size_t k) const { return segmentBits_[k]; }
    // The segment's first byte of prime bits: the filter's window lies below it.
    std::uint8_t* segmentPrimes() { return reinterpret_cast<std::uint8_t*>(primes_) + kWordWindowBytes; }

    const std::size_t longestWindow_;  // bytes of prime bits held below a segment at most: the words' reach
    const std::size_t firstWindow_;    // bytes a job's first segment sieves below itself: a segment, or more
    std::size_t window_ = 0;  // bytes of prime bits held below the segment this time
    bool wideFilter_ = false;  // the filter takes its wide sharp numbers too
    std::size_t wordSharpCount_ = 0;  // the sharp numbers tried a word at a time this time, the filter's too
    std::uint64_t firstWordTried_ = 0;  // the first byte above all of them
    const WheelPattern& pattern_;
    const SharpSet& sharps_;
    std::uint64_t firstByte_ = 0, endByte_ = 0;  // the tested bytes, a whole number of words
    std::uint64_t lowest_ = 0, highest_ = 0;  // the numbers of the tested odd-number words
    // The four arrays below in one piece of huge pages, zeroed: in pages of 4 KiB, their
    // faults were a large part of a short survey's start.
    LargeBuffer arrays_;
    std::uint64_t* primes_;  // the filter's window (up to kWordWindowBytes) and the segment: 1 and the primes from 7
    std::uint64_t* candidates_;
    std::uint64_t* hits_;  // the candidates that are sieve hits
    std::uint32_t* leftWords_;  // the words with a candidate the filter left
    std::vector<TossedCandidate> tossed_;
    StreamSieve sieve_;
    // The prime bits of the tested words, the filter's window below them: in the
    // sieve's ring, or copied to primes_. Valid until the next test.
    const std::uint64_t* segmentBits_ = nullptr;
};

template <class Visit>
void Segment::forEachCandidate(std::uint64_t from, std::uint64_t to, Visit&& visit) const {
    if (from > to) return;
    const Span span = spanOf(from, to);
    if (span.empty) return;
    for (std::size_t k = span.firstLocal; k <= span.lastLocal; ++k) {
        std::uint64_t bits = candidates_[k];
        if (k == span.firstLocal) bits &= span.firstMask;
        if (k == span.lastLocal) bits &= span.lastMask;
        const std::uint64_t primes = primesOf(k);
        for (; bits != 0; bits &= bits - 1) {
            const int i = __builtin_ctzll(bits);
            const std::uint64_t c = 30 * (firstByte_ + 8 * k + static_cast<std::uint64_t>(i / 8)) + kResidues[i % 8];
            const bool hit = (hits_[k] >> i) & 1;
            const bool prime = (primes >> i) & 1;
            visit(c, hit ? (prime ? CandidateClass::truePrime : CandidateClass::falsePrime)
                         : (prime ? CandidateClass::tossedPrime : CandidateClass::tossedComposite));
        }
    }
}

}  // namespace sharp::survey
