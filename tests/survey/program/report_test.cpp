#include "survey/program/report.hpp"

#include <gtest/gtest.h>

namespace sharp::survey {
namespace {

// A small expectation keeps its value in the CSV: four significant digits below 0.01.
TEST(Report, ExpectationsKeepTheirValue) {
    const std::vector<Checkpoint> rows = {{100, true}};
    const std::pair<ExpectedTossed, const char*> cases[] = {
        {{0.5, 12.25, 0, 0.01}, "100,0.5000,12.2500,0.0000,0.0100\n"},
        {{1.234e-5, 0.009876, 4.5e-7, 0.0099996}, "100,1.234e-05,9.876e-03,4.500e-07,1.000e-02\n"},
    };
    for (const auto& [expected, row] : cases) {
        const std::string csv = formatExpectedCsv(rows, {expected});
        EXPECT_EQ(csv.substr(csv.find('\n') + 1), row);
    }
}

// Observed against expected per row of the table: the buckets between two rows summed,
// the expectation's difference with the larger end's error, and the whole range.
TEST(Report, ComparisonPerRowAndForTheRange) {
    const std::vector<Checkpoint> checkpoints = {{100, true}, {500, false}, {1000, true}};
    ClassCounts first, second, third;
    first.truePrimes = 20;
    second.truePrimes = 50, second.tossedPrimes = 2;
    third.truePrimes = 80, third.tossedPrimes = 2, third.tossedComposites = 1;
    const std::vector<ExpectedTossed> expected = {{1, 0.5, 0, 0}, {2, 1, 0, 0}, {5, 2.5, 0, 0}};
    const std::string table = formatComparisonTable(23, checkpoints, {first, second, third}, expected);
    const std::string lines[] = {
        "                  23                  100            20             0  0.000e+00         1.00    0.000     -1.0"
        "                 0         0.50    0.000     -0.7\n",
        "                 100                 1000           134             4  2.985e-02         4.00    1.000     +0.0"
        "                 1         2.00    0.500     -0.7\n",
        "                 all                                154             4  2.597e-02         5.00    0.800     -0.4"
        "                 1         2.50    0.400     -0.9\n",
    };
    for (const std::string& line : lines) EXPECT_NE(table.find(line), std::string::npos) << line << table;
}

}  // namespace
}  // namespace sharp::survey
