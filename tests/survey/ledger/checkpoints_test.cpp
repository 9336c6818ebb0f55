// The rows of the table and the CSV: the same N on every platform.
#include <algorithm>
#include <initializer_list>
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

}  // namespace
}  // namespace sharp::survey
