// A slice record is checked before it is summed or written, whether it comes from a
// state file or from another rank: every way a crafted or damaged one can misfit.
#include <functional>
#include <tuple>

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

    // A list in parts: each part the next, above the last; the record counts them all.
    SliceRecord part{0, {}, {{1009, true}}, true, 0};
    const TossedSoFar afterPart{1, 1, 1, 1009};
    SliceRecord closing = good;
    closing.bucketCounts[3].second = {2, 0, 0, 0, 1, 1};
    closing.part = 1;
    closing.tossed = {{2809, false}};  // 53^2
    ASSERT_EQ(recordMisfit(part, plan, layout), std::nullopt);
    ASSERT_EQ(recordMisfit(closing, plan, layout, TossedKept::all, afterPart), std::nullopt);
    SliceRecord first = closing;  // kept first: the first candidates alone, no parts
    first.part = 0;
    first.tossed = {{1009, true}, {2809, false}};
    ASSERT_EQ(recordMisfit(first, plan, layout, TossedKept::first), std::nullopt);
    SliceRecord shortOfFirst = first;
    shortOfFirst.tossed.pop_back();
    const std::tuple<const char*, SliceRecord, TossedKept, TossedSoFar> listMisfits[] = {
        {"part 1 of the tossed list is out of order", SliceRecord{0, {}, {{1009, true}}, true, 1}, TossedKept::all, {}},
        {"not an ascending candidate", SliceRecord{0, {}, {{1009, true}}, true, 1}, TossedKept::all, afterPart},
        {"parts are not as many", closing, TossedKept::all, {}},
        {"not as many as its counts say", closing, TossedKept::all, TossedSoFar{1, 2, 1, 1009}},
        {"a part of a tossed list that is not kept", part, TossedKept::first, {}},
        {"parts are not as many", closing, TossedKept::first, afterPart},
        {"first tossed candidates are not as many", shortOfFirst, TossedKept::first, {}},
    };
    for (const auto& [message, record, kept, before] : listMisfits) {
        const auto why = recordMisfit(record, plan, layout, kept, before);
        ASSERT_TRUE(why.has_value()) << message;
        EXPECT_NE(why->find(message), std::string::npos) << *why;
    }
    // Parts and counts survive their line.
    for (const SliceRecord& record : {part, closing}) EXPECT_EQ(parseRecord(formatRecord(record).substr(0, formatRecord(record).size() - 1)), record);
}

}  // namespace
}  // namespace sharp::survey
