#include "survey/program/status_line.hpp"

#include <gtest/gtest.h>

namespace sharp::survey {
namespace {

// Three windows of 100 numbers, each dearer than the one before: the time left goes
// at the latest window's pace, or the current one's when that is slower.
TEST(LatestWindowPace, GoesAtTheLatestWindowsPace) {
    LatestWindowPace pace(300, 0);
    const struct {
        double seconds, recorded, inWindow;
        std::optional<double> left;
    } steps[] = {
        {0, 0, 0, std::nullopt},  // nothing done: no pace yet
        {1, 0, 50, 5},            // 1 s for 50: 250 left at 0.02 s each
        {2, 100, 0, 4},           // the first window took 2 s
        {5, 100, 50, 9},          // the second goes slower, 3 s for 50: 150 left at 0.06 s
        {8, 200, 0, 6},           // it took 6 s: the last 100 at 0.06 s
        {9, 200, 50, 3},          // the third as fast as that so far
    };
    for (const auto& step : steps) {
        EXPECT_EQ(pace.secondsLeft(step.seconds, step.recorded, step.inWindow), step.left) << step.seconds;
    }
}

}  // namespace
}  // namespace sharp::survey
