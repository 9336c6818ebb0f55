// The values N at which the survey reports its counts from A to N: the ends of the
// buckets every record counts in.
#pragma once

#include <cstdint>
#include <vector>

#include "survey/parallel/run_survey.hpp"

namespace sharp::survey {

struct Checkpoint {
    std::uint64_t value;
    bool inTable;  // a row of the table on standard output; every checkpoint is a CSV row
};

// The checkpoints of a survey of from..to, ascending and distinct, the last one `to`:
// in the table every power of ten inside the range (from 100 on: below the first
// candidate every count is 0) and `to`; in the CSV also about kCsvRowsPerDecade
// geometric steps per decade.
std::vector<Checkpoint> planCheckpoints(std::uint64_t from, std::uint64_t to);

// A plan for from..to on `threads` threads sharing `cpus` CPUs (0: one each), one
// bucket per checkpoint of the range.
SurveyPlan planSurvey(std::uint64_t from, std::uint64_t to, unsigned threads, unsigned cpus = 0);

}  // namespace sharp::survey
