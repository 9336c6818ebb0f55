#include "stats/progress.hpp"

namespace sharp {

void reportProgress(RunContext& context) {
    const std::uint32_t candidate = context.candidate;
    if (candidate % kProgressPeriod == 0 || context.sievePrimeCount % kProgressPeriod == 0) {
        context.console << "working ... " << candidate << eol;
    }
}

void reportMilestones(RunContext& context) {
    for (Channel* channel : {&context.console, &context.primalityFile}) {
        for (const Milestone& mark : kMilestones) {
            if (context.candidate > mark.threshold && context.previousCandidate <= mark.threshold - 1) {
                *channel << mark.label << context.primeCount;
            }
        }
    }
}

}  // namespace sharp
