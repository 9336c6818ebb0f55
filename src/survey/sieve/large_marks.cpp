#include "survey/sieve/large_marks.hpp"

#include <algorithm>

namespace sharp::survey {

void LargeMarks::start(std::uint64_t bytes) {
    marks_.assign(bytes, 0);
    const std::size_t regions = (marks_.size() >> kRegionShift) + 1;
    pending_.resize(regions * kPendingPerRegion);
    pendingCount_.assign(regions, 0);
}

void LargeMarks::applyAll() {
    for (std::size_t region = 0; region < pendingCount_.size(); ++region) apply(region);
}

void LargeMarks::apply(std::size_t region) {
    std::uint8_t* const marks = marks_.data() + (region << kRegionShift);
    const std::uint32_t* const pending = pending_.data() + region * kPendingPerRegion;
    const std::uint32_t count = pendingCount_[region];
    // The region is fetched line by line in order first, as the processor streams it;
    // fetched by the marks in their order, each line was a wait for memory.
    const std::size_t regionBytes =
        std::min<std::size_t>(std::size_t{1} << kRegionShift, marks_.size() - (region << kRegionShift));
    for (std::size_t line = 0; line < regionBytes; line += 64) __builtin_prefetch(marks + line, 1);
    for (std::uint32_t i = 0; i < count; ++i) marks[pending[i] >> 3] |= static_cast<std::uint8_t>(1u << (pending[i] & 7));
    pendingCount_[region] = 0;
}

void LargeMarks::clearMarked(std::uint8_t* bits, std::uint64_t at, std::size_t count) const {
    const std::uint8_t* const marks = marks_.data() + at;
    for (std::size_t i = 0; i < count; ++i) bits[i] &= static_cast<std::uint8_t>(~marks[i]);
}

}  // namespace sharp::survey
