// The many sieving primes of far up that hit a stream a few times or not at all: as
// each is found, its multiples in the whole stream are marked at once, and it is not
// kept. The marks wait in a list per region of the stream and are set a region at a
// time while it stays in the cache: set one by one, each would miss it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "survey/sieve/wheel210.hpp"

namespace sharp::survey {

class LargeMarks {
public:
    // Empties the marks for a stream of `bytes` bytes (0: no large primes).
    void start(std::uint64_t bytes);
    // Marks into `bytes` bytes at `target` instead, shared with other writers: a
    // region's marks are set under its lock in `locks` (one per 2^16 bytes), and each
    // writer's waiting marks take at most about kSharedPendingBytes.
    void startInto(std::uint8_t* target, std::uint64_t bytes, std::mutex* locks);
    // The locks `startInto` needs for `bytes` bytes.
    static std::size_t regionsOf(std::uint64_t bytes) { return static_cast<std::size_t>(bytes >> kRegionShift) + 1; }
    // Marks the multiples of p = 30 a + kResidues[r] from byte `at` of the stream on, at
    // place w of the wheel of 210, up to byte `last`.
    void mark(std::uint64_t a, std::uint32_t r, std::uint32_t w, std::uint64_t at, std::uint64_t last) {
        for (std::uint64_t place = r << 6 | w; at <= last;) {
            const WheelStep step = kWheelSteps[place];
            const std::size_t region = static_cast<std::size_t>(at >> kRegionShift);
            const std::uint32_t offset = static_cast<std::uint32_t>(at & ((std::uint64_t{1} << kRegionShift) - 1));
            pending_[(region << pendingShift_) + pendingCount_[region]] = offset << 3 | step.bit;
            if (++pendingCount_[region] >> pendingShift_) apply(region);
            at += a * step.stepA + step.stepOffset;
            place = step.next;
        }
    }
    // Sets every mark still waiting.
    void applyAll();
    bool empty() const { return bytes_ == 0; }
    // Clears the marked bits of the `count` bytes at `bits`, bytes `at` on of the stream.
    void clearMarked(std::uint8_t* bits, std::uint64_t at, std::size_t count) const;

private:
    // Bytes of marks set at a time (2^16), and marks waiting per region: about four
    // marks per cache line fetched. Shared marks, which span a whole survey and are
    // written by every thread, wait in shorter lists, to keep each writer's lists small.
    static constexpr unsigned kRegionShift = 16;
    static constexpr unsigned kPendingShift = 13;
    static constexpr std::size_t kSharedPendingBytes = std::size_t{4} << 20;  // 4 MiB

    void apply(std::size_t region);
    void setPending(std::size_t regions, unsigned shift);

    std::vector<std::uint8_t> marks_;  // per byte of the stream: the bits large primes crossed off
    std::uint8_t* target_ = nullptr;   // marks_, or the shared marks
    std::uint64_t bytes_ = 0;
    std::mutex* locks_ = nullptr;      // per region, for shared marks
    unsigned pendingShift_ = kPendingShift;  // 2^pendingShift_ marks wait per region
    std::vector<std::uint32_t> pending_;  // per region: offset in the region << 3 | bit
    std::vector<std::uint32_t> pendingCount_;
};

}  // namespace sharp::survey
