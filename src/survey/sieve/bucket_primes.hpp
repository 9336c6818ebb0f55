// The sieving primes that hit a block less often than a few times: each waits in the
// bucket of the block it hits next, so that it is touched only when it counts (the
// bucket sieve), and walks the wheel of 210.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "survey/sieve/large_buffer.hpp"
#include "survey/sieve/wheel210.hpp"

namespace sharp::survey {

class BucketPrimes {
public:
    // Blocks of `blockBytes` (2^blockShift); primes below `largePrime`, in streams of
    // at most `longestStream` bytes.
    BucketPrimes(std::size_t blockBytes, unsigned blockShift, std::uint64_t largePrime, std::uint64_t longestStream);
    BucketPrimes(const BucketPrimes&) = delete;
    BucketPrimes& operator=(const BucketPrimes&) = delete;

    // Empties the buckets for a stream from byte `start` to byte `horizon`.
    void start(std::uint64_t start, std::uint64_t horizon);
    // p = 30 a + kResidues[r] hits byte `byte` next, at place w of the wheel of 210. A
    // first multiple may lie anywhere in the stream, beyond the cursors' reach.
    void place(std::uint32_t a, std::uint32_t r, std::uint32_t w, std::uint64_t byte) {
        const std::uint64_t at = byte - start_;
        Chunk*& head = buckets_[at >> blockShift_];
        if (head == nullptr || head->count == kChunkEntries) [[unlikely]] head = prependChunk(head);
        const std::uint32_t offset = static_cast<std::uint32_t>(at & (blockBytes_ - 1));
        head->entries[head->count++] = {a, offset << kPlaceBits | r << 6 | w};
    }
    // Crosses off the multiples that fall in block `block` of the stream, its bits at
    // `bits` from byte `blockStart`, and files each prime under the block it hits next.
    void cross(std::uint64_t block, std::uint8_t* bits, std::uint64_t blockStart);

private:
    // Where in its block a prime hits next.
    struct Entry {
        std::uint32_t a;
        std::uint32_t place;  // offset in the block << 9 | r << 6 | w
    };
    // Entries are kept in chunks of a pool, a list of chunks per block, so that adding
    // one is a store and no memory moves.
    static constexpr std::size_t kChunkEntries = 1022;
    struct Chunk {
        Chunk* next;
        std::uint32_t count;
        Entry entries[kChunkEntries];
    };
    // Chunks come 256 at a time (2 MiB, a huge page): far up a thread holds a couple of
    // thousand, and one allocation each slowed a job's start.
    static constexpr std::size_t kSlabChunks = 256;
    // Where the hits of one of the next blocks go, found from the block alone: a hit's
    // store waits for no load of a list's head and count.
    struct Cursor {
        Entry* at = nullptr;    // the next entry
        Entry* end = nullptr;   // the end of its chunk
        Chunk* chunks = nullptr;  // the block's chunks, the one being filled first
    };

    Chunk* prependChunk(Chunk* list);
    void startChunk(Cursor& cursor);
    void crossList(const Chunk* list, std::uint8_t* bits, std::uint64_t blockStart);
    Chunk* takeChunk();
    void releaseChunks(Chunk* list);

    const std::size_t blockBytes_;
    const unsigned blockShift_;
    std::uint64_t start_ = 0, horizon_ = 0;
    std::vector<Chunk*> buckets_;  // per block of the stream, first multiples: the chunk being filled, then older ones
    std::vector<Cursor> cursors_;  // the next multiples, by block modulo their count (a power of two)
    std::vector<LargeBuffer> chunkSlabs_;  // the pool's memory, kSlabChunks chunks a slab
    Chunk* freeChunks_ = nullptr;
};

}  // namespace sharp::survey
