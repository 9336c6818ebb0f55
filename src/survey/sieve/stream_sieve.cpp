#include "survey/sieve/stream_sieve.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

#include <primesieve.hpp>

#include "survey/sieve/wheel30.hpp"
#include "survey/vector_paths.hpp"

namespace sharp::survey {

namespace {

// Sieving primes below this many blocks (two multiples a block and more) cross off in
// the unrolled loops, every block visited; above they wait in buckets for the block
// they hit. A bucket entry's store and load cost more than a visit without a hit.
constexpr std::uint64_t kSmallPrimeBlocks = 4;

// The smallest of those cross off a piece of the block at a time, every one of them
// over a piece while it stays in the first-level cache (32 KiB on the machines we
// know): pass by pass over the whole block, each multiple was a line from the second.
// 10 % off the sieve on [0, 10^10].
constexpr std::uint64_t kPieceBytes = 1u << 15;

// Primes below this (64 multiples a piece and more) cross off in the loop unrolled
// over the wheel; from it on, one multiple at a time: the unrolled loop's way in and
// out of a piece costs them more than it saves.
constexpr std::uint64_t kMediumPrimeFrom = kPieceBytes / 8;

// The byte steps from a multiple p m to the next, m = 30 j + kResidues[w] to the next
// residue: a kStepA[w] + kStepOffset[r][w] for p = 30 a + kResidues[r]. The bit to
// clear: kClearMask[r][w].
constexpr std::array<std::uint32_t, 8> kStepA = [] {
    std::array<std::uint32_t, 8> step{};
    for (int w = 0; w < 8; ++w) step[w] = kResiduesAndNext[w + 1] - kResidues[w];
    return step;
}();
constexpr std::array<std::array<std::uint32_t, 8>, 8> kStepOffset = [] {
    std::array<std::array<std::uint32_t, 8>, 8> step{};
    for (int r = 0; r < 8; ++r) {
        for (int w = 0; w < 8; ++w) step[r][w] = kCrossOffset[r][w + 1] - kCrossOffset[r][w];
    }
    return step;
}();
constexpr std::array<std::array<std::uint8_t, 8>, 8> kClearMask = [] {
    std::array<std::array<std::uint8_t, 8>, 8> mask{};
    for (int r = 0; r < 8; ++r) {
        for (int w = 0; w < 8; ++w) mask[r][w] = static_cast<std::uint8_t>(~(1u << kCrossBit[r][w]));
    }
    return mask;
}();

// Bytes of the large primes' marks set at a time (2^16), and marks waiting per region:
// about four marks per cache line fetched.
constexpr unsigned kMarkRegionShift = 16;
constexpr std::uint32_t kPendingMarks = 1u << 13;

// The largest number whose square root a stream needs: 2^32 - 1 covers 2^64 - 1.
constexpr std::uint64_t kLargestSievingPrime = 4294967291u;

// The root of the last number of byte `byte`, capped where no prime lies beyond.
std::uint64_t sievingLimit(std::uint64_t byte) {
    if (byte >= byteOf(~std::uint64_t{0})) return kLargestSievingPrime;
    const std::uint64_t last = 30 * byte + 29;
    std::uint64_t root = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(last)));
    while (root * root > last) --root;
    while (root + 1 < (std::uint64_t{1} << 32) && (root + 1) * (root + 1) <= last) ++root;  // 2^32 squared wraps
    return root;
}

// x / p for a sieving prime p from 2^16 on, from `approximate`, off by one at most
// (see approximateQuotients), set right without a branch, which would go either way at
// random; below 2^16 by an integer division.
std::uint64_t quotient(std::uint64_t x, std::uint64_t p, std::uint64_t approximate) {
    if (p < (std::uint64_t{1} << 16)) return x / p;
    const std::int64_t rest = static_cast<std::int64_t>(x - approximate * p);
    approximate -= static_cast<std::uint64_t>(rest < 0);
    approximate += static_cast<std::uint64_t>(rest >= static_cast<std::int64_t>(p));
    return approximate;
}

// The quotients x / p of `count` primes below 2^32 in floating point, rounded to the
// nearest integer: for p from 2^16 on below 2^48 and within 0.05 of the exact one, so
// off by one at most. Far up a stream starts with up to 2 * 10^8 primes; in a loop of
// their own the conversions and divisions go four at a time, where one at a time they
// took most of the start (0.4 s of 0.55 at 10^18). The conversions go through 2^52:
// the vector units convert no 64-bit integers, and a floor would keep the loop scalar.
SHARP_WITH_VECTORS
void approximateQuotients(std::uint64_t x, const std::uint64_t* __restrict primes, std::size_t count,
                          std::uint64_t* __restrict out) {
    constexpr double kTwo52 = 4503599627370496.0;
    constexpr std::uint64_t kTwo52Bits = std::bit_cast<std::uint64_t>(kTwo52);
    const double dividend = static_cast<double>(x);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t pBits = primes[i] | kTwo52Bits;
        double p;
        std::memcpy(&p, &pBits, 8);
        const double q = dividend / (p - kTwo52) + kTwo52;  // p exact; adding 2^52 rounds q
        std::uint64_t qBits;
        std::memcpy(&qBits, &q, 8);
        out[i] = qBits - kTwo52Bits;
    }
}

// For m % Period, the first wheel index w with residues[w] >= m % Period (Period - 1
// is the last residue).
template <std::size_t Period, class Residues>
constexpr std::array<std::uint8_t, Period> wheelIndexFrom(const Residues& residues) {
    std::array<std::uint8_t, Period> index{};
    for (unsigned m = 0; m < Period; ++m) {
        std::uint8_t w = 0;
        while (residues[w] < m) ++w;
        index[m] = w;
    }
    return index;
}
constexpr auto kWheelIndexFrom = wheelIndexFrom<30>(kResidues);

// Bucket and large primes skip the multiples p m with 7 | m too, which the pattern has
// crossed off already: m = 210 j + kResidues210[w], 48 residues a cycle where 30 has 8,
// so they cross 14 % fewer. Then p m lies in byte 7 p j + a kResidues210[w] + r
// kResidues210[w] / 30, for p = 30 a + r.
constexpr std::size_t kResidues210Count = 48;
constexpr std::array<std::uint32_t, kResidues210Count + 1> kResidues210 = [] {
    std::array<std::uint32_t, kResidues210Count + 1> residues{};
    std::size_t count = 0;
    for (std::uint32_t m = 1; m < 210; ++m) {
        if (m % 2 != 0 && m % 3 != 0 && m % 5 != 0 && m % 7 != 0) residues[count++] = m;
    }
    residues[count] = 211;  // the next cycle's first
    return residues;
}();

constexpr auto kWheel210IndexFrom = wheelIndexFrom<210>(kResidues210);

// A wheel place r << 6 | w of a bucket or large prime (r the bit of p % 30, w below
// 48), as bucket entries and marks walk it: the bit its multiple clears, the step to
// the next one (a stepA + stepOffset bytes) and the place there, in one load.
struct WheelStep {
    std::uint8_t clearMask, stepA, stepOffset, bit;
    std::uint32_t next;
};
constexpr unsigned kPlaceBits = 9;
constexpr std::array<WheelStep, 8 << 6> kWheelSteps = [] {
    std::array<WheelStep, 8 << 6> steps{};
    for (unsigned r = 0; r < 8; ++r) {
        const std::uint32_t residue = kResidues[r];
        for (unsigned w = 0; w < kResidues210Count; ++w) {
            const std::uint32_t m = kResidues210[w], next = kResidues210[w + 1];
            const auto bit = static_cast<std::uint8_t>(kBitOfResidue[residue * m % 30]);
            steps[r << 6 | w] = {static_cast<std::uint8_t>(~(1u << bit)), static_cast<std::uint8_t>(next - m),
                                 static_cast<std::uint8_t>(residue * next / 30 - residue * m / 30), bit,
                                 static_cast<std::uint32_t>(r << 6 | (w + 1) % kResidues210Count)};
        }
    }
    return steps;
}();

// `blockBytes`, checked before anything is sized by it.
std::size_t checkedBlockBytes(std::size_t blockBytes) {
    if (blockBytes < 8 || !std::has_single_bit(blockBytes)) throw std::invalid_argument("sieve blocks not a power of two");
    if (blockBytes > std::size_t{1} << (32 - kPlaceBits)) throw std::invalid_argument("sieve blocks over 8 MiB");
    return blockBytes;
}

}  // namespace

StreamSieve::StreamSieve(const WheelPattern& pattern, std::size_t blockBytes, std::size_t longestRead,
                         std::uint64_t longestStream, std::uint64_t largePrime)
    : pattern_(pattern),
      blockBytes_(checkedBlockBytes(blockBytes)),
      blockShift_(static_cast<unsigned>(std::countr_zero(blockBytes_))),
      // A power of two: a held byte's block is found with a mask.
      ringBlocks_(std::bit_ceil((longestRead + blockBytes_ - 1) / blockBytes_ + 1)),
      longestStream_(std::max<std::uint64_t>(longestStream, longestRead)),
      largePrime_(largePrime),
      ring_(allocateLarge(ringBlocks_ * blockBytes)) {
    if (pattern.largestPrime() < 7) throw std::invalid_argument("a sieve pattern without the multiples of 7");
    // A bucket prime p = 30 a + r steps at most 10 a + 10 bytes to its next multiple: so
    // many blocks ahead, and the block being crossed, each have a cursor of their own.
    const std::uint64_t blocksAhead = (largePrime / 3 + 10) / blockBytes + 1;
    cursors_.resize(std::bit_ceil(std::min(blocksAhead, longestStream_ / blockBytes + 1) + 1));
    if (longestStream_ >= std::uint64_t{1} << 31) throw std::length_error("a sieve stream longer than 2^31 bytes");
}

void StreamSieve::read(std::uint64_t from, std::uint64_t to, std::uint64_t horizon, std::uint8_t* out) {
    sieve(from, to, horizon);
    copy(from, to, out);
}

void StreamSieve::sieve(std::uint64_t from, std::uint64_t to, std::uint64_t horizon) {
    horizon = std::max(horizon, to - 1);
    // After sieving up to `to` (or as far as it is sieved already, when that is further),
    // the ring still holds `from` only if it is not too far back; otherwise a new stream.
    const auto reachable = [&] {
        if (!started_ || from < start_ || from > sievedEnd() || to - 1 > horizon_) return false;
        const std::uint64_t blocksHeld = std::max(blocksDone_, (to - start_ + blockBytes_ - 1) / blockBytes_);
        const std::uint64_t heldFrom = blocksHeld > ringBlocks_ ? start_ + (blocksHeld - ringBlocks_) * blockBytes_ : start_;
        return from >= heldFrom;
    };
    if (!reachable()) start(from, horizon);
    while (sievedEnd() < to) sieveNextBlock();
}

void StreamSieve::copy(std::uint64_t from, std::uint64_t to, std::uint8_t* out) const {
    if (!holds(from, to)) throw std::out_of_range("a sieve read outside the bytes it holds");
    for (std::uint64_t byte = from; byte < to;) {
        const std::uint64_t offset = (byte - start_) & (blockBytes_ - 1);
        const std::uint64_t take = std::min<std::uint64_t>(blockBytes_ - offset, to - byte);
        std::memcpy(out + (byte - from), heldByte(byte), take);
        byte += take;
    }
}

std::uint64_t StreamSieve::heldFrom() const {
    return start_ + (blocksDone_ > ringBlocks_ ? blocksDone_ - ringBlocks_ : 0) * blockBytes_;
}

std::uint64_t StreamSieve::wordAcrossBlocks(std::uint64_t byte) const {
    // The two blocks need not be next to each other in the ring.
    std::uint64_t word = 0;
    for (unsigned i = 0; i < 8; ++i) word |= std::uint64_t{*heldByte(byte + i)} << (8 * i);
    return word;
}

void StreamSieve::start(std::uint64_t from, std::uint64_t horizon) {
    started_ = true;
    start_ = from;
    // A longer read starts a stream anew there: the marks stay bounded.
    horizon_ = std::min(horizon, from + (longestStream_ - 1));
    blocksDone_ = 0;
    small_.clear();
    for (auto& list : medium_) list.clear();
    for (Chunk* list : buckets_) releaseChunks(list);
    for (Cursor& cursor : cursors_) {
        releaseChunks(cursor.chunks);
        cursor = Cursor{};
    }
    buckets_.assign((horizon_ - from) / blockBytes_ + 1, nullptr);
    const std::uint64_t limit = sievingLimit(horizon_);
    largeMarks_.assign(limit >= largePrime_ ? horizon_ - from + 1 : 0, 0);
    const std::size_t regions = (largeMarks_.size() >> kMarkRegionShift) + 1;
    pendingMarks_.resize(regions * kPendingMarks);
    pendingCount_.assign(regions, 0);
    // The pattern removes the multiples of the primes up to its largest.
    const std::uint64_t firstSievingPrime = pattern_.largestPrime() + 1;
    if (limit < firstSievingPrime) return;
    // The primes come a batch at a time: far up almost all are large, and a loop over
    // a batch overlaps their first multiples.
    primesieve::iterator primes(firstSievingPrime, limit);
    const std::uint64_t bucketFrom = std::min<std::uint64_t>(kSmallPrimeBlocks * blockBytes_, largePrime_);
    for (bool more = true; more;) {
        primes.generate_next_primes();
        const std::uint64_t* const batch = primes.primes_;
        std::size_t count = primes.size_;
        while (count > 0 && batch[count - 1] > limit) --count;
        more = count == primes.size_;
        std::size_t i = 0;
        for (; i < count && batch[i] < bucketFrom; ++i) addSievingPrime(batch[i]);
        std::size_t large = i;
        while (large < count && batch[large] < largePrime_) ++large;
        addBucketPrimes(batch + i, large - i);
        addLargePrimes(batch + large, count - large);
    }
    for (std::size_t region = 0; region < regions; ++region) applyMarks(region);
    // Each residue has its own crossing loop: primes of one residue in a row keep the
    // jump to it predicted (3 % on 10^9 numbers at 10^12).
    std::stable_sort(small_.begin(), small_.end(), [](const SmallPrime& x, const SmallPrime& y) { return x.r < y.r; });
}

template <std::uint64_t Period>
[[gnu::always_inline]] inline StreamSieve::FirstMultiple StreamSieve::firstMultipleOf(std::uint64_t p,
                                                                                    std::uint64_t below) const {
    static_assert(Period == 30 || Period == 210);
    // The first multiple p m to cross: m >= p (smaller ones have smaller factors) and
    // p m at or above the stream's first number; then the first such m coprime to Period.
    const std::uint64_t firstNumber = 30 * start_;
    const std::uint64_t m0 = std::max(p, below + (below * p != firstNumber));
    FirstMultiple first;
    first.a = static_cast<std::uint32_t>(p / 30);
    first.r = static_cast<std::uint8_t>(kBitOfResidue[p % 30]);
    first.cycle = m0 / Period;
    std::uint64_t residue;
    if constexpr (Period == 30) {
        first.w = kWheelIndexFrom[m0 % 30];
        residue = kResidues[first.w];
    } else {
        first.w = kWheel210IndexFrom[m0 % 210];
        residue = kResidues210[first.w];
    }
    // p m = 30 (Period / 30 p cycle + a residue) + (p % 30) residue.
    first.byte = Period / 30 * p * first.cycle + std::uint64_t{first.a} * residue + (p % 30) * residue / 30;
    return first;
}

void StreamSieve::addSievingPrime(std::uint64_t p) {
    const FirstMultiple first = firstMultipleOf<30>(p, 30 * start_ / p);
    const std::uint32_t a = first.a, r = first.r, w = first.w;
    if (first.byte > horizon_) return;
    if (p < kMediumPrimeFrom) {
        small_.push_back({p * first.cycle, a, first.r, first.w});
    } else {
        medium_[8 * r + w].append({static_cast<std::uint32_t>(first.byte - start_), a});
    }
}

template <class Use>
void StreamSieve::forEachFirstMultiple(const std::uint64_t* primes, std::size_t count, Use&& use) {
    // The quotients first, a batch in a vector loop: one at a time they took most of a
    // far stream's start.
    quotients_.resize(count);
    const std::uint64_t firstNumber = 30 * start_;
    approximateQuotients(firstNumber, primes, count, quotients_.data());
    for (std::size_t i = 0; i < count; ++i) {
        use(firstMultipleOf<210>(primes[i], quotient(firstNumber, primes[i], quotients_[i])));
    }
}

void StreamSieve::addBucketPrimes(const std::uint64_t* primes, std::size_t count) {
    // Bucket primes are below a job's length: nearly all have multiples in the stream,
    // so the branch is foreseen, and each is placed as soon as found.
    forEachFirstMultiple(primes, count, [this](const FirstMultiple& first) {
        if (first.byte <= horizon_) place(first.a, first.r, first.w, first.byte);
    });
}

void StreamSieve::addLargePrimes(const std::uint64_t* primes, std::size_t count) {
    // Far up most have no multiple in the stream: which ones do is decided without a
    // branch, which would go either way at random, and they are marked in a loop of their own.
    hitting_.resize(count);
    std::size_t hits = 0;
    forEachFirstMultiple(primes, count, [&](const FirstMultiple& first) {
        hitting_[hits] = first;
        hits += first.byte <= horizon_;
    });
    for (std::size_t i = 0; i < hits; ++i) markLarge(hitting_[i].a, hitting_[i].r, hitting_[i].w, hitting_[i].byte);
}

StreamSieve::Chunk* StreamSieve::takeChunk() {
    if (freeChunks_ == nullptr) {
        chunkSlabs_.push_back(allocateLarge(kSlabChunks * sizeof(Chunk)));
        Chunk* const slab = reinterpret_cast<Chunk*>(chunkSlabs_.back().get());
        for (std::size_t k = 0; k < kSlabChunks; ++k) {
            Chunk* const chunk = new (slab + k) Chunk;
            chunk->next = freeChunks_;
            freeChunks_ = chunk;
        }
    }
    Chunk* const chunk = freeChunks_;
    freeChunks_ = chunk->next;
    chunk->next = nullptr;
    chunk->count = 0;
    return chunk;
}

void StreamSieve::releaseChunks(Chunk* list) {
    while (list != nullptr) {
        Chunk* const next = list->next;
        list->next = freeChunks_;
        freeChunks_ = list;
        list = next;
    }
}

void StreamSieve::place(std::uint32_t a, std::uint32_t r, std::uint32_t w, std::uint64_t byte) {
    // A first multiple may lie anywhere in the stream, beyond the cursors' reach.
    const std::uint64_t at = byte - start_;
    Chunk*& head = buckets_[at >> blockShift_];
    if (head == nullptr || head->count == kChunkEntries) [[unlikely]] {
        Chunk* const chunk = takeChunk();
        chunk->next = head;
        head = chunk;
    }
    const std::uint32_t offset = static_cast<std::uint32_t>(at & (blockBytes_ - 1));
    head->entries[head->count++] = {a, offset << kPlaceBits | r << 6 | w};
}

void StreamSieve::markLarge(std::uint64_t a, std::uint32_t r, std::uint32_t w, std::uint64_t byte) {
    const std::uint64_t last = horizon_ - start_;
    for (std::uint64_t at = byte - start_, place = r << 6 | w; at <= last;) {
        const WheelStep step = kWheelSteps[place];
        const std::size_t region = static_cast<std::size_t>(at >> kMarkRegionShift);
        const std::uint32_t offset = static_cast<std::uint32_t>(at & ((std::uint64_t{1} << kMarkRegionShift) - 1));
        pendingMarks_[region * kPendingMarks + pendingCount_[region]] = offset << 3 | step.bit;
        if (++pendingCount_[region] == kPendingMarks) applyMarks(region);
        at += a * step.stepA + step.stepOffset;
        place = step.next;
    }
}

void StreamSieve::applyMarks(std::size_t region) {
    std::uint8_t* const marks = largeMarks_.data() + (region << kMarkRegionShift);
    const std::uint32_t* const pending = pendingMarks_.data() + region * kPendingMarks;
    const std::uint32_t count = pendingCount_[region];
    // The region is fetched line by line in order first, as the processor streams it;
    // fetched by the marks in their order, each line was a wait for memory.
    const std::size_t regionBytes = std::min<std::size_t>(std::size_t{1} << kMarkRegionShift,
                                                          largeMarks_.size() - (region << kMarkRegionShift));
    for (std::size_t line = 0; line < regionBytes; line += 64) __builtin_prefetch(marks + line, 1);
    for (std::uint32_t i = 0; i < count; ++i) {
        marks[pending[i] >> 3] |= static_cast<std::uint8_t>(1u << (pending[i] & 7));
    }
    pendingCount_[region] = 0;
}

void StreamSieve::clearMarked(std::uint8_t* bits, std::uint64_t blockStart) const {
    if (largeMarks_.empty() || blockStart > horizon_) return;
    const std::uint8_t* const marks = largeMarks_.data() + (blockStart - start_);
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(blockBytes_, horizon_ + 1 - blockStart));
    for (std::size_t i = 0; i < count; ++i) bits[i] &= static_cast<std::uint8_t>(~marks[i]);
}

void StreamSieve::sieveNextBlock() {
    const std::uint64_t block = blocksDone_;
    const std::uint64_t blockStart = start_ + block * blockBytes_;
    std::uint8_t* const bits = ring_.get() + (block & (ringBlocks_ - 1)) * blockBytes_;
    pattern_.fill(blockStart, blockBytes_, bits);
    keepPrimes(blockStart, blockBytes_, bits, pattern_.largestPrime());
    for (std::uint64_t piece = blockStart; piece < blockStart + blockBytes_; piece += kPieceBytes) {
        const std::uint64_t end = std::min<std::uint64_t>(piece + kPieceBytes, blockStart + blockBytes_);
        for (SmallPrime& prime : small_) crossSmall(prime, bits, blockStart, end);
    }
    crossMedium(bits, blockStart, blockStart + blockBytes_);
    if (block < buckets_.size()) crossBucket(block, bits, blockStart);
    clearMarked(bits, blockStart);
    ++blocksDone_;
}

namespace {

// Crosses off the multiples of p = 30 a + kResidues[R] in one block: the rest of the
// cycle it stopped in, whole cycles of eight at distances fixed for the prime, then
// the start of the next. Instantiated per residue so the masks are constants.
template <unsigned R>
void crossResidue(std::uint64_t& cycleOut, std::uint8_t& wOut, std::uint64_t a, std::uint8_t* block,
                  std::uint64_t blockStart, std::uint64_t end) {
    constexpr auto offsets = kCrossOffset[R];
    constexpr auto bits = kCrossBit[R];
    const std::uint64_t p = 30 * a + kResidues[R];
    const std::uint64_t o0 = a * 1 + offsets[0], o1 = a * 7 + offsets[1], o2 = a * 11 + offsets[2],
                        o3 = a * 13 + offsets[3], o4 = a * 17 + offsets[4], o5 = a * 19 + offsets[5],
                        o6 = a * 23 + offsets[6], o7 = a * 29 + offsets[7];
    const std::uint64_t off[8] = {o0, o1, o2, o3, o4, o5, o6, o7};
    std::uint64_t cycle = cycleOut;
    unsigned w = wOut;
    if (w != 0) {
        for (; w < 8; ++w) {
            if (cycle + off[w] >= end) {
                cycleOut = cycle;
                wOut = static_cast<std::uint8_t>(w);
                return;
            }
            block[cycle + off[w] - blockStart] &= static_cast<std::uint8_t>(~(1u << bits[w]));
        }
        cycle += p;
    }
    if (cycle + o7 < end) {
        std::uint8_t* at = block + (cycle - blockStart);
        std::uint8_t* const last = block + (end - blockStart) - o7;  // cycles starting before it fit whole
        for (; at < last; at += p) {
            at[o0] &= static_cast<std::uint8_t>(~(1u << bits[0]));
            at[o1] &= static_cast<std::uint8_t>(~(1u << bits[1]));
            at[o2] &= static_cast<std::uint8_t>(~(1u << bits[2]));
            at[o3] &= static_cast<std::uint8_t>(~(1u << bits[3]));
            at[o4] &= static_cast<std::uint8_t>(~(1u << bits[4]));
            at[o5] &= static_cast<std::uint8_t>(~(1u << bits[5]));
            at[o6] &= static_cast<std::uint8_t>(~(1u << bits[6]));
            at[o7] &= static_cast<std::uint8_t>(~(1u << bits[7]));
        }
        cycle = blockStart + static_cast<std::uint64_t>(at - block);
    }
    for (w = 0; w < 8 && cycle + off[w] < end; ++w) {
        block[cycle + off[w] - blockStart] &= static_cast<std::uint8_t>(~(1u << bits[w]));
    }
    cycleOut = cycle;
    wOut = static_cast<std::uint8_t>(w);  // not 8: a whole cycle would have fitted
}

}  // namespace

void StreamSieve::crossSmall(SmallPrime& prime, std::uint8_t* block, std::uint64_t blockStart, std::uint64_t end) const {
    switch (prime.r) {
        case 0: return crossResidue<0>(prime.cycle, prime.w, prime.a, block, blockStart, end);
        case 1: return crossResidue<1>(prime.cycle, prime.w, prime.a, block, blockStart, end);
        case 2: return crossResidue<2>(prime.cycle, prime.w, prime.a, block, blockStart, end);
        case 3: return crossResidue<3>(prime.cycle, prime.w, prime.a, block, blockStart, end);
        case 4: return crossResidue<4>(prime.cycle, prime.w, prime.a, block, blockStart, end);
        case 5: return crossResidue<5>(prime.cycle, prime.w, prime.a, block, blockStart, end);
        case 6: return crossResidue<6>(prime.cycle, prime.w, prime.a, block, blockStart, end);
        default: return crossResidue<7>(prime.cycle, prime.w, prime.a, block, blockStart, end);
    }
}

namespace {

// One multiple of a medium prime p = 30 a + kResidues[R], the W-th of its cycle: false
// at the end of the block. The step to the next is a constant multiple of a.
template <unsigned R, unsigned W>
bool crossOne(std::uint64_t& byte, std::uint64_t a, std::uint8_t* block, std::uint64_t blockStart,
              std::uint64_t end) {
    if (byte >= end) return false;
    block[byte - blockStart] &= kClearMask[R][W];
    byte += a * kStepA[W] + kStepOffset[R][W];
    return true;
}

// Crosses off the multiples in one block of the medium primes of a list, residue R,
// each from the W-th of its cycle: unrolled over the cycle, so a multiple is a
// compare, a store and an addition. Each prime goes on to the list of where it stopped.
template <unsigned R, unsigned W>
void crossMediumList(const StreamSieve::MediumList& list, StreamSieve::MediumLists& next,
                     std::uint8_t* block, std::uint64_t blockStart, std::uint64_t end) {
    for (const StreamSieve::MediumPrime& prime : list) {
        std::uint64_t byte = prime.at;
        const std::uint64_t a = prime.a;
        const auto leave = [&](unsigned w) { next[8 * R + w].append({static_cast<std::uint32_t>(byte), prime.a}); };
        [&] {
            for (unsigned w = W;; w = 0) {
                switch (w) {
                    case 0: if (!crossOne<R, 0>(byte, a, block, blockStart, end)) return leave(0); [[fallthrough]];
                    case 1: if (!crossOne<R, 1>(byte, a, block, blockStart, end)) return leave(1); [[fallthrough]];
                    case 2: if (!crossOne<R, 2>(byte, a, block, blockStart, end)) return leave(2); [[fallthrough]];
                    case 3: if (!crossOne<R, 3>(byte, a, block, blockStart, end)) return leave(3); [[fallthrough]];
                    case 4: if (!crossOne<R, 4>(byte, a, block, blockStart, end)) return leave(4); [[fallthrough]];
                    case 5: if (!crossOne<R, 5>(byte, a, block, blockStart, end)) return leave(5); [[fallthrough]];
                    case 6: if (!crossOne<R, 6>(byte, a, block, blockStart, end)) return leave(6); [[fallthrough]];
                    default: if (!crossOne<R, 7>(byte, a, block, blockStart, end)) return leave(7);
                }
            }
        }();
    }
}

using CrossMediumList = void (*)(const StreamSieve::MediumList&, StreamSieve::MediumLists&,
                                 std::uint8_t*, std::uint64_t, std::uint64_t);

template <std::size_t... K>
constexpr std::array<CrossMediumList, 64> crossMediumLists(std::index_sequence<K...>) {
    return {&crossMediumList<K / 8, K % 8>...};
}

// The loop of each list, by 8 r + w.
constexpr std::array<CrossMediumList, 64> kCrossMediumList = crossMediumLists(std::make_index_sequence<64>());

}  // namespace

void StreamSieve::MediumList::grow() { primes_.resize(2 * primes_.size() + 64); }

void StreamSieve::crossMedium(std::uint8_t* block, std::uint64_t blockStart, std::uint64_t end) {
    // The lists count bytes from the stream's first.
    for (std::size_t k = 0; k < medium_.size(); ++k) {
        kCrossMediumList[k](medium_[k], mediumNext_, block, blockStart - start_, end - start_);
    }
    std::swap(medium_, mediumNext_);
    for (auto& list : mediumNext_) list.clear();
}

void StreamSieve::startChunk(Cursor& cursor) {
    if (cursor.chunks != nullptr) cursor.chunks->count = kChunkEntries;
    Chunk* const chunk = takeChunk();
    chunk->next = cursor.chunks;
    cursor.chunks = chunk;
    cursor.at = chunk->entries;
    cursor.end = chunk->entries + kChunkEntries;
}

void StreamSieve::crossBucket(std::uint64_t block, std::uint8_t* bits, std::uint64_t blockStart) {
    // A hit may land in this same block again: its lists are taken whole and walked,
    // and walked again for what came in meanwhile.
    Cursor& own = cursors_[block & (cursors_.size() - 1)];
    for (;;) {
        Chunk* const first = buckets_[block];
        Chunk* const next = own.chunks;
        if (first == nullptr && next == nullptr) return;
        buckets_[block] = nullptr;
        if (next != nullptr) next->count = static_cast<std::uint32_t>(own.at - next->entries);
        own = Cursor{};
        crossBucketList(first, bits, blockStart);
        crossBucketList(next, bits, blockStart);
        releaseChunks(first);
        releaseChunks(next);
    }
}

void StreamSieve::crossBucketList(const Chunk* list, std::uint8_t* bits, std::uint64_t blockStart) {
    // Locals: the stores into `bits` could be taken to change the members.
    const std::uint64_t last = horizon_ - blockStart;  // the stream's last byte, from this block's first
    const std::uint64_t fromStart = blockStart - start_;
    Cursor* const cursors = cursors_.data();
    const std::size_t cursorMask = cursors_.size() - 1;
    const unsigned shift = blockShift_;
    const std::uint64_t offsetMask = blockBytes_ - 1;
    for (const Chunk* chunk = list; chunk != nullptr; chunk = chunk->next) {
        const BucketEntry* const entries = chunk->entries;
        const std::uint32_t count = chunk->count;
        for (std::uint32_t i = 0; i < count; ++i) {
            const BucketEntry entry = entries[i];
            const std::uint32_t offset = entry.place >> kPlaceBits;
            const WheelStep step = kWheelSteps[entry.place & ((1u << kPlaceBits) - 1)];
            bits[offset] &= step.clearMask;
            const std::uint64_t next = offset + std::uint64_t{entry.a} * step.stepA + step.stepOffset;
            if (next > last) continue;
            const std::uint64_t at = fromStart + next;
            Cursor& cursor = cursors[(at >> shift) & cursorMask];
            if (cursor.at == cursor.end) [[unlikely]] startChunk(cursor);
            *cursor.at++ = {entry.a, static_cast<std::uint32_t>(at & offsetMask) << kPlaceBits | step.next};
        }
    }
}

}  // namespace sharp::survey
