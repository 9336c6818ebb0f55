#include "survey/ledger/checkpoints.hpp"

#include <algorithm>
#include <cmath>
#include <map>

#include "survey/survey_constants.hpp"

namespace sharp::survey {

namespace {

// Powers of ten and geometric steps below this bound are never rows: they would hold
// the few candidates from 23 on, or none.
constexpr std::uint64_t kFirstRow = 100;

}  // namespace

std::vector<Checkpoint> planCheckpoints(std::uint64_t from, std::uint64_t to) {
    std::map<std::uint64_t, bool> rows;  // value -> in the table
    const std::uint64_t lowest = std::max(from, kFirstRow);
    const auto add = [&](std::uint64_t value, bool inTable) {
        if (value < lowest || value > to) return;
        rows[value] = rows[value] || inTable;
    };
    for (std::uint64_t power = 1;; power *= 10) {
        add(power, true);
        if (power > ~std::uint64_t{0} / 10) break;
    }
    for (unsigned step = 1;; ++step) {
        const long double value = std::pow(10.0L, static_cast<long double>(step) / kCsvRowsPerDecade);
        if (value >= 18446744073709551615.0L) break;
        add(static_cast<std::uint64_t>(std::roundl(value)), false);
    }
    rows[to] = true;
    std::vector<Checkpoint> checkpoints;
    for (const auto& [value, inTable] : rows) checkpoints.push_back({value, inTable});
    return checkpoints;
}

SurveyPlan planSurvey(std::uint64_t from, std::uint64_t to, unsigned threads) {
    SurveyPlan plan;
    plan.from = from;
    plan.to = to;
    plan.threads = threads;
    for (const Checkpoint& checkpoint : planCheckpoints(from, to)) plan.bucketEnds.push_back(checkpoint.value);
    return plan;
}

}  // namespace sharp::survey
