#include "candidates/sharp_offset.hpp"

#include <array>
#include <bit>

#include "candidates/prime_list.hpp"

namespace sharp {

namespace {

// kFirstSlotByWidth[w]: the first slot of the sharp table whose value is below 2^w.
constexpr auto kFirstSlotByWidth = [] {
    std::array<std::size_t, 33> first{};
    for (std::size_t width = 0; width < first.size(); ++width) {
        std::size_t slot = 1;
        while (kSharpValues[slot] != 0 && std::bit_width(kSharpValues[slot]) > width) ++slot;
        first[width] = slot;
    }
    return first;
}();

// The first slot whose offset can be at most the candidate. Below 2^31 every sharp
// number above twice the candidate lies farther away than the candidate itself, so
// those slots are passed over without a look; above, every slot is tried. The jump
// by bit width leaves at most a few slots to pass over one by one.
std::size_t firstUsefulSlot(const RunContext& context, std::uint32_t candidate) {
    if (candidate >= 0x8000'0000u) return 1;
    const std::uint32_t twice = candidate * 2;
    std::size_t slot = kFirstSlotByWidth[std::bit_width(twice)];
    while (context.sharpTable[slot] > twice) ++slot;
    return slot;
}

}  // namespace

std::size_t findHitSlot(const RunContext& context, std::uint32_t candidate) {
    for (std::size_t slot = firstUsefulSlot(context, candidate); context.sharpTable[slot] != 0; ++slot) {
        const std::uint32_t offset = offsetOf(candidate, context.sharpTable[slot]);
        if (offset > candidate) continue;
        if (offset == 1 || isListed(context, offset)) return slot;
    }
    return 0;
}

SieveOutcome scanSharps(RunContext& context) {
    context.sieveHit = findHitSlot(context, context.candidate) != 0;
    return context.sieveHit ? SieveOutcome::hit : SieveOutcome::tossed;
}

void recordTossed(RunContext& context) {
    ++context.tossedCount;
    if (context.tossedCount <= kTossedLogLimit) context.primalityFile << "rooh = " << context.candidate << eol;
    if (context.tossedCount <= kTossedNoticeLimit) context.console << "rooh debug! " << eol;
}

}  // namespace sharp
