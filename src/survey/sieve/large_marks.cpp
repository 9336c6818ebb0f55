#include "survey/sieve/large_marks.hpp"

#include <algorithm>

namespace sharp::survey {

void LargeMarks::start(std::uint64_t bytes) {
    marks_.assign(bytes, 0);
    target_ = marks_.data();
    bytes_ = bytes;
    locks_ = nullptr;
    setPending(regionsOf(bytes), kPendingShift);
}

void LargeMarks::startInto(std::uint8_t* target, std::uint64_t bytes, std::mutex* locks) {
    marks_.clear();
    target_ = target;
    bytes_ = bytes;
    locks_ = locks;
    // As many waiting marks a region as the budget allows, a 1024th of a stream's at least.
    const std::size_t regions = regionsOf(bytes);
    unsigned shift = kPendingShift;
    while (shift > kPendingShift - 3 && (regions << shift) * sizeof(std::uint32_t) > kSharedPendingBytes) --shift;
    setPending(regions, shift);
}

void LargeMarks::setPending(std::size_t regions, unsigned shift) {
    pendingShift_ = shift;
    pending_.resize(regions << shift);
    pendingCount_.assign(regions, 0);
}

void LargeMarks::applyAll() {
    for (std::size_t region = 0; region < pendingCount_.size(); ++region) apply(region);
}

void LargeMarks::apply(std::size_t region) {
    std::uint8_t* const marks = target_ + (region << kRegionShift);
    const std::uint32_t* const pending = pending_.data() + (region << pendingShift_);
    const std::uint32_t count = pendingCount_[region];
    // The region is fetched line by line in order first, as the processor streams it;
    // fetched by the marks in their order, each line was a wait for memory.
    const std::size_t regionBytes =
        std::min<std::size_t>(std::size_t{1} << kRegionShift, bytes_ - (region << kRegionShift));
    std::unique_lock<std::mutex> lock;
    if (locks_ != nullptr && count > 0) lock = std::unique_lock(locks_[region]);
    for (std::size_t line = 0; line < regionBytes; line += 64) __builtin_prefetch(marks + line, 1);
    for (std::uint32_t i = 0; i < count; ++i) marks[pending[i] >> 3] |= static_cast<std::uint8_t>(1u << (pending[i] & 7));
    pendingCount_[region] = 0;
}

void LargeMarks::clearMarked(std::uint8_t* bits, std::uint64_t at, std::size_t count) const {
    const std::uint8_t* const marks = target_ + at;
    for (std::size_t i = 0; i < count; ++i) bits[i] &= static_cast<std::uint8_t>(~marks[i]);
}

}  // namespace sharp::survey
