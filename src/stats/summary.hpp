// The end of a run: the summary of counts, estimates and ratios, and the prime-list dump.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

#include "run/run_context.hpp"

namespace sharp {

// The processor clock in its own ticks, as the clock lines show it: unsigned 32-bit.
std::uint32_t clockTicks();

// N * 1.022 / ln N, rounded to single precision and then truncated toward zero.
std::int32_t theoryCount(std::uint32_t n);

// Writes the local time `when` as "YYYY-MM-DD HH:MM:SS" into `mark` (an empty text on failure).
void fillTimeMark(char (&mark)[kMarkSize], std::time_t when);

// Takes the end time and writes the summary lines to the console, the run log and the ratio file.
void reportFinalSummary(RunContext& context);

// One line per stored prime, "slot    prime", from slot 1 to the first empty slot or the last slot.
void dumpPrimeList(RunContext& context);

}  // namespace sharp
