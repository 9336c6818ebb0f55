#include "survey/ledger/slice_exchange.hpp"

#include <utility>

namespace sharp::survey {

void runSlices(SurveyPlan plan, SliceExchange& exchange, const std::function<void(const SegmentReport&)>& progress) {
    plan.nextPiece = [&] { return exchange.next(); };
    SliceRecord current;
    runSurvey(plan, [&](const SegmentReport& report) {
        current.slice = report.piece;
        current.add(report);
        if (progress) progress(report);
        if (!report.endsPiece) return;
        exchange.finished(std::move(current));
        current = SliceRecord{};
    });
}

}  // namespace sharp::survey
