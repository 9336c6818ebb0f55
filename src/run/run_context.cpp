#include "run/run_context.hpp"

namespace sharp {

std::unique_ptr<RunContext> buildRunContext(int consoleFd) {
    // Value-initialised: every table and counter starts at 0, the marks as empty texts.
    auto context = std::make_unique<RunContext>();
    context->sharpTable = kSharpValues;
    context->trialPrimes.fill(UINT32_MAX);
    context->console.attach(consoleFd);
    return context;
}

}  // namespace sharp
