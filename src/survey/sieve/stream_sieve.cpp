#include "survey/sieve/stream_sieve.hpp"

#include <algorithm>
#include <bit>

#include <primesieve.hpp>

namespace sharp::survey {

namespace {

// Sieving primes below this many blocks (two multiples a block and more) cross off in
// the unrolled loops, every block visited; above they wait in buckets for the block
// they hit. A bucket entry's store and load cost more than a visit without a hit.
constexpr std::uint64_t kSmallPrimeBlocks = 4;

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
      longestStream_(std::max<std::uint64_t>(longestStream, longestRead)),
      largePrime_(largePrime),
      ring_(blockShift_, longestRead),
      buckets_(blockBytes_, blockShift_, largePrime, longestStream_) {
    if (pattern.largestPrime() < 7) throw std::invalid_argument("a sieve pattern without the multiples of 7");
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
        const std::uint64_t ringBlocks = ring_.blocks();
        const std::uint64_t heldFrom = blocksHeld > ringBlocks ? start_ + (blocksHeld - ringBlocks) * blockBytes_ : start_;
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
        std::memcpy(out + (byte - from), ring_.byte(byte - start_), take);
        byte += take;
    }
}

std::uint64_t StreamSieve::heldFrom() const {
    return start_ + (blocksDone_ > ring_.blocks() ? blocksDone_ - ring_.blocks() : 0) * blockBytes_;
}

std::uint64_t StreamSieve::wordAcrossBlocks(std::uint64_t byte) const {
    // The two blocks need not be next to each other in the ring.
    std::uint64_t word = 0;
    for (unsigned i = 0; i < 8; ++i) word |= std::uint64_t{*ring_.byte(byte + i - start_)} << (8 * i);
    return word;
}

void StreamSieve::start(std::uint64_t from, std::uint64_t horizon) {
    started_ = true;
    start_ = from;
    // A longer read starts a stream anew there: the marks stay bounded.
    horizon_ = std::min(horizon, from + (longestStream_ - 1));
    blocksDone_ = 0;
    small_.clear();
    medium_.clear();
    buckets_.start(start_, horizon_);
    usesShared_ = shared_ != nullptr && shared_->largePrime() == largePrime_ && shared_->covers(start_, horizon_);
    // With shared marks, the stream's own primes stop below the large ones.
    const std::uint64_t limit = usesShared_ ? std::min(sievingLimit(horizon_), largePrime_ - 1) : sievingLimit(horizon_);
    large_.start(limit >= largePrime_ ? horizon_ - from + 1 : 0);
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
    large_.applyAll();
    small_.sortByResidue();
}

void StreamSieve::addSievingPrime(std::uint64_t p) {
    const std::uint64_t firstNumber = 30 * start_;
    const FirstMultiple first = firstMultipleOf<30>(p, firstNumber / p, firstNumber);
    if (first.byte > horizon_) return;
    if (p < kMediumPrimeFrom) {
        small_.add(p, first);
    } else {
        medium_.add(first, start_);
    }
}

void StreamSieve::addBucketPrimes(const std::uint64_t* primes, std::size_t count) {
    // Bucket primes are below a job's length: nearly all have multiples in the stream,
    // so the branch is foreseen, and each is placed as soon as found.
    forEachFirstMultiple210(primes, count, 30 * start_, quotients_, [this](const FirstMultiple& first) {
        if (first.byte <= horizon_) buckets_.place(first.a, first.r, first.w, first.byte);
    });
}

void StreamSieve::addLargePrimes(const std::uint64_t* primes, std::size_t count) {
    // Far up most have no multiple in the stream: which ones do is decided without a
    // branch, which would go either way at random, and they are marked in a loop of their own.
    hitting_.resize(count);
    std::size_t hits = 0;
    forEachFirstMultiple210(primes, count, 30 * start_, quotients_, [&](const FirstMultiple& first) {
        hitting_[hits] = first;
        hits += first.byte <= horizon_;
    });
    const std::uint64_t last = horizon_ - start_;
    for (std::size_t i = 0; i < hits; ++i) {
        large_.mark(hitting_[i].a, hitting_[i].r, hitting_[i].w, hitting_[i].byte - start_, last);
    }
}

void StreamSieve::sieveNextBlock() {
    const std::uint64_t block = blocksDone_;
    const std::uint64_t blockStart = start_ + block * blockBytes_;
    std::uint8_t* const bits = ring_.block(block);
    // The pattern and the small primes a piece at a time: the piece the pattern wrote
    // is still in the first-level cache when they cross it.
    for (std::uint64_t piece = 0; piece < blockBytes_; piece += kPieceBytes) {
        const std::uint64_t count = std::min<std::uint64_t>(kPieceBytes, blockBytes_ - piece);
        pattern_.fill(blockStart + piece, count, bits + piece);
        keepPrimes(blockStart + piece, count, bits + piece, pattern_.largestPrime());
        small_.cross(bits, blockStart, blockStart + piece + count);
    }
    // The medium primes count bytes from the stream's first.
    medium_.cross(bits, blockStart - start_, blockStart + blockBytes_ - start_);
    buckets_.cross(block, bits, blockStart);
    if (blockStart <= horizon_) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(blockBytes_, horizon_ + 1 - blockStart));
        if (usesShared_) {
            shared_->clearMarked(bits, blockStart, count);
        } else if (!large_.empty()) {
            large_.clearMarked(bits, blockStart - start_, count);
        }
    }
    ++blocksDone_;
}

}  // namespace sharp::survey
