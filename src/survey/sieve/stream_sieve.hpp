// The survey's own segmented sieve: the prime bits of consecutive blocks of bytes (30
// numbers each), kept in a ring so that a segment and the window below it can be read
// back. Its sieving primes are found once per stream, a worker's job, and carry their
// next multiple from block to block, each in its tier by how often it hits a block:
// the pattern of the smallest (wheel_pattern), small primes (many multiples a block),
// medium ones (a few), bucket primes (less than a few) and, far up, large ones that
// mark the whole stream at once as they are found (large_marks).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "survey/sieve/bucket_primes.hpp"
#include "survey/sieve/first_multiples.hpp"
#include "survey/sieve/large_marks.hpp"
#include "survey/sieve/medium_primes.hpp"
#include "survey/sieve/shared_large_marks.hpp"
#include "survey/sieve/sieve_ring.hpp"
#include "survey/sieve/small_primes.hpp"
#include "survey/sieve/wheel_pattern.hpp"

namespace sharp::survey {

// How it is read:
// - A stream goes forward. A read's bytes are sieved up to its end and stay held until
//   the ring's length of later bytes is sieved: a read may reach back into what is
//   held (a segment and the window below it), never further.
// - A read of bytes no longer held, or before the stream, or past its horizon, starts
//   a new stream at its first byte: slower, never stale bits.
// - copy, byteAt and wordAt only look at what is held: copy refuses anything else
//   with std::out_of_range; byteAt and wordAt, in the hot loops, are checked where
//   SHARP_CHECK_CONTRACTS is defined (the sanitizer builds).

class StreamSieve {
public:
    // Sieves blocks of `blockBytes` (a power of two from 8 on); reads take at most `longestRead`
    // bytes; a stream reaches at most `longestStream` bytes, below 2^31 (its marks of
    // large primes take as many); sieving primes from `largePrime` on mark the stream at once.
    StreamSieve(const WheelPattern& pattern, std::size_t blockBytes, std::size_t longestRead,
                std::uint64_t longestStream, std::uint64_t largePrime);

    // Writes the prime bits of bytes from .. to - 1 to `out`: bits of 1 and of the
    // primes from 7 on. Goes on sieving where it stopped when it still holds `from`;
    // otherwise starts a new stream at `from`, with sieving primes up to the root of
    // the last number of byte `horizon` (at least to - 1), the end of the job, or of
    // the longest stream from `from`.
    void read(std::uint64_t from, std::uint64_t to, std::uint64_t horizon, std::uint8_t* out);

    // Streams that `shared` covers take their large primes' marks from it (it outlives
    // this sieve); null, or a stream it does not cover, marks its own.
    void shareLargeMarks(const SharedLargeMarks* shared) { shared_ = shared; }

    // The same in two steps: sieve up to `to`, after which the bytes from heldFrom()
    // (at most `from`) to `to` - 1 can be copied or looked up, until the next sieve.
    void sieve(std::uint64_t from, std::uint64_t to, std::uint64_t horizon);
    void copy(std::uint64_t from, std::uint64_t to, std::uint8_t* out) const;
    // Bytes from .. to - 1 where they lie in one piece of the ring, held; else null.
    const std::uint8_t* heldInOnePiece(std::uint64_t from, std::uint64_t to) const {
        if (!holds(from, to) || from == to) return nullptr;
        const std::uint8_t* const first = ring_.byte(from - start_);
        return ring_.byte(to - 1 - start_) - first == static_cast<std::ptrdiff_t>(to - 1 - from) ? first : nullptr;
    }
    // The first byte still held: the stream's, or the ring's length back from its end.
    std::uint64_t heldFrom() const;
    // The prime bits of byte `byte`, held, and of the 8 bytes from it on as a word (the
    // first byte lowest). Inline: the word check looks up a dozen for a word with a
    // candidate left.
    std::uint8_t byteAt(std::uint64_t byte) const {
        checkHeld(byte, byte + 1);
        return *ring_.byte(byte - start_);
    }
    // Asks the cache for byte `byte`, held, ahead of a wordAt.
    void prefetch(std::uint64_t byte) const { __builtin_prefetch(ring_.byte(byte - start_)); }
    std::uint64_t wordAt(std::uint64_t byte) const {
        checkHeld(byte, byte + 8);
        if (((byte - start_) & (blockBytes_ - 1)) > blockBytes_ - 8) [[unlikely]] return wordAcrossBlocks(byte);
        std::uint64_t word;
        std::memcpy(&word, ring_.byte(byte - start_), 8);
        return word;
    }

private:
    void start(std::uint64_t from, std::uint64_t horizon);
    void addSievingPrime(std::uint64_t p);  // small or medium
    void addBucketPrimes(const std::uint64_t* primes, std::size_t count);
    void addLargePrimes(const std::uint64_t* primes, std::size_t count);
    void sieveNextBlock();
    std::uint64_t sievedEnd() const { return start_ + blocksDone_ * blockBytes_; }
    bool holds(std::uint64_t from, std::uint64_t to) const {
        return started_ && from <= to && from >= heldFrom() && to <= sievedEnd();
    }
    void checkHeld([[maybe_unused]] std::uint64_t from, [[maybe_unused]] std::uint64_t to) const {
#ifdef SHARP_CHECK_CONTRACTS
        if (!holds(from, to)) throw std::out_of_range("a sieve read outside the bytes it holds");
#endif
    }
    std::uint64_t wordAcrossBlocks(std::uint64_t byte) const;

    const WheelPattern& pattern_;
    const std::size_t blockBytes_;
    const unsigned blockShift_;  // blockBytes_ = 2^blockShift_
    const std::uint64_t longestStream_, largePrime_;
    SieveRing ring_;
    bool started_ = false;
    std::uint64_t start_ = 0, horizon_ = 0, blocksDone_ = 0;
    SmallPrimes small_;
    MediumPrimes medium_;
    BucketPrimes buckets_;
    LargeMarks large_;
    const SharedLargeMarks* shared_ = nullptr;
    bool usesShared_ = false;  // this stream's large marks are shared_'s
    std::vector<FirstMultiple> hitting_;  // a batch of large primes: those with multiples in the stream
    std::vector<std::uint64_t> quotients_;  // a batch's first number / p, off by one
};

}  // namespace sharp::survey
