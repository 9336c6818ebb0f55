#include "survey/ledger/slice_book.hpp"

#include <stdexcept>

#include "survey/ledger/record_check.hpp"

namespace sharp::survey {

SliceBook::SliceBook(const SurveyPlan& plan, const SliceLayout& layout)
    : plan_(plan), layout_(layout), entries_(layout.count) {}

std::optional<std::string> SliceBook::misfit(const SliceRecord& record) const {
    if (std::optional<std::string> why = recordMisfit(record, plan_, layout_)) return why;
    std::lock_guard lock(mutex_);
    if (entries_[record.slice]) return "slice " + std::to_string(record.slice) + " is recorded already";
    return std::nullopt;
}

void SliceBook::recordLoaded(const SliceRecord& record, LineSpan span) {
    std::lock_guard lock(mutex_);
    keep(record, span);
}

std::optional<Piece> SliceBook::next() {
    std::lock_guard lock(mutex_);
    while (cursor_ < layout_.count && entries_[cursor_]) ++cursor_;
    if (cursor_ == layout_.count) return std::nullopt;
    return layout_.piece(cursor_++);
}

void SliceBook::finished(SliceRecord record) {
    std::optional<std::string> why = recordMisfit(record, plan_, layout_);
    const std::string line = formatRecord(record);
    std::lock_guard lock(mutex_);
    if (!why && entries_[record.slice]) why = "slice " + std::to_string(record.slice) + " is recorded already";
    if (why) throw std::runtime_error("a slice record does not fit this survey: " + *why);
    keep(record, log_->append(line));
}

void SliceBook::keep(const SliceRecord& record, LineSpan span) {
    const Piece piece = layout_.piece(record.slice);
    const std::uint64_t low = std::max(plan_.from, 128 * piece.firstWord);
    const std::uint64_t high = std::min(plan_.to, 128 * (piece.endWord - 1) + 127);
    entries_[record.slice] = Entry{record.bucketCounts, record.tossed.size(), span};
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

SliceRecord SliceBook::readBack(std::uint64_t slice) const {
    const std::optional<SliceRecord> record = parseRecord(log_->read(entries_[slice]->line));
    if (!record || record->slice != slice) throw StateError(log_->name() + " changed under the survey");
    return *record;
}

}  // namespace sharp::survey
