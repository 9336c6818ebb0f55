// Whether a slice record can belong to this survey, wherever it came from: a line of
// the state file or a record another rank sent. A record is summed by bucket and its
// tossed candidates are listed as found, so nothing in it is taken on trust.
#pragma once

#include <optional>
#include <string>

#include "survey/ledger/slices.hpp"
#include "survey/parallel/run_survey.hpp"

namespace sharp::survey {

// What is wrong with `record` for the survey of `plan` cut into `layout`, or nothing:
// its slice must be one of the layout's; its buckets exactly those its slice
// reaches, ascending; its counts add up (hits are true or false primes, candidates
// hits or tossed); its tossed candidates ascending candidates inside the slice, as
// many as its counts say, as many of them prime.
std::optional<std::string> recordMisfit(const SliceRecord& record, const SurveyPlan& plan, const SliceLayout& layout);

}  // namespace sharp::survey
