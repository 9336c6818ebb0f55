// Every slice's record, as loaded from the state file or found since. It hands out
// the slices still missing, checks each finished record and its parts, and writes
// them to its record file first; the outputs are summed from the records in slice
// order, whichever way and in whatever order they came. Only counts and each slice's
// first tossed candidates stay in memory: a kept tossed list waits in the record file
// and is read back a line at a time, or, with no record file, goes on to its sink at
// once (the slices then come in order). Calls may come from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "survey/ledger/record_log.hpp"
#include "survey/ledger/slice_exchange.hpp"
#include "survey/ledger/tossed_parts.hpp"

namespace sharp::survey {

class SliceBook : public SliceExchange {
public:
    using Sink = std::function<void(const TossedCandidate&)>;

    SliceBook(const SurveyPlan& plan, const SliceLayout& layout);
    // What the record file keeps of each tossed list: whole, or only its first
    // candidates; set before any slice is loaded or handed out.
    void setKept(TossedKept kept) { kept_ = kept; }
    // Finished slices' lines go to `log` (the state file's, or a scratch file); set
    // before any slice is handed out. Without a log only counts and first candidates are kept.
    void keepIn(RecordLog& log) { log_ = &log; }
    // Without a log: every tossed candidate goes to `sink` as its slice comes.
    void streamTossedTo(Sink sink) { sink_ = std::move(sink); }

    // What is wrong with `record` (or part) here: not this survey's, out of order, or
    // its slice recorded already. Records loaded from the log are read as it keeps them.
    std::optional<std::string> misfit(const SliceRecord& record) const;
    // A line the log holds already at `span` (checked by misfit first).
    void recordLoaded(const SliceRecord& record, LineSpan span);

    std::optional<Piece> next() override;
    // Checks the part (a misfit ends the survey) and writes or passes it on.
    void tossedPart(SliceRecord part) override;
    // Checks the record (a misfit ends the survey) and appends it to the log.
    void finished(SliceRecord record) override;

    // The counts of each bucket, over every recorded slice.
    std::vector<ClassCounts> bucketCounts() const;
    // The numbers of the range inside recorded slices.
    double recordedNumbers() const { return recordedNumbers_.load(); }
    // The first `most` tossed candidates of the recorded slices, in order.
    std::vector<TossedCandidate> firstTossed(std::size_t most) const;
    // Whether forEachTossed can list every tossed candidate: the log keeps them.
    bool keepsTossed() const { return log_ != nullptr && kept_ == TossedKept::all; }
    // Calls visit(tossed) for every tossed candidate of the recorded slices, in slice
    // order and ascending, read back from the log.
    void forEachTossed(const Sink& visit) const;

private:
    struct Entry {
        std::vector<std::pair<std::size_t, ClassCounts>> bucketCounts;
        std::vector<TossedCandidate> first;  // the slice's first tossed candidates
        LineSpan line;
        std::uint64_t parts = 0, firstPart = 0;  // the parts ahead of its line, the first one's offset
    };
    std::optional<std::string> misfitLocked(const SliceRecord& record, TossedKept kept) const;
    void keep(const SliceRecord& record, TossedAttempt attempt, LineSpan span);
    void streamInOrder(const SliceRecord& record);

    const SurveyPlan& plan_;
    const SliceLayout& layout_;
    RecordLog* log_ = nullptr;
    TossedKept kept_ = TossedKept::first;
    Sink sink_;
    std::uint64_t streamed_ = 0;  // with a sink: the slice whose lines come next
    mutable std::mutex mutex_;
    std::vector<std::optional<Entry>> entries_;
    TossedParts parts_;
    std::uint64_t cursor_ = 0;
    std::atomic<double> recordedNumbers_ = 0;
};

}  // namespace sharp::survey
