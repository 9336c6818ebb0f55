// A window past 2^64 on worker threads: its segments tested in turn by the threads,
// their reports delivered in ascending order.
#pragma once

#include <functional>
#include <span>
#include <vector>

#include "survey/check/sharp_set.hpp"
#include "survey/check/wide_segment.hpp"

namespace sharp::survey {

// What one segment of a window past 2^64 found.
struct WideReport {
    Uint128 first, last;
    ClassCounts counts;
    std::vector<WideTossed> tossed;  // ascending
};

// Tests every candidate c with from <= c <= to against `sharps` on
// `threads` threads; `deliver` sees each segment's report in ascending order, on
// the calling thread. An exception in a worker or in `deliver` ends the survey and
// is rethrown here.
void runWideWindow(Uint128 from, Uint128 to, const SharpSet& sharps, unsigned threads,
                   const std::function<void(const WideReport&)>& deliver);

}  // namespace sharp::survey
