#include "survey/segment.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "survey/primality.hpp"
#include "survey/sharp_check.hpp"

// Counting and shifting run over every word of every segment; with the processor's
// population count they take a fraction of the time, so that path is chosen at load
// time where the processor has it.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define SHARP_WITH_POPCNT __attribute__((target_clones("popcnt", "default")))
// The same for the word-wide filter, which runs four words per instruction with
// AVX2 and eight with AVX-512.
#define SHARP_WITH_VECTORS __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define SHARP_WITH_POPCNT
#define SHARP_WITH_VECTORS
#endif

namespace sharp::survey {

namespace {

// Up to here a worker's prime generator runs on from segment to segment of a run.
constexpr std::uint64_t kLongAimLimit = std::uint64_t{1} << 52;

// The largest prime below 2^64.
constexpr std::uint64_t kLargestPrime64 = 18446744073709551557u;

// Words the filter takes at a time: 8 KB of hits, which stay in the first-level
// cache beside the prime bits the shifts read.
constexpr std::size_t kFilterBlockWords = 1024;

// Eight words as one value: one AVX-512 register, two AVX2 ones, four SSE2 ones.
typedef std::uint64_t EightWords __attribute__((vector_size(64)));

// A sharp number as a shift of the prime bits: offsets c - s of the candidates of
// word j start at bit 64 (j - back) + shift, counted from the window's start.
struct SharpShift {
    std::size_t back;
    unsigned shift;
};

std::vector<SharpShift> windowShifts() {
    std::vector<SharpShift> shifts;
    for (const std::uint64_t s : windowSharpsByPromise()) {
        const std::uint64_t half = s / 2;
        const std::uint64_t back = (half + 63) / 64;
        shifts.push_back({static_cast<std::size_t>(back), static_cast<unsigned>(64 * back - half)});
    }
    return shifts;
}

// 64 bits of `bits` from bit 64 q + shift on; shift may be 0.
inline std::uint64_t bitsAt(const std::uint64_t* bits, std::size_t q, unsigned shift) {
    return (bits[q] >> shift) | ((bits[q + 1] << 1) << (63 - shift));
}

// Step 3 over the words of a segment, a block at a time so the block's words stay
// in the first-level cache: every sharp number ORs its shifted prime bits into
// every word. The same shift for every word lets the loop run over several words
// per instruction; testing every sharp number leaves the fewest candidates over.
SHARP_WITH_VECTORS
void filterWords(const std::uint64_t* primeBits, const std::uint64_t* candidates, std::uint64_t* hits, std::size_t words, std::size_t windowWords,
                 const SharpShift* shifts, std::size_t shiftCount) {
    for (std::size_t block = 0; block < words; block += kFilterBlockWords) {
        const std::size_t count = std::min(kFilterBlockWords, words - block);
        std::uint64_t* const found = hits + block;
        for (std::size_t j = 0; j < count; ++j) found[j] = 0;
        for (std::size_t k = 0; k < shiftCount; ++k) {
            const std::uint64_t* const source = primeBits + windowWords + block - shifts[k].back;
            const unsigned right = shifts[k].shift, left = 63 - right;
            // One sharp number over the block, eight words at a time with the same shift.
            std::size_t j = 0;
            for (; j + 8 <= count; j += 8) {
                EightWords low, high, into;
                std::memcpy(&low, source + j, sizeof low);
                std::memcpy(&high, source + j + 1, sizeof high);
                std::memcpy(&into, found + j, sizeof into);
                into |= (low >> right) | ((high << 1) << left);
                std::memcpy(found + j, &into, sizeof into);
            }
            for (; j < count; ++j) found[j] |= (source[j] >> right) | ((source[j + 1] << 1) << left);
        }
        for (std::size_t j = 0; j < count; ++j) found[j] &= candidates[block + j];
    }
}

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
      windowWords_(std::max<std::size_t>(segmentWords, kWindowOdds / 64)),
      primeBits_(windowWords_ + segmentWords + 1),
      candidates_(segmentWords),
      hits_(segmentWords) {}

void Segment::test(std::uint64_t first, std::uint64_t end, std::uint64_t runEnd) {
    const bool followsLast = first == end_ && end_ - first_ == windowWords_;
    first_ = first;
    end_ = end;
    base_ = static_cast<std::int64_t>(first) - static_cast<std::int64_t>(windowWords_);
    sievePrimes(followsLast, std::max(end, runEnd));
    markCandidates();
    filterByWindowSharps();
    checkLeftovers();
}

void Segment::sievePrimes(bool followsLast, std::uint64_t runEnd) {
    const std::size_t used = windowWords_ + (end_ - first_);
    const std::uint64_t* const previous = primeBits_.data() + windowWords_;
    std::uint64_t* const bits = primeBits_.data();
    std::uint64_t lowWord = base_ < 0 ? 0 : static_cast<std::uint64_t>(base_);
    if (followsLast) {
        // The segment just tested, a full one, is this one's window: only the segment is new.
        std::copy(previous, previous + windowWords_, bits);
        std::fill(bits + windowWords_, bits + used + 1, 0);
        lowWord = first_;
    } else {
        std::fill(bits, bits + used + 1, 0);
    }
    const std::uint64_t low = 128 * lowWord;
    const std::uint64_t high = 128 * (end_ - 1) + 127;  // the last odd number of the last word
    const std::uint64_t origin = 64 * (first_ - windowWords_);  // bit index of primeBits_[0], mod 2^64
    if (low == 0) bits[(0 - origin) / 64] |= std::uint64_t{1} << ((0 - origin) % 64);  // 1: offset 1 counts
    // A segment that follows its predecessor takes the primes where the generator
    // stopped; aiming it anew costs a sieve up to the square root (a second near 2^64).
    // Far up, though, the generator's buffers grow with every refill past its aim
    // (hundreds of MB by 10^17), so there each segment aims it afresh, at its own end.
    if (!followsLast || high > kLongAimLimit) {
        generator_.jump_to(low, high > kLongAimLimit ? high : std::max(high, 128 * (runEnd - 1) + 127));
        pending_ = kNothingPending;
    }
    try {
        for (;;) {
            std::size_t from = 0;
            if (pending_ != kNothingPending) {
                from = std::exchange(pending_, kNothingPending);
            } else {
                generator_.generate_next_primes();
            }
            const std::uint64_t* const primes = generator_.primes_;
            const std::size_t size = generator_.size_;
            // Only the last buffer reaches past `high`; its rest belongs to the next segment.
            const bool last = primes[size - 1] > high;
            const std::size_t end =
                last ? static_cast<std::size_t>(std::upper_bound(primes + from, primes + size, high) - primes) : size;
            if (from < end && primes[from] == 2) ++from;  // the bitmap holds odd numbers only
            for (std::size_t i = from; i < end; ++i) {
                const std::uint64_t bit = (primes[i] >> 1) - origin;
                bits[bit / 64] |= std::uint64_t{1} << (bit % 64);
            }
            if (last) {
                pending_ = end;
                return;
            }
        }
    } catch (const primesieve::primesieve_error&) {
        // The generator refuses to look past the largest 64-bit prime, where nothing
        // is left to find; anywhere else its failure is the survey's.
        pending_ = kNothingPending;
        if (high < kLargestPrime64) throw;
    }
}

void Segment::markCandidates() { pattern_.fill(first_, end_ - first_, candidates_.data()); }

void Segment::filterByWindowSharps() {
    static const std::vector<SharpShift> shifts = windowShifts();
    filterWords(primeBits_.data(), candidates_.data(), hits_.data(), end_ - first_, windowWords_, shifts.data(),
                shifts.size());
}

bool Segment::isPrimeOffset(std::uint64_t d) const {
    const std::uint64_t index = d >> 1;
    const std::int64_t word = static_cast<std::int64_t>(index / 64);
    if (word >= base_ && static_cast<std::uint64_t>(word) < end_) {
        return (primeBits_[static_cast<std::size_t>(word - base_)] >> (index % 64)) & 1;
    }
    return isPrime64(d);
}

void Segment::checkLeftovers() {
    tossed_.clear();
    const std::size_t words = end_ - first_;
    const std::size_t filtered = windowSharpsByPromise().size();
    for (std::size_t j = 0; j < words; ++j) {
        for (std::uint64_t left = candidates_[j] & ~hits_[j]; left != 0; left &= left - 1) {
            const int k = std::countr_zero(left);
            const std::uint64_t c = 2 * (64 * (first_ + j) + static_cast<std::uint64_t>(k)) + 1;
            // Above the window's sharp numbers, the filter has tried all of them already.
            const std::size_t skipped = c > kLargestWindowSharp ? filtered : 0;
            if (hasSharpOffset(c, [this](std::uint64_t d) { return isPrimeOffset(d); }, skipped)) {
                hits_[j] |= std::uint64_t{1} << k;
            } else {
                tossed_.push_back({c, ((primeBits_[windowWords_ + j] >> k) & 1) != 0});
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
    return countWords(primeBits_.data() + windowWords_, candidates_.data(), hits_.data(), span.firstLocal,
                      span.lastLocal, span.firstMask, span.lastMask);
}

}  // namespace sharp::survey
