// Whole runs of the built program: standard input in, console and report files out.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "run/constants.hpp"
#include "support/masking.hpp"
#include "support/program_run.hpp"
#include "support/temp_dir.hpp"

namespace sharp {
namespace {

using test::kReportNames;
using test::ProgramRun;
using test::ProgramSetup;
using test::runProgram;

constexpr const char* kPrompt = "enter (end) candidate  < 100001 \n";
constexpr const char* kRejection = "enter odd, non-multiple of 3/5,\n";
constexpr const char* kEndMessage =
    "output is at  c:\\primes\\primality.txt , c:\\primes\\mylist.txt   and  c:\\primes\\Jun20.txt \n";

std::string sharpListing() {
    std::string listing;
    for (std::size_t slot = 1; slot < kSharpSlots; ++slot) listing += std::to_string(kSharpValues[slot]) + "\n";
    return listing;
}

TEST(Program, ListsTheSharpTableThenPrompts) {
    const ProgramRun run = runProgram("19\n");
    const std::string listing = sharpListing();
    ASSERT_EQ(run.console.substr(0, listing.size()), listing);
    EXPECT_EQ(listing.substr(0, 11), "3216213000\n");
    EXPECT_EQ(listing.substr(listing.size() - 5), "\n2\n0\n");
    EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 80);
    EXPECT_EQ(run.console.substr(listing.size(), 33 + 11), std::string(kPrompt) + "bgn ticks= ");
}

TEST(Program, EndCandidateBelow23RunsOnePass) {
    for (const char* input : {"1\n", "2\n", "4\n", "7\n", "8\n", "11\n", "19\n", "22\n"}) {
        const ProgramRun run = runProgram(input);
        EXPECT_EQ(run.exitStatus, 0) << input;
        EXPECT_EQ(run.errors, "") << input;
        EXPECT_NE(run.console.find("\nworking ... 23\n"), std::string::npos) << input;
        EXPECT_NE(run.console.find("\nactual, theory = 29  9  vs  8\n"), std::string::npos) << input;
        EXPECT_EQ(run.files.at("stp.txt"), "true prime = 23\n") << input;
        EXPECT_EQ(run.files.at("primality.txt").substr(0, 11), "bgn ticks= ") << input;
        EXPECT_EQ(run.console.substr(run.console.size() - std::string(kEndMessage).size()), kEndMessage);
    }
}

TEST(Program, RejectionsBeforeTheEntry) {
    const ProgramRun run = runProgram("0\n3\nabc def\n-4294967289\n4294967296\n4200000000\n25\n29\n");
    std::string expected = kPrompt;
    for (int i = 0; i < 7; ++i) expected += std::string(kRejection) + kPrompt;
    expected += "bgn ticks= ";
    EXPECT_EQ(run.console.substr(sharpListing().size(), expected.size()), expected);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.files.at("stp.txt"), "true prime = 23\ntrue prime = 29\n");
}

TEST(Program, NoEndCandidateOnStandardInput) {
    for (const char* input : {"", "3\n", "abc", "-5\n", "   \n"}) {
        const ProgramRun run = runProgram(ProgramSetup{input, true, {{"stp.txt", "earlier run\n"}}, {}});
        EXPECT_EQ(run.exitStatus, 1) << input;
        EXPECT_EQ(run.errors, "sharp-primes: no end candidate on standard input\n") << input;
        // No report file is opened, so nothing is created or truncated.
        EXPECT_EQ(run.files.size(), 1u) << input;
        EXPECT_EQ(run.files.at("stp.txt"), "earlier run\n") << input;
        const std::string tail = std::string(kPrompt);
        EXPECT_EQ(run.console.substr(run.console.size() - tail.size()), tail) << input;
    }
}

TEST(Program, FilesAreCreatedOrTruncatedWith0664) {
    ProgramSetup setup{"23\n", true, {}, {}};
    for (const char* name : kReportNames) setup.existingFiles[name] = std::string(5000, 'x') + "\n";
    const ProgramRun run = runProgram(setup);
    ASSERT_EQ(run.files.size(), 5u);
    EXPECT_EQ(run.files.at("stp.txt"), "true prime = 23\n");
    EXPECT_EQ(run.files.at("sfp.txt"), "");
    EXPECT_EQ(run.files.at("mylist.txt").find('x'), std::string::npos);
    EXPECT_EQ(run.files.at("primality.txt").find('x'), std::string::npos);
    const ProgramRun fresh = runProgram("23\n");
    for (const char* name : kReportNames) {
        EXPECT_EQ(fresh.modes.at(name) & std::filesystem::perms::all,
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                      std::filesystem::perms::group_read | std::filesystem::perms::group_write |
                      std::filesystem::perms::others_read)
            << name;
    }
}

using test::maskClocks;

TEST(Program, MissingReportFolderChangesNothingOnStandardOutput) {
    for (const char* input : {"2809\n", "99991\n", "29 x\n"}) {
        const ProgramRun with = runProgram(input, true);
        const ProgramRun without = runProgram(input, false);
        EXPECT_EQ(maskClocks(without.console), maskClocks(with.console)) << input;
        EXPECT_EQ(without.exitStatus, 0);
        EXPECT_TRUE(without.files.empty());
        std::string expectedErrors;
        for (const char* name : kReportNames) {
            expectedErrors += std::string("sharp-primes: cannot open c:\\primes\\") + name + " (primes/" + name +
                              "): No such file or directory\n";
        }
        EXPECT_EQ(without.errors, expectedErrors);
    }
}

TEST(Program, RestOfTheEntryLineServesAsTheFinalKey) {
    // "29 x": the blank goes with the number, "x" answers the final wait at once.
    const ProgramRun run = runProgram("29 x\n");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_NE(run.console.find("\nnumber is prime!  29  0\n"), std::string::npos);
    EXPECT_EQ(run.files.at("stp.txt"), "true prime = 23\ntrue prime = 29\n");
}

TEST(Program, AFullDiskIsNamedButChangesNothingElse) {
    const ProgramRun full = runProgram(ProgramSetup{"2809\n", true, {}, {{"sfp.txt", "/dev/full"}}});
    EXPECT_EQ(full.exitStatus, 0);
    EXPECT_EQ(full.errors,
              "sharp-primes: cannot write c:\\primes\\sfp.txt (primes/sfp.txt): No space left on device\n");
    const ProgramRun normal = runProgram("2809\n");
    EXPECT_EQ(maskClocks(full.console), maskClocks(normal.console));
    EXPECT_EQ(full.files.at("stp.txt"), normal.files.at("stp.txt"));
}

TEST(Program, ConsoleClosedEarlyDoesNotStopTheRun) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.path() / "primes");
    test::writeFile(dir.path() / "stdin", "99991\n");
    // The reader of the console quits at once; the run must still complete its files.
    const std::string command = "cd '" + dir.path().string() + "' && { '" SHARP_PRIMES_EXE
                                "' < stdin; echo $? > status; } | true";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(test::readFile(dir.path() / "status"), "0\n");
    const std::string mylist = test::readFile(dir.path() / "primes" / "mylist.txt");
    EXPECT_EQ(mylist.substr(mylist.size() - 15), "\n9592    99991\n");
}

}  // namespace
}  // namespace sharp
