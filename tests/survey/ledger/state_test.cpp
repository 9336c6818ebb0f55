// Resumable surveys: a state file cut anywhere in its last line or killed at any
// moment resumes to exactly the uninterrupted outputs; a damaged, foreign or busy
// one is refused.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "support/temp_dir.hpp"
#include "survey/ledger/slices.hpp"
#include "survey/survey_run.hpp"

namespace sharp::survey {
namespace {

using sharp::test::readFile;
using sharp::test::TempDir;
using sharp::test::writeFile;

const std::string kRange = "--threads 2 --quiet --csv s.csv --tossed t.txt 1e9";

struct Outputs {
    std::string table, csv, tossed;
    bool operator==(const Outputs&) const = default;
};

Outputs outputsIn(const std::filesystem::path& folder, const test::SurveyRun& run) {
    return {run.table(), readFile(folder / "s.csv"), readFile(folder / "t.txt")};
}

class StateFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        reference_ = new TempDir;
        const test::SurveyRun run = test::runSurvey(reference_->path(), kRange + " --state state.txt");
        ASSERT_EQ(run.status, 0) << run.err;
        expected_ = new Outputs(outputsIn(reference_->path(), run));
        state_ = new std::string(readFile(reference_->path() / "state.txt"));
    }
    static void TearDownTestSuite() {
        delete reference_;
        delete expected_;
        delete state_;
    }

    // Resumes from `state` in a fresh folder; the run's status and stderr.
    test::SurveyRun resume(const std::string& state, const std::string& arguments = kRange) {
        writeFile(dir_.path() / "state.txt", state);
        return test::runSurvey(dir_.path(), arguments + " --state state.txt");
    }

    static TempDir* reference_;
    static Outputs* expected_;
    static std::string* state_;
    TempDir dir_;
};

TempDir* StateFiles::reference_ = nullptr;
Outputs* StateFiles::expected_ = nullptr;
std::string* StateFiles::state_ = nullptr;

TEST_F(StateFiles, AFinishedStateGivesTheSameOutputsAgain) {
    const test::SurveyRun run = resume(*state_);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(outputsIn(dir_.path(), run), *expected_);
    EXPECT_TRUE(readFile(dir_.path() / "state.txt") == *state_);
}

TEST_F(StateFiles, ACutAtEveryByteOfTheLastLineResumes) {
    const std::size_t lastLine = state_->rfind('\n', state_->size() - 2) + 1;
    for (std::size_t cut = lastLine; cut < state_->size(); ++cut) {
        const test::SurveyRun run = resume(state_->substr(0, cut));
        ASSERT_EQ(run.status, 0) << "cut at " << cut << ": " << run.err;
        EXPECT_EQ(outputsIn(dir_.path(), run), *expected_) << "cut at " << cut;
        EXPECT_EQ(run.err.empty(), cut == lastLine) << run.err;  // a torn line is dropped with a note
        EXPECT_TRUE(readFile(dir_.path() / "state.txt") == *state_) << "cut at " << cut;
    }
}

TEST_F(StateFiles, DamagedForeignOrBusyStateIsRefused) {
    const std::size_t firstRecord = state_->find('\n') + 1;
    const std::string firstLine = state_->substr(firstRecord, state_->find('\n', firstRecord) + 1 - firstRecord);
    std::string damaged = *state_;  // a digit changed in a line with more after it
    const std::size_t digit = damaged.find_first_of("123456789", firstRecord + 2);
    damaged[digit] = damaged[digit] == '9' ? '8' : '9';
    std::string twice = *state_;
    twice.insert(firstRecord, firstLine);  // slice 0 twice: as wrong as a damaged line
    SliceRecord outside;  // slice 0 with a good checksum, but a bucket this survey does not have
    outside.bucketCounts.emplace_back(100000, ClassCounts{});
    std::string foreignBucket = *state_;
    foreignBucket.replace(firstRecord, firstLine.size(), formatRecord(outside));
    for (const std::string& state : {damaged, twice, foreignBucket}) {
        const test::SurveyRun run = resume(state);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find("is damaged"), std::string::npos) << run.err;
        EXPECT_TRUE(readFile(dir_.path() / "state.txt") == state);  // left as it was
    }
    const std::pair<std::string, std::string> foreign[] = {
        {*state_, "belongs to another survey"},  // resumed for another range
        {"my notes\n", "is not a sharp-survey state file"},
        {"my notes", "is not a sharp-survey state file"},
    };
    for (const auto& [state, message] : foreign) {
        const test::SurveyRun run = resume(state, "--quiet 2e9");
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_TRUE(readFile(dir_.path() / "state.txt") == state);
    }

    // A foreign file of 150 MB is refused at its first line, in constant memory.
    {
        std::ofstream big(dir_.path() / "state.txt", std::ios::binary);
        const std::string mebibyte(1 << 20, 'x');
        for (int i = 0; i < 150; ++i) big << mebibyte;
    }
#ifndef SHARP_SANITIZED  // an address-space limit leaves the sanitizer no room
    const test::SurveyRun big = test::runSurvey(dir_.path(), kRange + " --state state.txt", "ulimit -v 100000;");
    EXPECT_EQ(big.status, 2);
    EXPECT_NE(big.err.find("is not a sharp-survey state file"), std::string::npos) << big.err;
#endif

    writeFile(dir_.path() / "state.txt", *state_);
    const int held = ::open((dir_.path() / "state.txt").c_str(), O_RDONLY);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    const test::SurveyRun busy = test::runSurvey(dir_.path(), kRange + " --state state.txt");
    ::close(held);
    EXPECT_EQ(busy.status, 2);
    EXPECT_NE(busy.err.find("in use by another survey"), std::string::npos) << busy.err;
}

// A complete last line that does not read (its write went wrong) is as good as torn.
TEST_F(StateFiles, ADamagedLastLineIsDroppedAndComputedAgain) {
    std::string damaged = *state_;
    const std::size_t digit = damaged.find_first_of("123456789", damaged.rfind('\n', damaged.size() - 2) + 2);
    damaged[digit] = damaged[digit] == '9' ? '8' : '9';
    const test::SurveyRun run = resume(damaged);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("dropped a damaged last line"), std::string::npos) << run.err;
    EXPECT_EQ(outputsIn(dir_.path(), run), *expected_);
}

// A full disk mid-append: the survey stops with status 1, the file keeps only
// complete lines, and a rerun resumes from them.
TEST_F(StateFiles, AFailedAppendLeavesCompleteLinesToResumeFrom) {
    const test::SurveyRun cut =
        test::runSurvey(dir_.path(), kRange + " --state state.txt", "ulimit -f 4; trap \"\" XFSZ;");
    EXPECT_EQ(cut.status, 1);
    EXPECT_NE(cut.err.find("cannot write state file state.txt: File too large"), std::string::npos) << cut.err;
    const std::string kept = readFile(dir_.path() / "state.txt");
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(kept.back(), '\n');
    EXPECT_LT(kept.size(), state_->size());
    for (std::size_t at = 0; at < kept.size(); at = kept.find('\n', at) + 1) {
        EXPECT_NE(state_->find(kept.substr(at, kept.find('\n', at) + 1 - at)), std::string::npos);
    }
    const test::SurveyRun resumed = test::runSurvey(dir_.path(), kRange + " --state state.txt");
    ASSERT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_EQ(outputsIn(dir_.path(), resumed), *expected_);
}

// Kills a survey with SIGKILL at random moments, resumes it each time, and expects
// the uninterrupted outputs at the end.
TEST(StateFilesFull, KilledAndResumedEqualsUninterrupted) {
    const std::string range = "--threads 2 --quiet --csv s.csv --tossed t.txt 2e10";
    TempDir whole;
    const test::SurveyRun reference = test::runSurvey(whole.path(), range);
    ASSERT_EQ(reference.status, 0);
    const Outputs expected = outputsIn(whole.path(), reference);

    // Fixed unless SHARP_TEST_SEED gives another, so that a failure can be replayed.
    const char* given = std::getenv("SHARP_TEST_SEED");
    const unsigned seed = given != nullptr ? static_cast<unsigned>(std::strtoul(given, nullptr, 10)) : 20261209u;
    std::printf("kill moments from seed %u (SHARP_TEST_SEED)\n", seed);
    std::mt19937 random(seed);
    TempDir dir;
    for (int kill = 0; kill < 3; ++kill) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::filesystem::current_path(dir.path());
            execl(SHARP_SURVEY_EXE, SHARP_SURVEY_EXE, "--threads", "2", "--quiet", "--csv", "s.csv", "--tossed",
                  "t.txt", "--state", "state.txt", "2e10", static_cast<char*>(nullptr));
            _exit(127);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 2500));
        ::kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        // Killed, it leaves no part of a CSV file: none, or the whole one of a run that finished before.
        if (std::filesystem::exists(dir.path() / "s.csv")) {
            EXPECT_EQ(readFile(dir.path() / "s.csv"), expected.csv) << "seed " << seed;
        }
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            const std::string name = entry.path().filename();
            EXPECT_TRUE(name == "state.txt" || name == "s.csv" || name == "t.txt") << name << ", seed " << seed;
        }
    }
    const test::SurveyRun resumed = test::runSurvey(dir.path(), range + " --state state.txt");
    ASSERT_EQ(resumed.status, 0) << resumed.err << " seed " << seed;
    EXPECT_EQ(outputsIn(dir.path(), resumed), expected) << "seed " << seed;
}

}  // namespace
}  // namespace sharp::survey
