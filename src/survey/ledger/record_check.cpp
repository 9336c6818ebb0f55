#include "survey/ledger/record_check.hpp"

#include <algorithm>

#include "survey/check/sharp_check.hpp"
#include "survey/survey_constants.hpp"

namespace sharp::survey {

namespace {

// The bucket that counts n: the first whose end is n or above.
std::size_t bucketOf(const SurveyPlan& plan, std::uint64_t n) {
    const auto& ends = plan.bucketEnds;
    return static_cast<std::size_t>(std::lower_bound(ends.begin(), ends.end(), n) - ends.begin());
}

std::optional<std::string> countsMisfit(const SliceRecord& record, const SurveyPlan& plan, std::uint64_t low,
                                        std::uint64_t high) {
    const std::size_t first = bucketOf(plan, low), last = bucketOf(plan, high);
    if (record.bucketCounts.size() != last - first + 1) return "its buckets are not those its slice reaches";
    for (std::size_t i = 0; i < record.bucketCounts.size(); ++i) {
        const auto& [bucket, c] = record.bucketCounts[i];
        if (bucket != first + i) return "its buckets are not those its slice reaches";
        // Compared by differences, so that no crafted count can wrap a sum around.
        if (c.candidates > (high - low) / 2 + 1 || c.hits > c.candidates || c.truePrimes > c.hits ||
            c.falsePrimes != c.hits - c.truePrimes || c.tossedPrimes > c.candidates - c.hits ||
            c.tossedComposites != c.candidates - c.hits - c.tossedPrimes) {
            return "its counts do not add up";
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> tossedMisfit(const SliceRecord& record, std::uint64_t low, std::uint64_t high,
                                        std::uint64_t tossed, std::uint64_t primes, TossedKept kept,
                                        const TossedSoFar& before, Uint128 origin) {
    if (kept == TossedKept::first && record.isPart) return std::string("a part of a tossed list that is not kept");
    if (record.part != before.parts || (kept == TossedKept::first && record.part != 0)) {
        return record.isPart ? "its part " + std::to_string(record.part) + " of the tossed list is out of order"
                             : "its tossed list's parts are not as many as it says";
    }
    if (record.isPart && (record.tossed.empty() || record.tossed.size() > kTossedPerLine)) {
        return std::string("its part of the tossed list is empty or too long");
    }
    std::uint64_t listedPrimes = 0, previous = before.last;
    bool any = before.count > 0;  // a candidate listed before: the next lies above it
    for (const TossedCandidate& t : record.tossed) {
        const bool candidate = origin == 0 ? isCandidate(t.value) : isCandidate(origin + t.value);
        if (t.value < low || t.value > high || (any && t.value <= previous) || !candidate) {
            return "tossed candidate " + std::to_string(t.value) + " is not an ascending candidate of its slice";
        }
        previous = t.value;
        any = true;
        listedPrimes += t.prime;
    }
    if (record.isPart) return std::nullopt;
    const std::uint64_t listed = before.count + record.tossed.size();
    listedPrimes += before.primes;
    if (kept == TossedKept::first) {
        // The first of the list: as many as the table shows, or all there are.
        if (listed != std::min<std::uint64_t>(tossed, kTossedShown)) return "its first tossed candidates are not as many as its counts say";
        if (listedPrimes > primes || listed - listedPrimes > tossed - primes) return "its first tossed primes are more than its counts say";
        return std::nullopt;
    }
    if (listed != tossed) return "its tossed candidates are not as many as its counts say";
    if (listedPrimes != primes) return "its tossed primes are not as many as its counts say";
    return std::nullopt;
}

std::optional<std::string> recordMisfit(const SliceRecord& record, const SurveyPlan& plan, const SliceLayout& layout,
                                        TossedKept kept, const TossedSoFar& before) {
    if (record.slice >= layout.count) return "slice " + std::to_string(record.slice) + " is not one of this survey's";
    const Piece piece = layout.piece(record.slice);
    const std::uint64_t low = std::max(plan.from, 128 * piece.firstWord);
    const std::uint64_t high = std::min(plan.to, 128 * (piece.endWord - 1) + 127);
    if (record.isPart) return tossedMisfit(record, low, high, 0, 0, kept, before);
    if (auto misfit = countsMisfit(record, plan, low, high)) return misfit;
    std::uint64_t tossed = 0, primes = 0;
    for (const auto& [bucket, c] : record.bucketCounts) {
        tossed += c.tossedPrimes + c.tossedComposites;
        primes += c.tossedPrimes;
    }
    return tossedMisfit(record, low, high, tossed, primes, kept, before);
}

}  // namespace sharp::survey
