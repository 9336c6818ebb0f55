#include "survey/check/segment.hpp"

#include <algorithm>
#include <bit>

#include "survey/check/primality.hpp"
#include "survey/check/sharp_check.hpp"
#include "survey/check/word_filter.hpp"

// Counting runs over every word of every segment; with the processor's population
// count it takes a fraction of the time, so that path is chosen at load time where
// the processor has it.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define SHARP_WITH_POPCNT __attribute__((target_clones("popcnt", "default")))
#else
#define SHARP_WITH_POPCNT
#endif

namespace sharp::survey {

namespace {

SHARP_WITH_POPCNT
ClassCounts countWords(const std::uint64_t* primes, const std::uint64_t* candidates, const std::uint64_t* hits,
                       std::size_t first, std::size_t last, std::uint64_t firstMask, std::uint64_t lastMask) {
    std::uint64_t candidateCount = 0, hitCount = 0, trueCount = 0, tossedPrimeCount = 0;
    for (std::size_t j = first; j <= last; ++j) {
        std::uint64_t mask = ~std::uint64_t{0};
        if (j == first) mask &= firstMask;
        if (j == last) mask &= lastMask;
        const std::uint64_t c = candidates[j] & mask;
        const std::uint64_t h = hits[j] & mask;
        candidateCount += static_cast<std::uint64_t>(std::popcount(c));
        hitCount += static_cast<std::uint64_t>(std::popcount(h));
        trueCount += static_cast<std::uint64_t>(std::popcount(h & primes[j]));
        tossedPrimeCount += static_cast<std::uint64_t>(std::popcount(c & ~h & primes[j]));
    }
    ClassCounts counts;
    counts.candidates = candidateCount;
    counts.hits = hitCount;
    counts.truePrimes = trueCount;
    counts.falsePrimes = hitCount - trueCount;
    counts.tossedPrimes = tossedPrimeCount;
    counts.tossedComposites = candidateCount - hitCount - tossedPrimeCount;
    return counts;
}

}  // namespace

Segment::Segment(const CandidatePattern& pattern, std::uint64_t segmentWords)
    : pattern_(pattern),
      primes_(std::max<std::size_t>(segmentWords, kWindowOdds / 64), segmentWords),
      candidates_(segmentWords),
      hits_(segmentWords) {}

void Segment::test(std::uint64_t first, std::uint64_t end, std::uint64_t runEnd) {
    first_ = first;
    end_ = end;
    primes_.sieve(first, end, std::max(end, runEnd));
    pattern_.fill(first, end - first, candidates_.data());
    filterByWindowSharps(primes_.words(), primes_.windowWords(), candidates_.data(), hits_.data(), end - first);
    checkLeftovers();
}

bool Segment::isPrimeOffset(std::uint64_t d) const {
    const std::uint64_t index = d >> 1;
    const std::int64_t word = static_cast<std::int64_t>(index / 64);
    if (word >= primes_.base() && static_cast<std::uint64_t>(word) < end_) {
        return (primes_.words()[static_cast<std::size_t>(word - primes_.base())] >> (index % 64)) & 1;
    }
    return isPrime64(d);
}

void Segment::checkLeftovers() {
    tossed_.clear();
    const std::size_t words = end_ - first_;
        for (std::size_t j = 0; j < words; ++j) {
        for (std::uint64_t left = candidates_[j] & ~hits_[j]; left != 0; left &= left - 1) {
            const int k = std::countr_zero(left);
            const std::uint64_t c = 2 * (64 * (first_ + j) + static_cast<std::uint64_t>(k)) + 1;
            // Above the window's sharp numbers, the filter has tried all of them already.
            const std::size_t skipped = c > kLargestWindowSharp ? kWindowSharpCount : 0;
            if (hasSharpOffset(c, [this](std::uint64_t d) { return isPrimeOffset(d); }, skipped)) {
                hits_[j] |= std::uint64_t{1} << k;
            } else {
                tossed_.push_back({c, ((primesOf(j) >> k) & 1) != 0});
            }
        }
    }
}

Segment::Span Segment::spanOf(std::uint64_t from, std::uint64_t to) const {
    // The odd numbers from..to have indexes from / 2 .. (to - 1) / 2 (to >= 1).
    const std::uint64_t firstIndex = std::max(from >> 1, 64 * first_);
    const std::uint64_t lastIndex = std::min((to - 1) >> 1, 64 * end_ - 1);
    Span span;
    span.empty = firstIndex > lastIndex;
    span.firstLocal = static_cast<std::size_t>(firstIndex / 64 - first_);
    span.lastLocal = static_cast<std::size_t>(lastIndex / 64 - first_);
    span.firstMask = ~std::uint64_t{0} << (firstIndex % 64);
    span.lastMask = ~std::uint64_t{0} >> (63 - lastIndex % 64);
    return span;
}

ClassCounts Segment::count(std::uint64_t from, std::uint64_t to) const {
    if (from > to || to == 0) return {};
    const Span span = spanOf(from, to);
    if (span.empty) return {};
    return countWords(primes_.words() + primes_.windowWords(), candidates_.data(), hits_.data(), span.firstLocal,
                      span.lastLocal, span.firstMask, span.lastMask);
}

}  // namespace sharp::survey
