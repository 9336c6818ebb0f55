// The parts of a run's output that change from run to run: clock readings and time marks.
#pragma once

#include <string>

namespace sharp::test {

// Replaces the value after "bgn ticks= ", "end ticks= " and "elapsed ticks= " by "#"
// and every "YYYY-MM-DD HH:MM:SS" time mark by "@".
std::string maskClocks(const std::string& text);

}  // namespace sharp::test
