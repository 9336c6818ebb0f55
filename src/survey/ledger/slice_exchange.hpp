// Slices handed out and collected: the same way for a lone process, for the ranks
// of a cluster, and for rank 0 serving both its own threads and the other ranks.
#pragma once

#include <functional>
#include <optional>

#include "survey/ledger/slices.hpp"
#include "survey/parallel/run_survey.hpp"

namespace sharp::survey {

// Where a process gets the slices it tests and where it sends what it found.
// runSlices calls it from one thread at a time; an exchange that others call as
// well (rank 0's ledger, which also serves the other ranks) locks for itself.
class SliceExchange {
public:
    virtual ~SliceExchange() = default;
    // The next slice to test, or nothing when none is left.
    virtual std::optional<Piece> next() = 0;
    // A full part of the tossed list of a slice this process is testing, in order.
    virtual void tossedPart(SliceRecord part) = 0;
    // A slice this process has finished, after its parts.
    virtual void finished(SliceRecord record) = 0;
};

// Tests the slices `exchange` hands out with the plan's threads and sends each
// finished one back; `progress` sees every segment's report as it is delivered.
void runSlices(SurveyPlan plan, SliceExchange& exchange,
               const std::function<void(const SegmentReport&)>& progress = {});

}  // namespace sharp::survey
