#include "survey/sieve/bucket_primes.hpp"

#include <algorithm>
#include <bit>
#include <new>

namespace sharp::survey {

BucketPrimes::BucketPrimes(std::size_t blockBytes, unsigned blockShift, std::uint64_t largePrime,
                           std::uint64_t longestStream)
    : blockBytes_(blockBytes), blockShift_(blockShift) {
    // A bucket prime p = 30 a + r steps at most 10 a + 10 bytes to its next multiple: so
    // many blocks ahead, and the block being crossed, each have a cursor of their own.
    const std::uint64_t blocksAhead = (largePrime / 3 + 10) / blockBytes + 1;
    cursors_.resize(std::bit_ceil(std::min(blocksAhead, longestStream / blockBytes + 1) + 1));
}

void BucketPrimes::start(std::uint64_t start, std::uint64_t horizon) {
    start_ = start;
    horizon_ = horizon;
    for (Chunk* list : buckets_) releaseChunks(list);
    for (Cursor& cursor : cursors_) {
        releaseChunks(cursor.chunks);
        cursor = Cursor{};
    }
    buckets_.assign((horizon - start) / blockBytes_ + 1, nullptr);
}

BucketPrimes::Chunk* BucketPrimes::prependChunk(Chunk* list) {
    Chunk* const chunk = takeChunk();
    chunk->next = list;
    return chunk;
}

BucketPrimes::Chunk* BucketPrimes::takeChunk() {
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

void BucketPrimes::releaseChunks(Chunk* list) {
    while (list != nullptr) {
        Chunk* const next = list->next;
        list->next = freeChunks_;
        freeChunks_ = list;
        list = next;
    }
}

void BucketPrimes::startChunk(Cursor& cursor) {
    if (cursor.chunks != nullptr) cursor.chunks->count = kChunkEntries;
    Chunk* const chunk = takeChunk();
    chunk->next = cursor.chunks;
    cursor.chunks = chunk;
    cursor.at = chunk->entries;
    cursor.end = chunk->entries + kChunkEntries;
}

void BucketPrimes::cross(std::uint64_t block, std::uint8_t* bits, std::uint64_t blockStart) {
    if (block >= buckets_.size()) return;
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
        crossList(first, bits, blockStart);
        crossList(next, bits, blockStart);
        releaseChunks(first);
        releaseChunks(next);
    }
}

void BucketPrimes::crossList(const Chunk* list, std::uint8_t* bits, std::uint64_t blockStart) {
    // Locals: the stores into `bits` could be taken to change the members.
    const std::uint64_t last = horizon_ - blockStart;  // the stream's last byte, from this block's first
    const std::uint64_t fromStart = blockStart - start_;
    Cursor* const cursors = cursors_.data();
    const std::size_t cursorMask = cursors_.size() - 1;
    const unsigned shift = blockShift_;
    const std::uint64_t offsetMask = blockBytes_ - 1;
    for (const Chunk* chunk = list; chunk != nullptr; chunk = chunk->next) {
        const Entry* const entries = chunk->entries;
        const std::uint32_t count = chunk->count;
        for (std::uint32_t i = 0; i < count; ++i) {
            const Entry entry = entries[i];
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
