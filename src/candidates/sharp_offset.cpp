#include "candidates/sharp_offset.hpp"

#include <algorithm>

#include "candidates/prime_list.hpp"

namespace sharp {

namespace {

// The first slot whose offset can be at most the candidate. Below 2^31 every sharp
// number above twice the candidate lies farther away than the candidate itself, so
// those slots are passed over without a look; above, every slot is tried.
std::size_t firstUsefulSlot(const RunContext& context, std::uint32_t candidate) {
    if (candidate >= 0x8000'0000u) return 1;
    const std::uint32_t twice = candidate * 2;
    const auto first = context.sharpTable.begin() + 1;
    const auto last = context.sharpTable.end() - 1;
    const auto slot = std::partition_point(first, last, [twice](std::uint32_t sharp) { return sharp > twice; });
    return static_cast<std::size_t>(slot - context.sharpTable.begin());
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
