// Rank 0 takes a record only from the rank it handed that slice to, and only once.
#include <gtest/gtest.h>

#include "survey/ledger/slice_handouts.hpp"

namespace sharp::survey {
namespace {

TEST(SliceHandouts, ARecordCountsOnlyFromItsHolderOnce) {
    SliceHandouts handouts;
    handouts.handed(7, 1);
    handouts.handed(8, 2);
    const struct {
        std::uint64_t slice;
        int sender;
        bool taken;
    } records[] = {
        {7, 2, false},  // another rank's slice
        {9, 1, false},  // a slice nobody was handed
        {7, 1, true},
        {7, 1, false},  // sent twice
        {8, 2, true},
    };
    for (const auto& r : records) EXPECT_EQ(handouts.takeBack(r.slice, r.sender), r.taken) << r.slice << " from " << r.sender;
}

}  // namespace
}  // namespace sharp::survey
