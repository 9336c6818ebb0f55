// The run from start to exit: listing, prompt, start, candidate loop, summary and end.
#pragma once

#include "run/prompt.hpp"
#include "run/run_context.hpp"

namespace sharp {

// Exit status of a run that reached its end, the capacity stop included.
inline constexpr int kExitDone = 0;
// Exit status when standard input ended before an end candidate was accepted.
inline constexpr int kExitNoEndCandidate = 1;
// Exit status when the run could not go on (no memory): one line on standard error.
inline constexpr int kExitFailed = 1;

// Runs the whole program over `context` (built, console attached) and `input`.
// Returns the exit status.
int runSharpPrimes(RunContext& context, InputReader& input);

// Opens the five report files, each named on standard error when it cannot be opened.
void openReportFiles(RunContext& context);

// The candidate loop, from the seeded list and candidate 23 until the candidate
// passes the end candidate or the prime list is full.
void runCandidateLoop(RunContext& context);

}  // namespace sharp
