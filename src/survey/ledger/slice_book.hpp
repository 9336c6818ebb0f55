// Every slice's record, as loaded from the state file or found since. It hands out
// the slices still missing, checks each finished record and writes it to its record
// file first; the outputs are summed from the records in slice order, whichever way
// and in whatever order they came. Only counts stay in memory: tossed candidates are
// read back from the file when the outputs are written. Calls may come from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "survey/ledger/record_log.hpp"
#include "survey/ledger/slice_exchange.hpp"

namespace sharp::survey {

class SliceBook : public SliceExchange {
public:
    SliceBook(const SurveyPlan& plan, const SliceLayout& layout);
    // Finished slices' lines go to `log` (the state file's, or a scratch file); set
    // before any slice is handed out.
    void keepIn(RecordLog& log) { log_ = &log; }

    // What is wrong with `record` here: not this survey's, or its slice recorded already.
    std::optional<std::string> misfit(const SliceRecord& record) const;
    // A record the log holds already at `span` (checked by misfit first).
    void recordLoaded(const SliceRecord& record, LineSpan span);

    std::optional<Piece> next() override;
    // Checks the record (a misfit ends the survey) and appends it to the log.
    void finished(SliceRecord record) override;

    // The counts of each bucket, over every recorded slice.
    std::vector<ClassCounts> bucketCounts() const;
    // The numbers of the range inside recorded slices.
    double recordedNumbers() const { return recordedNumbers_.load(); }
    // Calls visit(tossed) for every tossed candidate of the recorded slices, in slice
    // order and ascending, until it returns false.
    template <class Visit>
    void forEachTossed(Visit&& visit) const;

private:
    struct Entry {
        std::vector<std::pair<std::size_t, ClassCounts>> bucketCounts;
        std::uint64_t tossed = 0;
        LineSpan line;
    };
    void keep(const SliceRecord& record, LineSpan span);
    SliceRecord readBack(std::uint64_t slice) const;

    const SurveyPlan& plan_;
    const SliceLayout& layout_;
    RecordLog* log_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<std::optional<Entry>> entries_;
    std::uint64_t cursor_ = 0;
    std::atomic<double> recordedNumbers_ = 0;
};

template <class Visit>
void SliceBook::forEachTossed(Visit&& visit) const {
    for (std::uint64_t slice = 0; slice < entries_.size(); ++slice) {
        if (!entries_[slice] || entries_[slice]->tossed == 0) continue;
        for (const TossedCandidate& tossed : readBack(slice).tossed) {
            if (!visit(tossed)) return;
        }
    }
}

}  // namespace sharp::survey
