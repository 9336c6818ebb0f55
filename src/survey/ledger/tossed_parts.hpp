// The parts of tossed lists that went ahead of their slices' records: how far each
// slice's latest attempt got, where its first part stands in the record file, and its
// first candidates for the table; and the reading back of a whole list in order.
#pragma once

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include "survey/ledger/record_check.hpp"
#include "survey/ledger/record_log.hpp"

namespace sharp::survey {

// A slice's list so far, as its parts came.
struct TossedAttempt {
    TossedSoFar soFar;
    std::uint64_t firstOffset = 0;           // where its first part stands in the record file
    std::vector<TossedCandidate> first;      // its first kTossedShown candidates
};

class TossedParts {
public:
    // What went ahead of `record`: nothing for a first part (a new attempt), else the
    // parts of its slice's latest attempt.
    TossedSoFar before(const SliceRecord& record) const;
    // Takes a part that fits (checked against before() first); `offset`: where it stands.
    void add(const SliceRecord& part, std::uint64_t offset);
    // The attempt a slice's record closes, forgotten here; empty when no part went ahead.
    TossedAttempt close(std::uint64_t slice);

private:
    std::unordered_map<std::uint64_t, TossedAttempt> open_;
};

// The first kTossedShown candidates of `first` followed by `more`.
void keepFirst(std::vector<TossedCandidate>& first, const std::vector<TossedCandidate>& more);

// Calls visit(t) for every tossed candidate of the parts of `slice` in `log`, from the
// first at `firstOffset` on, in order, `parts` of them: the lines of other slices and
// earlier attempts between them are passed over. StateError when the file lacks them.
void readParts(const RecordLog& log, std::uint64_t slice, std::uint64_t firstOffset, std::uint64_t parts,
               const std::function<void(const TossedCandidate&)>& visit);

}  // namespace sharp::survey
