// The sharp-survey executable: its answers to bad input, its table and its files.
#include <sys/stat.h>

#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "support/temp_dir.hpp"
#include "survey/survey_run.hpp"

namespace sharp::survey {
namespace {

using test::SurveyRun;

SurveyRun runSurveyProgram(const std::filesystem::path& folder, const std::string& arguments) {
    return test::runSurvey(folder, arguments);
}

TEST(SurveyProgram, BadInputIsOneLineAndStatus2) {
    sharp::test::TempDir dir;
    std::filesystem::create_directory(dir.path() / "locked");
    std::filesystem::permissions(dir.path() / "locked", std::filesystem::perms::owner_read |
                                                            std::filesystem::perms::owner_exec);
    const std::pair<const char*, const char*> cases[] = {
        {"ten", "'ten' is not a number"},
        {"2^64", "is past 2^64-1"},
        {"--from 1e6 1e5", "is below --from"},
        {"", "TO is required"},
        {"--threads 0 100", "--threads"},
        {"--bogus 100", "bogus"},
        {"--csv no/such/folder/x.csv 100", "cannot write no/such/folder/x.csv.part"},
        {"--tossed same --csv same 100", "name the same file"},
        {"--csv out --tossed ./out 100", "name the same file"},
        {"--state ./s --csv s 100", "name the same file"},
        {"--csv s --state s.part 100", "name the same file"},
        {"--csv - --tossed - 100", "name the same file"},
        {"--state /dev/null 100", "is not a regular file"},
        {"--expected - --csv - 100", "name the same file"},
        {"--model-only --csv x 100", "--model-only surveys nothing"},
    };
    for (const auto& [arguments, message] : cases) {
        const SurveyRun run = runSurveyProgram(dir.path(), arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_EQ(run.out, "") << arguments;
        EXPECT_EQ(sharp::test::lineCount(run.err), 1u) << arguments << ": " << run.err;
        EXPECT_NE(run.err.find(message), std::string::npos) << arguments << ": " << run.err;
    }
}

TEST(SurveyProgram, TableCsvAndTossedFile) {
    sharp::test::TempDir dir;
    const SurveyRun run = runSurveyProgram(dir.path(), "--threads 2 --csv s.csv --tossed t.txt 1e9");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");  // not a terminal: no status line
    EXPECT_NE(run.out.find("          1000000000       138704071       138704070        50847526        87856544"
                           "             0                 1   0.633410\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("tossed candidates: 1, 0 of them prime; the first 1:\n  917522737 composite\n"),
              std::string::npos);
    EXPECT_EQ(sharp::test::readFile(dir.path() / "t.txt"), "917522737 composite\n");
    const std::string csv = sharp::test::readFile(dir.path() / "s.csv");
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "n,candidates,hits,true_primes,false_primes,tossed_primes,tossed_composites");
    EXPECT_EQ(sharp::test::lineCount(csv), 1u + 7 * 20 + 1);  // header, 100 .. 10^9 at 20 per decade
    EXPECT_NE(csv.find("\n1000000000,138704071,138704070,50847526,87856544,0,1\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "s.csv.part"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "t.txt.part"));
}

// Standard output, devices, FIFOs and links are written as they are, never replaced
// by a renamed file; a failed write is status 1 with the system's own words.
TEST(SurveyProgram, TargetsThatAreNoFileToReplace) {
    namespace fs = std::filesystem;
    sharp::test::TempDir dir;
    ASSERT_EQ(runSurveyProgram(dir.path(), "--quiet --csv plain.csv 1e6").status, 0);
    const std::string csv = sharp::test::readFile(dir.path() / "plain.csv");

    const SurveyRun toStandardOutput = runSurveyProgram(dir.path(), "--quiet --csv - 1e6");
    EXPECT_EQ(toStandardOutput.status, 0);
    EXPECT_EQ(toStandardOutput.out, csv);
    EXPECT_NE(toStandardOutput.err.find("tossed candidates: none"), std::string::npos);  // the table moved there

    sharp::test::writeFile(dir.path() / "real.csv", "older\n");
    fs::create_symlink("real.csv", dir.path() / "link.csv");
    EXPECT_EQ(runSurveyProgram(dir.path(), "--quiet --csv link.csv 1e6").status, 0);
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.csv"));
    EXPECT_EQ(sharp::test::readFile(dir.path() / "real.csv"), csv);

    ASSERT_EQ(::mkfifo((dir.path() / "fifo").c_str(), 0600), 0);
    std::string fromFifo;
    std::thread reader([&] { fromFifo = sharp::test::readFile(dir.path() / "fifo"); });
    EXPECT_EQ(runSurveyProgram(dir.path(), "--quiet --csv fifo 1e6").status, 0);
    reader.join();
    EXPECT_EQ(fromFifo, csv);
    EXPECT_TRUE(fs::is_fifo(dir.path() / "fifo"));

    const SurveyRun full = runSurveyProgram(dir.path(), "--quiet --csv /dev/full 1e6");
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("cannot write /dev/full: No space left on device"), std::string::npos) << full.err;
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
    const SurveyRun tableLost = test::runSurvey(dir.path(), "--quiet 1e6", "", "/dev/full");
    EXPECT_EQ(tableLost.status, 1);
    EXPECT_EQ(tableLost.err, "sharp-survey: cannot write the table to standard output: No space left on device\n");
}

// Workers that cannot start, or find no memory for their segment, end the survey
// at once: without that, the threads that did start would finish all of 10^13 first.
TEST(SurveyProgram, ThreadsThatCannotStartEndTheSurveyAtOnce) {
#ifdef SHARP_SANITIZED
    GTEST_SKIP() << "an address-space limit leaves the sanitizer no room";
#endif
    sharp::test::TempDir dir;
    const SurveyRun run = test::runSurvey(dir.path(), "--quiet --threads 4096 1e13", "ulimit -v 1000000;");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(sharp::test::lineCount(run.err), 1u) << run.err;
    EXPECT_NE(run.err.find("give fewer --threads"), std::string::npos) << run.err;
}

// Finished slices wait in a scratch file, not in memory: it must be creatable.
TEST(SurveyProgram, TossedCandidatesWaitInAScratchFile) {
    sharp::test::TempDir dir;
    std::filesystem::create_directory(dir.path() / "tmp");
    const SurveyRun run = test::runSurvey(dir.path(), "--quiet --tossed t.txt 1e9", "export TMPDIR=tmp;");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(sharp::test::readFile(dir.path() / "t.txt"), "917522737 composite\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "tmp"));  // unnamed, gone with the survey
    const SurveyRun refused = test::runSurvey(dir.path(), "--quiet 1e6", "export TMPDIR=no/such/folder;");
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("cannot create a scratch file in no/such/folder"), std::string::npos) << refused.err;
}

// The counts chance alone would give: beside a survey in their own file, or alone.
TEST(SurveyProgram, ExpectedTossedCounts) {
    sharp::test::TempDir dir;
    const SurveyRun alone = runSurveyProgram(dir.path(), "--model-only --expected e.csv 1e9");
    ASSERT_EQ(alone.status, 0) << alone.err;
    EXPECT_NE(alone.out.find("expected tossed primes"), std::string::npos);
    EXPECT_EQ(sharp::test::lineCount(alone.out), 1u + 8);  // heading, 100 .. 10^9
    const std::string expected = sharp::test::readFile(dir.path() / "e.csv");
    EXPECT_TRUE(expected.starts_with("n,expected_tossed_primes,expected_tossed_composites,"));
    EXPECT_EQ(sharp::test::lineCount(expected), 1u + 7 * 20 + 1);  // the CSV's rows
    ASSERT_EQ(runSurveyProgram(dir.path(), "--quiet --expected beside.csv 1e9").status, 0);
    EXPECT_EQ(sharp::test::readFile(dir.path() / "beside.csv"), expected);  // the same figures every time
}

TEST(SurveyProgram, VersionAndHelp) {
    sharp::test::TempDir dir;
    const SurveyRun version = runSurveyProgram(dir.path(), "--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.starts_with("sharp-survey 1.")) << version.out;
    const SurveyRun help = runSurveyProgram(dir.path(), "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Examples:"), std::string::npos);
}

}  // namespace
}  // namespace sharp::survey
