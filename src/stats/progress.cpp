#include "stats/progress.hpp"

#include <cstddef>

namespace sharp {

void reportProgress(RunContext& context) {
    const std::uint32_t candidate = context.candidate;
    if (candidate % kProgressPeriod == 0 || context.sievePrimeCount % kProgressPeriod == 0) {
        context.console << "working ... " << candidate << eol;
    }
}

void reportMilestones(RunContext& context) {
    // Every pass asks; almost none writes. Collect the marks first, without branches.
    unsigned fired = 0;
    for (std::size_t i = 0; i < kMilestones.size(); ++i) {
        const std::uint32_t threshold = kMilestones[i].threshold;
        fired |= static_cast<unsigned>(context.candidate > threshold && context.previousCandidate <= threshold - 1) << i;
    }
    if (fired == 0) return;
    for (Channel* channel : {&context.console, &context.primalityFile}) {
        for (std::size_t i = 0; i < kMilestones.size(); ++i) {
            if (fired & (1u << i)) *channel << kMilestones[i].label << context.primeCount;
        }
    }
}

}  // namespace sharp
