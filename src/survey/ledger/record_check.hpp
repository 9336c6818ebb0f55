// Whether a slice record can belong to this survey, wherever it came from: a line of
// the state file or a record another rank sent. A record is summed by bucket and its
// tossed candidates are listed as found, so nothing in it is taken on trust.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "survey/ledger/slices.hpp"
#include "survey/parallel/run_survey.hpp"
#include "survey/uint128.hpp"

namespace sharp::survey {

// What the parts of a slice's tossed list that went ahead of a line held.
struct TossedSoFar {
    std::uint64_t parts = 0;
    std::uint64_t count = 0, primes = 0;
    std::uint64_t last = 0;  // the largest candidate listed (0: none)
};

// What is wrong with `record` for the survey of `plan` cut into `layout`, after the
// parts `before` of its slice, or nothing: its slice must be one of the layout's; a
// part must be the next one, with its candidates; a record must follow as many parts
// as it says, with its buckets exactly those its slice reaches, ascending, and counts
// that add up (hits are true or false primes, candidates hits or tossed). Tossed
// candidates are ascending candidates inside the slice; with `kept` all, as many in
// all as the counts say, as many of them prime; with `kept` first, the first of them.
std::optional<std::string> recordMisfit(const SliceRecord& record, const SurveyPlan& plan, const SliceLayout& layout,
                                        TossedKept kept = TossedKept::all, const TossedSoFar& before = {});

// The same for the tossed candidates of a record or part of the numbers low..high whose
// counts say `tossed` and `primes` in all (ignored for a part). Past 2^64 a record lists
// its candidates by their distance from `origin`, and low and high are such distances.
std::optional<std::string> tossedMisfit(const SliceRecord& record, std::uint64_t low, std::uint64_t high,
                                        std::uint64_t tossed, std::uint64_t primes, TossedKept kept,
                                        const TossedSoFar& before, Uint128 origin = 0);

}  // namespace sharp::survey
