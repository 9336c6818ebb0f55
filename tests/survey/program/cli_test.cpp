// The sharp-survey executable: its answers to bad input, its table and its files.
#include <filesystem>

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
        {"--tossed same --csv same 100", "two options name the file same"},
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

}  // namespace
}  // namespace sharp::survey
