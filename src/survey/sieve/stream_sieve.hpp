// The survey's own segmented sieve: the prime bits of consecutive blocks of bytes (30
// numbers each), kept in a ring so that a segment and the window below it can be read
// back. Its sieving primes are found once per stream, a worker's job, and carry
// their next multiple from block to block: small ones cross off many multiples a
// cache-sized piece of the block in a loop unrolled over the wheel, the next ones
// fewer in loops unrolled per place in the wheel, a list for each; larger ones wait
// in buckets for the block they hit next; the many large ones of far up mark their
// few multiples in the whole stream at once, as they are found, and are not kept.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "survey/sieve/large_buffer.hpp"
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

    // The same in two steps: sieve up to `to`, after which the bytes from heldFrom()
    // (at most `from`) to `to` - 1 can be copied or looked up, until the next sieve.
    void sieve(std::uint64_t from, std::uint64_t to, std::uint64_t horizon);
    void copy(std::uint64_t from, std::uint64_t to, std::uint8_t* out) const;
    // The first byte still held: the stream's, or the ring's length back from its end.
    std::uint64_t heldFrom() const;
    // The prime bits of byte `byte`, held, and of the 8 bytes from it on as a word (the
    // first byte lowest). Inline: the word check looks up a dozen for a word with a
    // candidate left.
    std::uint8_t byteAt(std::uint64_t byte) const {
        checkHeld(byte, byte + 1);
        return *heldByte(byte);
    }
    std::uint64_t wordAt(std::uint64_t byte) const {
        checkHeld(byte, byte + 8);
        if (((byte - start_) & (blockBytes_ - 1)) > blockBytes_ - 8) [[unlikely]] return wordAcrossBlocks(byte);
        std::uint64_t word;
        std::memcpy(&word, heldByte(byte), 8);
        return word;
    }

private:
    // A sieving prime p = 30 a + kResidues[r] with many multiples a piece: its next
    // multiple is at byte cycle + a kResidues[w] + kCrossOffset[r][w].
    struct SmallPrime {
        std::uint64_t cycle;
        std::uint32_t a;
        std::uint8_t r, w;
    };
public:
    // A sieving prime p = 30 a + kResidues[r] with a few to a few hundred multiples a
    // block: the byte of its next one, m = 30 j + kResidues[w]. It is kept in the list
    // of its r and w, so that the crossing loop for a whole list enters the wheel at one place.
    struct MediumPrime {
        std::uint32_t at;  // the byte of its next multiple, from the stream's first: 8 bytes a prime
        std::uint32_t a;   // p = 30 a + r, its r known from its list
    };
    // A list that only grows or is emptied. Its append is inlined in the crossing loops
    // by force: called, it took a third of their time.
    class MediumList {
    public:
        [[gnu::always_inline]] void append(MediumPrime prime) {
            if (size_ == primes_.size()) [[unlikely]] grow();
            primes_[size_++] = prime;
        }
        void clear() { size_ = 0; }
        const MediumPrime* begin() const { return primes_.data(); }
        const MediumPrime* end() const { return primes_.data() + size_; }

    private:
        void grow();
        std::vector<MediumPrime> primes_;
        std::size_t size_ = 0;
    };
    using MediumLists = std::array<MediumList, 64>;  // by 8 r + w

private:
    // A sieving prime that hits a block less often: where in its block it hits next.
    struct BucketEntry {
        std::uint32_t a;
        std::uint32_t place;  // offset in the block << 9 | r << 6 | w, w of the wheel of 210
    };
    // Entries are kept in chunks of a pool, a list of chunks per block, so that adding
    // one is a store and no memory moves.
    static constexpr std::size_t kChunkEntries = 1022;
    struct Chunk {
        Chunk* next;
        std::uint32_t count;
        BucketEntry entries[kChunkEntries];
    };
    // Chunks come 256 at a time (2 MiB, a huge page): far up a thread holds a couple of
    // thousand, one allocation each took a tenth of a job's start.
    static constexpr std::size_t kSlabChunks = 256;
    // Where the hits of one of the next blocks go, found from the block alone: a hit's
    // store waits for no load of a list's head and count.
    struct Cursor {
        BucketEntry* at = nullptr;   // the next entry
        BucketEntry* end = nullptr;  // the end of its chunk
        Chunk* chunks = nullptr;     // the block's chunks, the one being filled first
    };

    // A sieving prime p = 30 a + kResidues[r] and its first multiple in the stream:
    // m = 30 cycle + kResidues[w] (or 210 cycle + the w-th residue coprime to 210), in byte `byte`.
    struct FirstMultiple {
        std::uint64_t byte, cycle;
        std::uint32_t a;
        std::uint8_t r, w;
    };

    void start(std::uint64_t from, std::uint64_t horizon);
    // m coprime to Period: 30 for small and medium primes, 210 for bucket and large ones.
    template <std::uint64_t Period>
    FirstMultiple firstMultipleOf(std::uint64_t p, std::uint64_t below) const;  // below: the first number / p
    void addSievingPrime(std::uint64_t p);  // small or medium
    // use(first multiple) for each of a batch of bucket or large primes, on the wheel of 210.
    template <class Use>
    void forEachFirstMultiple(const std::uint64_t* primes, std::size_t count, Use&& use);
    void addBucketPrimes(const std::uint64_t* primes, std::size_t count);
    void addLargePrimes(const std::uint64_t* primes, std::size_t count);
    void sieveNextBlock();
    void crossSmall(SmallPrime& prime, std::uint8_t* block, std::uint64_t blockStart, std::uint64_t end) const;
    void crossMedium(std::uint8_t* block, std::uint64_t blockStart, std::uint64_t end);
    void crossBucket(std::uint64_t block, std::uint8_t* bits, std::uint64_t blockStart);
    void crossBucketList(const Chunk* list, std::uint8_t* bits, std::uint64_t blockStart);
    void startChunk(Cursor& cursor);
    void place(std::uint32_t a, std::uint32_t r, std::uint32_t w, std::uint64_t byte);
    void markLarge(std::uint64_t a, std::uint32_t r, std::uint32_t w, std::uint64_t byte);
    void applyMarks(std::size_t region);
    void clearMarked(std::uint8_t* bits, std::uint64_t blockStart) const;
    Chunk* takeChunk();
    void releaseChunks(Chunk* list);
    std::uint64_t sievedEnd() const { return start_ + blocksDone_ * blockBytes_; }
    bool holds(std::uint64_t from, std::uint64_t to) const {
        return started_ && from <= to && from >= heldFrom() && to <= sievedEnd();
    }
    void checkHeld([[maybe_unused]] std::uint64_t from, [[maybe_unused]] std::uint64_t to) const {
#ifdef SHARP_CHECK_CONTRACTS
        if (!holds(from, to)) throw std::out_of_range("a sieve read outside the bytes it holds");
#endif
    }
    const std::uint8_t* heldByte(std::uint64_t byte) const {
        const std::uint64_t at = byte - start_;
        return ring_.get() + ((at >> blockShift_) & (ringBlocks_ - 1)) * blockBytes_ + (at & (blockBytes_ - 1));
    }
    std::uint64_t wordAcrossBlocks(std::uint64_t byte) const;

    const WheelPattern& pattern_;
    const std::size_t blockBytes_;
    const unsigned blockShift_;  // blockBytes_ = 2^blockShift_
    const std::size_t ringBlocks_;  // a power of two
    const std::uint64_t longestStream_, largePrime_;
    LargeBuffer ring_;
    bool started_ = false;
    std::uint64_t start_ = 0, horizon_ = 0, blocksDone_ = 0;
    std::vector<SmallPrime> small_;
    MediumLists medium_, mediumNext_;  // the lists of this block, and of the next
    std::vector<FirstMultiple> hitting_;  // a batch of large primes: those with multiples in the stream
    std::vector<std::uint64_t> quotients_;  // the batch's first number / p, off by one
    std::vector<std::uint8_t> largeMarks_;  // per byte of the stream: the bits large primes crossed off
    // Marks wait in a list per region of largeMarks_, set a region at a time while it
    // stays in the cache: set one by one, each would miss it.
    std::vector<std::uint32_t> pendingMarks_;  // kPendingMarks per region: offset in the region << 3 | bit
    std::vector<std::uint32_t> pendingCount_;
    std::vector<Chunk*> buckets_;  // per block of the stream, first multiples: the chunk being filled, then older ones
    std::vector<Cursor> cursors_;  // the next multiples, by block modulo their count (a power of two)
    std::vector<LargeBuffer> chunkSlabs_;  // the pool's memory, kSlabChunks chunks a slab
    Chunk* freeChunks_ = nullptr;
};

}  // namespace sharp::survey
