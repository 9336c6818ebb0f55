// The slices of a range: the units of work a state file records, ranks take, and
// every output is summed from, so a resumed or distributed survey prints exactly
// what an uninterrupted one does.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "survey/check/class_counts.hpp"
#include "survey/parallel/run_survey.hpp"

namespace sharp::survey {

struct SliceLayout {
    std::uint64_t firstWord, endWord;  // the words of the range
    std::uint64_t sliceWords;          // a power of two, chosen from the range alone
    std::uint64_t count;

    static SliceLayout forRange(std::uint64_t from, std::uint64_t to);
    Piece piece(std::uint64_t slice) const;
};

// What a slice found: its counts per bucket and its tossed candidates, ascending.
struct SliceRecord {
    std::uint64_t slice = 0;
    std::vector<std::pair<std::size_t, ClassCounts>> bucketCounts;
    std::vector<TossedCandidate> tossed;

    // Adds the report of the slice's next segment.
    void add(const SegmentReport& report);
    bool operator==(const SliceRecord&) const = default;
};

// One line, '\n' included: "S<slice>", a "B<bucket>=<six counts>" field per bucket,
// a "T<value>p" or "T<value>c" field per tossed candidate, then "#" and a checksum
// of everything before it.
std::string formatRecord(const SliceRecord& record);

// The record of a line without its '\n'; nothing when the line is malformed or its
// checksum does not match.
std::optional<SliceRecord> parseRecord(std::string_view line);

// The 16 hex digits of a checksum of `text`, for state lines.
std::string checksumOf(std::string_view text);

}  // namespace sharp::survey
