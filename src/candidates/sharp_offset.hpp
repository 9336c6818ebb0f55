// The conjecture test: is the candidate 1 or a listed prime away from a sharp number?
#pragma once

#include <cstddef>
#include <cstdint>

#include "run/run_context.hpp"

namespace sharp {

// The distance between candidate and sharp number in 32-bit two's-complement terms:
// |candidate - sharp| up to 2^31, 2^32 - |candidate - sharp| beyond.
constexpr std::uint32_t offsetOf(std::uint32_t candidate, std::uint32_t sharp) {
    std::uint32_t distance = candidate - sharp;
    if (distance & 0x8000'0000u) distance = 0u - distance;
    return distance;
}

enum class SieveOutcome { hit, tossed };

// The slot of `sharpTable` whose offset makes the candidate a sieve hit, or 0 when none does.
std::size_t findHitSlot(const RunContext& context, std::uint32_t candidate);

// Tries the sharp numbers from the largest down, passing over offsets larger than the
// candidate; a hit is the first offset that is 1 or a listed prime. Sets `sieveHit`.
SieveOutcome scanSharps(RunContext& context);

// Counts a tossed candidate; logs the first ones to the run log and the very first
// ones also to the console.
void recordTossed(RunContext& context);

}  // namespace sharp
