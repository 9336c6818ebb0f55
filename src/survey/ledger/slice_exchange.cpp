#include "survey/ledger/slice_exchange.hpp"

#include <utility>

namespace sharp::survey {

void runSlices(SurveyPlan plan, SliceExchange& exchange, const std::function<void(const SegmentReport&)>& progress) {
    plan.nextPiece = [&] { return exchange.next(); };
    RecordBuilder builder([&](SliceRecord part) { exchange.tossedPart(std::move(part)); },
                          [&](SliceRecord record) { exchange.finished(std::move(record)); });
    runSurvey(plan, [&](const SegmentReport& report) {
        builder.add(report);
        if (progress) progress(report);
    });
}

}  // namespace sharp::survey
