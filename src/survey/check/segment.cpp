#include "survey/check/segment.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

#include <unistd.h>

#include "survey/check/primality.hpp"
#include "survey/check/sharp_check.hpp"
#include "survey/check/word_filter.hpp"
#include "survey/vector_paths.hpp"

#if SHARP_HAS_AVX2_PATH
#include <immintrin.h>
#endif

namespace sharp::survey {

namespace {

// Bytes the sieve crosses off at a time: a block of 256 KiB stays in the second-level
// cache beside what the filter reads.
constexpr std::size_t kSieveBlockBytes = std::size_t{1} << 18;

// Where that cache holds 1 MiB or more, blocks of 512 KiB: every medium sieving prime
// is visited once a block, and high up those visits are much of the time. Not the
// whole cache: a block is half of it (256 KiB where it holds 512 KiB), as measured in
// bench/README.md.
constexpr std::size_t kLargeCacheBlockBytes = std::size_t{1} << 19;

std::size_t sieveBlockBytes() {
    static const long cacheBytes = sysconf(_SC_LEVEL2_CACHE_SIZE);  // 0 or -1 where unknown
    return cacheBytes >= 2 * static_cast<long>(kLargeCacheBlockBytes) ? kLargeCacheBlockBytes : kSieveBlockBytes;
}

// The sieve starts each block from the pattern of the primes up to here: crossing off
// their multiples one by one would cost more than a pass over the block per two or
// three of them.
constexpr std::uint32_t kPresievedUpTo = 163;

const WheelPattern& sievePattern() {
    static const WheelPattern pattern(kPresievedUpTo);
    return pattern;
}

// The bytes that hold the numbers of `words` odd-number words, with a word to spare at each end.
std::size_t segmentBytesFor(std::uint64_t words) { return static_cast<std::size_t>((128 * words) / 30 + 24); }

// The window the first segment of a job sieves below itself.
std::size_t firstWindowBytes(std::uint64_t segmentWords) {
    return std::max({kFilterWindowBytes, kWordWindowBytes, segmentBytesFor(segmentWords)}) & ~std::size_t{7};
}

// The longest range whose large primes' marks are made once for all its threads:
// 2^31 numbers, 72 MB of marks. A longer range has jobs of 2^30 numbers, which pay
// for their own; far up, a shorter one cut into a job per thread paid once per thread.
constexpr std::uint64_t kSharedMarksWords = std::uint64_t{1} << 24;

// The word check asks for the words of its first 16 moves 8 listed words ahead.
constexpr std::size_t kPrefetchedMoves = 16;
constexpr std::size_t kPrefetchWords = 8;

SHARP_WITH_POPCNT
ClassCounts countWordsOneByOne(const std::uint64_t* primes, const std::uint64_t* candidates, const std::uint64_t* hits,
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

#if SHARP_HAS_AVX2_PATH
// The bits of each byte of four quantities at once, counted by nibble from a table of
// 16 (no vector population count without AVX-512), summed over up to 31 vectors a
// byte can hold: four words an instruction where the processor's count takes one
// word, 4 % of the time at 10^11.
__attribute__((target("avx2"), always_inline)) inline __m256i bitsPerByte(__m256i v) {
    const __m256i nibbles = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4,  //
                                             0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4);
    const __m256i low = _mm256_set1_epi8(0x0f);
    return _mm256_add_epi8(_mm256_shuffle_epi8(nibbles, _mm256_and_si256(v, low)),
                           _mm256_shuffle_epi8(nibbles, _mm256_and_si256(_mm256_srli_epi16(v, 4), low)));
}

__attribute__((target("avx2"), always_inline)) inline __m256i load(const std::uint64_t* at) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
}

__attribute__((target("avx2"))) ClassCounts countWordsFourAtATime(const std::uint64_t* primes,
                                                                  const std::uint64_t* candidates,
                                                                  const std::uint64_t* hits, std::size_t words) {
    __m256i totals[4] = {_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256()};
    std::size_t j = 0;
    while (j + 4 <= words) {
        __m256i sums[4] = {_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256()};
        for (int round = 0; round < 31 && j + 4 <= words; ++round, j += 4) {
            const __m256i c = load(candidates + j), h = load(hits + j), p = load(primes + j);
            sums[0] = _mm256_add_epi8(sums[0], bitsPerByte(c));
            sums[1] = _mm256_add_epi8(sums[1], bitsPerByte(h));
            sums[2] = _mm256_add_epi8(sums[2], bitsPerByte(_mm256_and_si256(h, p)));
            sums[3] = _mm256_add_epi8(sums[3], bitsPerByte(_mm256_andnot_si256(h, _mm256_and_si256(c, p))));
        }
        for (int k = 0; k < 4; ++k) totals[k] = _mm256_add_epi64(totals[k], _mm256_sad_epu8(sums[k], _mm256_setzero_si256()));
    }
    std::uint64_t total[4];
    for (int k = 0; k < 4; ++k) {
        alignas(32) std::uint64_t lanes[4];
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), totals[k]);
        total[k] = lanes[0] + lanes[1] + lanes[2] + lanes[3];
    }
    ClassCounts counts;
    if (j < words) counts = countWordsOneByOne(primes, candidates, hits, j, words - 1, ~std::uint64_t{0}, ~std::uint64_t{0});
    counts.candidates += total[0];
    counts.hits += total[1];
    counts.truePrimes += total[2];
    counts.falsePrimes += total[1] - total[2];
    counts.tossedPrimes += total[3];
    counts.tossedComposites += total[0] - total[1] - total[3];
    return counts;
}
#endif

ClassCounts countWords(const std::uint64_t* primes, const std::uint64_t* candidates, const std::uint64_t* hits,
                       std::size_t first, std::size_t last, std::uint64_t firstMask, std::uint64_t lastMask) {
#if SHARP_HAS_AVX2_PATH
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2 && last > first + 1) {
        ClassCounts counts = countWordsOneByOne(primes, candidates, hits, first, first, firstMask, ~std::uint64_t{0});
        counts += countWordsOneByOne(primes, candidates, hits, last, last, ~std::uint64_t{0}, lastMask);
        counts += countWordsFourAtATime(primes + first + 1, candidates + first + 1, hits + first + 1, last - first - 1);
        return counts;
    }
#endif
    return countWordsOneByOne(primes, candidates, hits, first, last, firstMask, lastMask);
}

// A word's mask of the bits of byte `at` (0 .. 7) given by `bits`, all bits above it set.
std::uint64_t fromByte(std::size_t at, std::uint8_t bits) {
    return (~std::uint64_t{0} << (8 * at)) & ~(static_cast<std::uint64_t>(static_cast<std::uint8_t>(~bits)) << (8 * at));
}

// A word's mask of the bits of byte `at` given by `bits`, all bits below it set.
std::uint64_t upToByte(std::size_t at, std::uint8_t bits) {
    return (~std::uint64_t{0} >> (8 * (7 - at))) & ~(static_cast<std::uint64_t>(static_cast<std::uint8_t>(~bits)) << (8 * at));
}

}  // namespace

Segment::Segment(const WheelPattern& pattern, std::uint64_t segmentWords, const SharpSet& sharps)
    : longestWindow_(std::max({kFilterWindowBytes, kLongestWordWindowBytes, segmentBytesFor(segmentWords)}) & ~std::size_t{7}),
      firstWindow_(firstWindowBytes(segmentWords)),
      pattern_(pattern),
      sharps_(sharps),
      sieve_(sievePattern(), sieveBlockBytes(), longestWindow_ + segmentBytesFor(segmentWords),
             firstWindow_ + segmentBytesFor(kJobWords) + sieveBlockBytes(), kLargeSievingPrime) {
    const std::size_t words = segmentBytesFor(segmentWords) / 8 + 1;
    const std::size_t primeWords = kWordWindowBytes / 8 + words;
    const std::size_t bytes = 8 * (primeWords + 2 * words) + 4 * words;
    arrays_ = allocateLarge(bytes);
    std::memset(arrays_.get(), 0, bytes);
    primes_ = reinterpret_cast<std::uint64_t*>(arrays_.get());
    candidates_ = primes_ + primeWords;
    hits_ = candidates_ + words;
    leftWords_ = reinterpret_cast<std::uint32_t*>(hits_ + words);
}

std::unique_ptr<SharedLargeMarks> Segment::largeMarksFor(std::uint64_t first, std::uint64_t end,
                                                         std::uint64_t segmentWords) {
    if (end - first > kSharedMarksWords) return nullptr;
    // From where the first job's stream starts, below the range, to its last byte.
    const std::uint64_t firstByte = byteOf(128 * first) & ~std::uint64_t{7};
    const std::uint64_t from = firstByte - std::min<std::uint64_t>(firstWindowBytes(segmentWords), firstByte);
    const std::uint64_t last = byteOf(128 * (end - 1) + 127) | 7;
    if (sievingLimit(last) < kLargeSievingPrime) return nullptr;
    return std::make_unique<SharedLargeMarks>(from, last, kLargeSievingPrime);
}

void Segment::test(std::uint64_t first, std::uint64_t end, std::uint64_t jobEnd) {
    lowest_ = 128 * first;
    highest_ = 128 * (end - 1) + 127;
    firstByte_ = byteOf(128 * first) & ~std::uint64_t{7};
    endByte_ = (byteOf(128 * (end - 1) + 127) + 8) & ~std::uint64_t{7};
    const std::uint64_t jobLastByte = byteOf(128 * (std::max(end, jobEnd) - 1) + 127) | 7;
    const std::size_t bytes = static_cast<std::size_t>(endByte_ - firstByte_);
    readPrimes(jobLastByte);
    // The words try every sharp number their window reaches, those above it the candidates left.
    wordSharpCount_ = sharps_.filterSharps() + sharps_.wordSharpsWithin(window_);
    firstWordTried_ = firstWordAbove(wordSharpCount_);
    std::uint8_t* const candidateBytes = reinterpret_cast<std::uint8_t*>(candidates_);
    pattern_.fill(firstByte_, bytes, candidateBytes);
    keepCandidates(firstByte_, bytes, candidateBytes);
    filterBySharps(sharps_, reinterpret_cast<const std::uint8_t*>(segmentBits_), candidates_, hits_, bytes / 8,
                   wideFilter_);
    checkLeftovers();
}

void Segment::readPrimes(std::uint64_t jobLastByte) {
    // The first segment of a job sieves a window of its own first; a segment that
    // follows the last one finds it and the job's stream below it still held.
    sieve_.sieve(firstByte_ - std::min<std::uint64_t>(firstWindow_, firstByte_), endByte_, jobLastByte);
    window_ = std::min<std::uint64_t>(firstByte_ - sieve_.heldFrom(), longestWindow_);
    wideFilter_ = lowest_ >= kWideFilterFrom && window_ >= kWordWindowBytes;
    // The filter reads its window and the segment in one piece: where the sieve's
    // ring holds them in one, there; otherwise (once in 14 segments, and near 0,
    // where the window reaches below the first byte and has no primes) copied.
    const std::size_t reach = wideFilter_ ? kWordWindowBytes : kFilterWindowBytes;
    if (firstByte_ >= reach) {
        if (const std::uint8_t* const held = sieve_.heldInOnePiece(firstByte_ - reach, endByte_)) {
            segmentBits_ = reinterpret_cast<const std::uint64_t*>(held + reach);
            return;
        }
    }
    std::uint8_t* const segment = segmentPrimes();
    const std::size_t filterWindow = static_cast<std::size_t>(std::min<std::uint64_t>(reach, firstByte_));
    std::memset(segment - reach, 0, reach - filterWindow);
    sieve_.copy(firstByte_ - filterWindow, endByte_, segment - filterWindow);
    segmentBits_ = primes_ + kWordWindowBytes / 8;
}

std::uint64_t Segment::firstWordAbove(std::size_t sharpCount) const {
    // Offsets 3 and 5 have no bit: a word tried lies above them too.
    return sharpCount == 0 ? 0 : byteOf(sharps_.ascending()[sharpCount - 1] + 5) + 1;
}

bool Segment::isPrimeOffset(std::uint64_t d) const {
    const int bit = kBitOfResidue[d % 30];
    if (bit < 0) return d == 3 || d == 5;
    const std::uint64_t byte = byteOf(d);
    if (byte + window_ >= firstByte_ && byte < endByte_) return (sieve_.byteAt(byte) >> bit) & 1;
    return isPrime64(d);
}

void Segment::checkLeftovers() {
    tossed_.clear();
    const std::size_t words = static_cast<std::size_t>(endByte_ - firstByte_) / 8;
    // The words with a candidate left, listed without a branch first: about one in
    // eight has one, at random, and a branch per word missed that often.
    std::size_t listed = 0;
    for (std::size_t k = 0; k < words; ++k) {
        leftWords_[listed] = static_cast<std::uint32_t>(k);
        listed += (candidates_[k] & ~hits_[k]) != 0;
    }
    // The word check's moves: those of the sharp numbers the window reaches, beyond the
    // filter's. It reads the sieve megabytes below a word, from memory: the first
    // moves' words are asked for a few listed words ahead, so that their reads overlap.
    const std::span<const WordMove> wordMoves =
        sharps_.wordMoves(wideFilter_ ? sharps_.wideSharps() : 0, wordSharpCount_ - sharps_.filterSharps());
    const std::size_t fetched = std::min(wordMoves.size(), kPrefetchedMoves);
    for (std::size_t n = 0; n < listed; ++n) {
        const std::size_t k = leftWords_[n];
        if (n + kPrefetchWords < listed) {
            const std::uint64_t later = firstByte_ + 8 * leftWords_[n + kPrefetchWords];
            if (later >= firstWordTried_) {
                for (std::size_t m = 0; m < fetched; ++m) sieve_.prefetch(later - wordMoves[m].back);
            }
        }
        std::uint64_t left = candidates_[k] & ~hits_[k];
        const bool wordTried = firstByte_ + 8 * k >= firstWordTried_;
        if (wordTried) {
            const std::uint64_t word = firstByte_ + 8 * k;
            hits_[k] |= hitsBeyondFilter(wordMoves, [&](std::size_t back) { return sieve_.wordAt(word - back); }, left);
            left = candidates_[k] & ~hits_[k];
        }
        for (; left != 0; left &= left - 1) {
            const int i = std::countr_zero(left);
            const std::uint64_t c = 30 * (firstByte_ + 8 * k + static_cast<std::uint64_t>(i / 8)) + kResidues[i % 8];
            // The sharp numbers tried already: the filter's above them (offsets 3 and
            // 5 have no bit), and a word's.
            const std::size_t skipped = wordTried                          ? wordSharpCount_
                                        : c > kLargestWindowSharp + 5 ? sharps_.filterSharps()
                                                                           : 0;
            const auto isPrime = [this](std::uint64_t d) { return isPrimeOffset(d); };
            if (hasSharpOffset(c, isPrime, skipped, sharps_.ascending()) || hasOffsetBeyond(c, isPrime, sharps_.beyond())) {
                hits_[k] |= std::uint64_t{1} << i;
            } else {
                tossed_.push_back({c, ((primesOf(k) >> i) & 1) != 0});
            }
        }
    }
}

Segment::Span Segment::spanOf(std::uint64_t from, std::uint64_t to) const {
    // Neighbouring segments share a byte or two: each counts only its own numbers.
    from = std::max(from, lowest_);
    to = std::min(to, highest_);
    const std::uint64_t firstByte = std::max(byteOf(from), firstByte_);
    const std::uint64_t lastByte = std::min(byteOf(to), endByte_ - 1);
    Span span;
    span.empty = from > to || firstByte > lastByte;
    if (span.empty) return span;
    span.firstLocal = static_cast<std::size_t>((firstByte - firstByte_) / 8);
    span.lastLocal = static_cast<std::size_t>((lastByte - firstByte_) / 8);
    span.firstMask = fromByte((firstByte - firstByte_) % 8, firstByte == byteOf(from) ? bitsFrom(from) : 0xff);
    span.lastMask = upToByte((lastByte - firstByte_) % 8, lastByte == byteOf(to) ? bitsUpTo(to) : 0xff);
    return span;
}

ClassCounts Segment::count(std::uint64_t from, std::uint64_t to) const {
    if (from > to) return {};
    const Span span = spanOf(from, to);
    if (span.empty) return {};
    return countWords(segmentBits_, candidates_, hits_, span.firstLocal,
                      span.lastLocal, span.firstMask, span.lastMask);
}

}  // namespace sharp::survey
