// What the console shows while the run goes on: progress lines and milestone marks.
#pragma once

#include "run/run_context.hpp"

namespace sharp {

// "working ... " with the candidate, in the passes that start with the sieve-hit
// count a multiple of 30 (or with a candidate that is one, which never happens).
void reportProgress(RunContext& context);

// After the wheel step: for each power of ten from 1E5 to 1E9 that the step from
// `previousCandidate` to `candidate` crossed, the mark and `primeCount`, without a
// line end, on the console and then in the run log.
void reportMilestones(RunContext& context);

}  // namespace sharp
