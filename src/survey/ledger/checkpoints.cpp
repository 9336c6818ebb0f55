#include "survey/ledger/checkpoints.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <map>

#include "survey/survey_constants.hpp"

namespace sharp::survey {

namespace {

// Powers of ten and geometric steps below this bound are never rows: they would hold
// the few candidates from 23 on, or none.
constexpr std::uint64_t kFirstRow = 100;

// A natural number as 32-bit limbs, least significant first: just enough arithmetic
// to decide a rounding exactly, the same on every platform.
using Natural = std::vector<std::uint32_t>;

Natural naturalOf(std::uint64_t value) {
    return {static_cast<std::uint32_t>(value), static_cast<std::uint32_t>(value >> 32)};
}

Natural product(const Natural& a, const Natural& b) {
    Natural result(a.size() + b.size(), 0);
    for (std::size_t i = 0; i < a.size(); ++i) {
        std::uint64_t carry = 0;
        for (std::size_t j = 0; j < b.size(); ++j) {
            const std::uint64_t sum = std::uint64_t{a[i]} * b[j] + result[i + j] + carry;
            result[i + j] = static_cast<std::uint32_t>(sum);
            carry = sum >> 32;
        }
        result[i + b.size()] = static_cast<std::uint32_t>(carry);
    }
    while (result.size() > 1 && result.back() == 0) result.pop_back();
    return result;
}

// By squaring: a survey decides some 800 roundings with a 20th power each before it starts.
Natural power(Natural base, unsigned exponent) {
    Natural result{1};
    for (; exponent != 0; exponent >>= 1) {
        if (exponent & 1) result = product(result, base);
        if (exponent > 1) base = product(base, base);
    }
    return result;
}

bool below(const Natural& a, const Natural& b) {
    if (a.size() != b.size()) return a.size() < b.size();
    for (std::size_t i = a.size(); i-- > 0;) {
        if (a[i] != b[i]) return a[i] < b[i];
    }
    return false;
}

// (2 n + d)^kCsvRowsPerDecade for d = -1 or 1: compared with 2^k 10^step, it tells
// whether 10^(step / k) lies above n - 1/2 or below n + 1/2.
Natural oddPower(std::uint64_t n, int d) {
    // 2 n in 65 bits, then one up or down (n >= 1, so 2 n - 1 >= 1).
    Natural odd = {static_cast<std::uint32_t>(n << 1), static_cast<std::uint32_t>(n >> 31),
                   static_cast<std::uint32_t>(n >> 63)};
    for (std::uint32_t& limb : odd) {
        if (d > 0 ? ++limb != 0 : limb-- != 0) break;
    }
    return power(odd, kCsvRowsPerDecade);
}

// 10^(step / kCsvRowsPerDecade) in floating point: within 1 of the step's row.
long double roughStep(unsigned step) {
    return std::pow(10.0L, static_cast<long double>(step) / kCsvRowsPerDecade);
}

// 10^(step / kCsvRowsPerDecade) rounded to the nearest integer (it is never halfway:
// a power of ten with a fractional exponent is irrational). A first guess from
// floating point, then corrected by exact comparisons.
// `tenPower` is 10^step.
std::uint64_t geometricStep(unsigned step, const Natural& tenPower) {
    const Natural target = product(power({2}, kCsvRowsPerDecade), tenPower);
    std::uint64_t n = static_cast<std::uint64_t>(std::roundl(roughStep(step)));
    while (n > 1 && below(target, oddPower(n, -1))) --n;   // 10^x < n - 1/2
    while (!below(target, oddPower(n, 1))) ++n;            // 10^x >= n + 1/2
    return n;
}


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
    // Steps while 10^(step / kCsvRowsPerDecade) lies below 2^64 - 1, the last number.
    const Natural lastPower = power(naturalOf(~std::uint64_t{0}), kCsvRowsPerDecade);
    Natural tenPower{10};
    for (unsigned step = 1; below(tenPower, lastPower); ++step, tenPower = product(tenPower, {10})) {
        // Exact roundings only for the rows that may lie in the range: a short survey
        // far up needs one or two of the 385.
        const long double rough = roughStep(step);
        if (rough + 2 < static_cast<long double>(lowest) || rough - 2 > static_cast<long double>(to)) continue;
        add(geometricStep(step, tenPower), false);
    }
    rows[to] = true;
    std::vector<Checkpoint> checkpoints;
    for (const auto& [value, inTable] : rows) checkpoints.push_back({value, inTable});
    return checkpoints;
}

SurveyPlan planSurvey(std::uint64_t from, std::uint64_t to, unsigned threads, unsigned cpus) {
    SurveyPlan plan;
    plan.from = from;
    plan.to = to;
    plan.threads = threads;
    plan.cpus = cpus;
    for (const Checkpoint& checkpoint : planCheckpoints(from, to)) plan.bucketEnds.push_back(checkpoint.value);
    return plan;
}

}  // namespace sharp::survey
