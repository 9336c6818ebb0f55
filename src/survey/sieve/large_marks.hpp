// The many sieving primes of far up that hit a stream a few times or not at all: as
// each is found, its multiples in the whole stream are marked at once, and it is not
// kept. The marks wait in a list per region of the stream and are set a region at a
// time while it stays in the cache: set one by one, each would miss it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "survey/sieve/wheel210.hpp"

namespace sharp::survey {

class LargeMarks {
public:
    // Empties the marks for a stream of `bytes` bytes (0: no large primes).
    void start(std::uint64_t bytes);
    // Marks the multiples of p = 30 a + kResidues[r] from byte `at` of the stream on, at
    // place w of the wheel of 210, up to byte `last`.
    void mark(std::uint64_t a, std::uint32_t r, std::uint32_t w, std::uint64_t at, std::uint64_t last) {
        for (std::uint64_t place = r << 6 | w; at <= last;) {
            const WheelStep step = kWheelSteps[place];
            const std::size_t region = static_cast<std::size_t>(at >> kRegionShift);
            const std::uint32_t offset = static_cast<std::uint32_t>(at & ((std::uint64_t{1} << kRegionShift) - 1));
            pending_[region * kPendingPerRegion + pendingCount_[region]] = offset << 3 | step.bit;
            if (++pendingCount_[region] == kPendingPerRegion) apply(region);
            at += a * step.stepA + step.stepOffset;
            place = step.next;
        }
    }
    // Sets every mark still waiting.
    void applyAll();
    bool empty() const { return marks_.empty(); }
    // Clears the marked bits of the `count` bytes at `bits`, bytes `at` on of the stream.
    void clearMarked(std::uint8_t* bits, std::uint64_t at, std::size_t count) const;

private:
    // Bytes of marks set at a time (2^16), and marks waiting per region: about four
    // marks per cache line fetched.
    static constexpr unsigned kRegionShift = 16;
    static constexpr std::uint32_t kPendingPerRegion = 1u << 13;

    void apply(std::size_t region);

    std::vector<std::uint8_t> marks_;  // per byte of the stream: the bits large primes crossed off
    std::vector<std::uint32_t> pending_;  // kPendingPerRegion per region: offset in the region << 3 | bit
    std::vector<std::uint32_t> pendingCount_;
};

}  // namespace sharp::survey
