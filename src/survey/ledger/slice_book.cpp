#include "survey/ledger/slice_book.hpp"

#include <stdexcept>

#include "survey/ledger/record_check.hpp"
#include "survey/survey_constants.hpp"

namespace sharp::survey {

SliceBook::SliceBook(const SurveyPlan& plan, const SliceLayout& layout)
    : plan_(plan), layout_(layout), entries_(layout.count) {}

std::optional<std::string> SliceBook::misfitLocked(const SliceRecord& record, TossedKept kept) const {
    if (std::optional<std::string> why = recordMisfit(record, plan_, layout_, kept, parts_.before(record))) return why;
    if (entries_[record.slice]) return "slice " + std::to_string(record.slice) + " is recorded already";
    return std::nullopt;
}

std::optional<std::string> SliceBook::misfit(const SliceRecord& record) const {
    std::lock_guard lock(mutex_);
    return misfitLocked(record, kept_);
}

void SliceBook::recordLoaded(const SliceRecord& record, LineSpan span) {
    std::lock_guard lock(mutex_);
    if (record.isPart) {
        parts_.add(record, span.offset);
    } else {
        keep(record, parts_.close(record.slice), span);
    }
}

std::optional<Piece> SliceBook::next() {
    std::lock_guard lock(mutex_);
    while (cursor_ < layout_.count && entries_[cursor_]) ++cursor_;
    if (cursor_ == layout_.count) return std::nullopt;
    return layout_.piece(cursor_++);
}

// Whatever the log keeps, a worker or a rank sends every tossed candidate: checked whole.
void SliceBook::tossedPart(SliceRecord part) {
    std::lock_guard lock(mutex_);
    if (const std::optional<std::string> why = misfitLocked(part, TossedKept::all)) {
        throw std::runtime_error("a slice record does not fit this survey: " + *why);
    }
    LineSpan span;
    if (log_ && kept_ == TossedKept::all) span = log_->append(formatRecord(part));
    streamInOrder(part);
    parts_.add(part, span.offset);
}

void SliceBook::finished(SliceRecord record) {
    std::lock_guard lock(mutex_);
    if (const std::optional<std::string> why = misfitLocked(record, TossedKept::all)) {
        throw std::runtime_error("a slice record does not fit this survey: " + *why);
    }
    TossedAttempt attempt = parts_.close(record.slice);
    streamInOrder(record);
    if (sink_) ++streamed_;
    LineSpan span;
    if (log_ && kept_ == TossedKept::first) {
        // Only the slice's first candidates, for the table: no list is kept.
        SliceRecord shown = record;
        shown.part = 0;
        shown.tossed = attempt.first;
        keepFirst(shown.tossed, record.tossed);
        span = log_->append(formatRecord(shown));
        keep(shown, {}, span);
        return;
    }
    if (log_) span = log_->append(formatRecord(record));
    keep(record, std::move(attempt), span);
}

void SliceBook::streamInOrder(const SliceRecord& record) {
    if (!sink_) return;
    if (record.slice != streamed_) throw std::logic_error("slices out of order with no record file");
    for (const TossedCandidate& t : record.tossed) sink_(t);
}

void SliceBook::keep(const SliceRecord& record, TossedAttempt attempt, LineSpan span) {
    const Piece piece = layout_.piece(record.slice);
    const std::uint64_t low = std::max(plan_.from, 128 * piece.firstWord);
    const std::uint64_t high = std::min(plan_.to, 128 * (piece.endWord - 1) + 127);
    keepFirst(attempt.first, record.tossed);
    entries_[record.slice] =
        Entry{record.bucketCounts, std::move(attempt.first), span, attempt.soFar.parts, attempt.firstOffset};
    recordedNumbers_ = recordedNumbers_ + (static_cast<double>(high - low) + 1);
}

std::vector<ClassCounts> SliceBook::bucketCounts() const {
    std::lock_guard lock(mutex_);
    std::vector<ClassCounts> counts(plan_.bucketEnds.size());
    for (const auto& entry : entries_) {
        if (!entry) continue;
        for (const auto& [bucket, c] : entry->bucketCounts) counts[bucket] += c;
    }
    return counts;
}

std::vector<TossedCandidate> SliceBook::firstTossed(std::size_t most) const {
    std::lock_guard lock(mutex_);
    std::vector<TossedCandidate> first;
    for (std::size_t slice = 0; slice < entries_.size() && first.size() < most; ++slice) {
        if (!entries_[slice]) continue;
        const auto& shown = entries_[slice]->first;
        first.insert(first.end(), shown.begin(), shown.begin() + static_cast<std::ptrdiff_t>(std::min(shown.size(), most - first.size())));
    }
    return first;
}

void SliceBook::forEachTossed(const Sink& visit) const {
    if (!keepsTossed()) throw std::logic_error("the tossed list is not kept");
    for (std::uint64_t slice = 0; slice < entries_.size(); ++slice) {
        if (!entries_[slice]) continue;
        const Entry& entry = *entries_[slice];
        readParts(*log_, slice, entry.firstPart, entry.parts, visit);
        const std::optional<SliceRecord> record = parseRecord(log_->read(entry.line));
        if (!record || record->slice != slice || record->isPart) throw StateError(log_->name() + " changed under the survey");
        for (const TossedCandidate& t : record->tossed) visit(t);
    }
}

}  // namespace sharp::survey
