// A slice record is checked before it is summed or written, whether it comes from a
// state file or from another rank: every way a crafted or damaged one can misfit.
#include <functional>

#include <gtest/gtest.h>

#include "survey/ledger/checkpoints.hpp"
#include "survey/ledger/record_check.hpp"

namespace sharp::survey {
namespace {

TEST(RecordCheck, EveryMisfitIsNamed) {
    const SurveyPlan plan = planSurvey(0, 1'000'000'000, 1);
    const SliceLayout layout = SliceLayout::forRange(0, 1'000'000'000);
    ASSERT_EQ(layout.sliceWords, 1u << 21);  // slice 0: the numbers below 2^28
    SliceRecord good;  // slice 0 with every bucket it reaches, all counts 0
    for (std::size_t bucket = 0; bucket == 0 || plan.bucketEnds[bucket - 1] < (1u << 28) - 1; ++bucket) {
        good.bucketCounts.emplace_back(bucket, ClassCounts{});
    }
    ASSERT_EQ(recordMisfit(good, plan, layout), std::nullopt);

    const std::pair<const char*, std::function<void(SliceRecord&)>> misfits[] = {
        {"is not one of this survey's", [](SliceRecord& r) { r.slice = 4; }},
        {"buckets are not those", [](SliceRecord& r) { r.bucketCounts.pop_back(); }},
        {"buckets are not those", [](SliceRecord& r) { r.bucketCounts[1].first = 2; }},
        {"counts do not add up", [](SliceRecord& r) { r.bucketCounts[3].second.hits = 1; }},
        {"counts do not add up", [](SliceRecord& r) {
             r.bucketCounts[3].second = {1, 1, ~std::uint64_t{0}, 2, 0, 0};  // a sum that wraps around
         }},
        {"counts do not add up", [](SliceRecord& r) { r.bucketCounts[3].second = {~std::uint64_t{0} - 1, 0, 0, 0, 0, ~std::uint64_t{0} - 1}; }},
        {"not as many as its counts say", [](SliceRecord& r) { r.bucketCounts[3].second = {1, 0, 0, 0, 0, 1}; }},
        {"not an ascending candidate", [](SliceRecord& r) {
             r.bucketCounts[3].second = {1, 0, 0, 0, 0, 1};
             r.tossed.push_back({1'000'000'007, true});  // outside the slice
         }},
        {"not an ascending candidate", [](SliceRecord& r) {
             r.bucketCounts[3].second = {1, 0, 0, 0, 0, 1};
             r.tossed.push_back({1001, false});  // 7 * 11 * 13: no candidate
         }},
        {"tossed primes are not as many", [](SliceRecord& r) {
             r.bucketCounts[3].second = {1, 0, 0, 0, 0, 1};
             r.tossed.push_back({1009, true});
         }},
    };
    for (const auto& [message, spoil] : misfits) {
        SliceRecord record = good;
        spoil(record);
        const auto why = recordMisfit(record, plan, layout);
        ASSERT_TRUE(why.has_value()) << message;
        EXPECT_NE(why->find(message), std::string::npos) << *why;
    }
}

}  // namespace
}  // namespace sharp::survey
