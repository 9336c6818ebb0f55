// The rows of the table and the CSV: the same N on every platform.
#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "survey/ledger/checkpoints.hpp"

namespace sharp::survey {
namespace {

TEST(Checkpoints, GeometricStepsAreRoundedExactly) {
    // 10^(k/20) to 80 digits, rounded: floating point gets the last digits wrong above 10^17.
    std::vector<std::uint64_t> values;
    for (const Checkpoint& checkpoint : planCheckpoints(0, ~std::uint64_t{0})) values.push_back(checkpoint.value);
    for (const std::uint64_t exact : std::initializer_list<std::uint64_t>{112u, 112201845430196344u, 125892541179416721u, 562341325190349080u,
                                      17782794100389228012u, 18446744073709551615u}) {
        EXPECT_TRUE(std::binary_search(values.begin(), values.end(), exact)) << exact;
    }
    EXPECT_EQ(values.size(), 347u);
}

// A range's rows are the whole line's rows inside it, and its end: the rows far from
// it are never decided, and those near its ends are.
TEST(Checkpoints, ARangeHasTheRowsOfTheWholeLineInsideIt) {
    std::vector<std::uint64_t> all;
    for (const Checkpoint& checkpoint : planCheckpoints(0, ~std::uint64_t{0})) all.push_back(checkpoint.value);
    const std::pair<std::uint64_t, std::uint64_t> ranges[] = {
        {1'000'000'000'000u, 1'001'000'000'000u}, {123'456'789u, 987'654'321'012u}, {111, 113},
        // ends on rows and just inside them
        {112'201'845'430'196'344u, 562'341'325'190'349'080u}, {112'201'845'430'196'345u, 562'341'325'190'349'079u},
        {17'782'794'100'389'228'012u, 18'000'000'000'000'000'000u}};
    for (const auto& [from, to] : ranges) {
        std::vector<std::uint64_t> expected;
        std::copy_if(all.begin(), all.end(), std::back_inserter(expected),
                     [&](std::uint64_t v) { return v >= from && v < to; });
        expected.push_back(to);
        std::vector<std::uint64_t> values;
        for (const Checkpoint& checkpoint : planCheckpoints(from, to)) values.push_back(checkpoint.value);
        EXPECT_EQ(values, expected) << from << ".." << to;
    }
}

}  // namespace
}  // namespace sharp::survey
