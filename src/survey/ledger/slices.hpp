// The slices of a range: the units of work a state file records, ranks take, and
// every output is summed from, so a resumed or distributed survey prints exactly
// what an uninterrupted one does.
#pragma once

#include <cstdint>
#include <functional>
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

// How much of each slice's tossed list a survey keeps: all of it (asked for with
// --tossed), or only its first kTossedShown, which the table lists.
enum class TossedKept { all, first };

// What a slice found: its counts per bucket and its tossed candidates, ascending. A
// long tossed list goes ahead of its record in parts of kTossedPerLine candidates, so
// that no list is ever held or written whole: a part holds no counts, only the
// part's index and its candidates; the record then says how many parts went ahead.
struct SliceRecord {
    std::uint64_t slice = 0;
    std::vector<std::pair<std::size_t, ClassCounts>> bucketCounts;
    std::vector<TossedCandidate> tossed;
    bool isPart = false;
    std::uint64_t part = 0;  // a part's index; in a record, the parts ahead of it

    // Adds the counts of the slice's next segment.
    void addCounts(const SegmentReport& report);
    bool operator==(const SliceRecord&) const = default;
};

// Gathers one slice at a time from its segments' reports in order: each full part of
// its tossed list goes to `part` as it fills, the record to `record` with its last segment.
class RecordBuilder {
public:
    using Emit = std::function<void(SliceRecord)>;
    RecordBuilder(Emit part, Emit record) : part_(std::move(part)), record_(std::move(record)) {}
    void add(const SegmentReport& report);

private:
    Emit part_, record_;
    SliceRecord current_;
};

// One line, '\n' included: "S<slice>", a "B<bucket>=<six counts>" field per bucket,
// "P<parts>" when parts went ahead (a part has "P<index>" and no B fields), a
// "T<value>p" or "T<value>c" field per tossed candidate, then "#" and a checksum of
// everything before it.
std::string formatRecord(const SliceRecord& record);

// The record of a line without its '\n'; nothing when the line is malformed or its
// checksum does not match.
std::optional<SliceRecord> parseRecord(std::string_view line);

// The 16 hex digits of a checksum of `text`, for state lines.
std::string checksumOf(std::string_view text);

}  // namespace sharp::survey
