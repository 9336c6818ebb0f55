#include "stats/progress.hpp"

#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/captured_run.hpp"

namespace sharp {
namespace {

using test::CapturedRun;

std::vector<std::string> progressLines(const std::string& console) {
    std::vector<std::string> lines;
    const std::regex working("working \\.\\.\\. (\\d+)\n");
    for (auto it = std::sregex_iterator(console.begin(), console.end(), working); it != std::sregex_iterator(); ++it) {
        lines.push_back((*it)[1]);
    }
    return lines;
}

TEST(ReportProgress, LinesOfARunTo997) {
    CapturedRun run(997);
    run.runLoop();
    const std::vector<std::string> expected = {"23", "167", "347", "523", "727", "937"};
    EXPECT_EQ(progressLines(run.console()), expected);
}

TEST(ReportProgress, WrittenWhileTheHitCountIsAMultipleOf30) {
    CapturedRun run(0);
    RunContext& context = run.context();
    const std::pair<std::uint32_t, std::uint32_t> passes[] = {{0, 23}, {1, 29}, {29, 31}, {30, 37}, {60, 41}, {61, 43}};
    for (const auto& [hits, candidate] : passes) {
        context.sievePrimeCount = hits;
        context.candidate = candidate;
        reportProgress(context);
    }
    EXPECT_EQ(run.console(), "working ... 23\nworking ... 37\nworking ... 41\n");
}

struct MarkCase {
    std::uint32_t endCandidate;
    const char* consoleTail;  // what the loop leaves at the end of the console
    const char* log;          // what the loop writes to the run log
};

TEST(ReportMilestones, MarksAroundPowersOfTen) {
    const MarkCase cases[] = {
        {99989, "number is prime!  99989  0\n", "number is prime!  99989  0\n"},
        {99991, "number is prime!  99991  0\nmark 1E5 = 9592", "number is prime!  99991  0\nmark 1E5 = 9592"},
        {999998, "mark 1E6 = 78498", "mark 1E5 = 9592mark 1E6 = 78498"},
        {1000001, "number is composite  101  0  0\n",
         "mark 1E5 = 9592mark 1E6 = 78498number is composite  101  0  0\n"},
    };
    for (const MarkCase& c : cases) {
        CapturedRun run(c.endCandidate);
        run.runLoop();
        const std::string console = run.console();
        const std::string tail = c.consoleTail;
        ASSERT_GE(console.size(), tail.size());
        EXPECT_EQ(console.substr(console.size() - tail.size()), tail) << c.endCandidate;
        EXPECT_EQ(run.primality(), c.log) << c.endCandidate;
    }
}

TEST(ReportMilestones, MarkContinuesOnTheNextProgressLine) {
    CapturedRun run(1000001);
    run.runLoop();
    const std::string console = run.console();
    EXPECT_NE(console.find("\nmark 1E5 = 9592working ... 100123\n"), std::string::npos);
    EXPECT_NE(console.find("mark 1E6 = 78498"), std::string::npos);
}

TEST(ReportMilestones, FiresOnlyWhenTheStepCrossesAThreshold) {
    CapturedRun run(0);
    RunContext& context = run.context();
    context.primeCount = 7;
    const std::pair<std::uint32_t, std::uint32_t> steps[] = {
        {99989, 99991}, {99991, 100003}, {100003, 100019}, {999997, 1000001}, {1000000, 1000001},
        {999999999, 1000000007}, {99999999, 100000007}, {9999991, 10000007},
    };
    for (const auto& [previous, next] : steps) {
        context.previousCandidate = previous;
        context.candidate = next;
        reportMilestones(context);
    }
    const char* expected = "mark 1E5 = 7mark 1E6 = 7mark 1E9 = 7mark 1E8 = 7mark 1E7 = 7";
    EXPECT_EQ(run.console(), expected);
    EXPECT_EQ(run.primality(), expected);
}

}  // namespace
}  // namespace sharp
