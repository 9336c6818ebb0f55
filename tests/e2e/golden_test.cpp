// Whole runs compared byte for byte with the outputs kept under tests/golden/.
//
// Each case folder holds `stdin` and the expected console.txt, primality.txt,
// Jun20.txt, and, for runs below 10^5, stp.txt, sfp.txt and mylist.txt; for
// longer runs those three files are rendered from an independent sieve instead.
// Clock readings and time marks are masked ("#", "@"). A folder may add
// `status` (the exit status, default 0) and `stderr.txt` (default empty).
// SHARP_UPDATE_GOLDEN=1 rewrites the files from the program's output, for review.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/masking.hpp"
#include "support/program_run.hpp"
#include "support/sieve.hpp"
#include "support/temp_dir.hpp"

namespace sharp {
namespace {

namespace fs = std::filesystem;
using test::readFile;

const fs::path kGoldenDir = SHARP_GOLDEN_DIR;

std::vector<std::string> goldenCases() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kGoldenDir)) {
        if (entry.is_directory()) names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class Golden : public ::testing::TestWithParam<std::string> {};

void compareOrUpdate(const fs::path& file, const std::string& actual, bool update) {
    if (update) {
        test::writeFile(file, actual);
        return;
    }
    const std::string expected = readFile(file);
    if (expected == actual) return;
    // Report the first differing line rather than megabytes of text.
    std::size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
    const std::size_t lineStart = expected.rfind('\n', at == 0 ? 0 : at - 1);
    const std::size_t from = lineStart == std::string::npos ? 0 : lineStart + 1;
    ADD_FAILURE() << file << " differs at byte " << at << "\nexpected: " << expected.substr(from, 120)
                  << "\nactual:   " << actual.substr(from, 120);
}

TEST_P(Golden, OutputsMatch) {
    const fs::path dir = kGoldenDir / GetParam();
    const bool update = std::getenv("SHARP_UPDATE_GOLDEN") != nullptr;
    const std::string input = readFile(dir / "stdin");
    const test::ProgramRun run = test::runProgram(input);

    const std::string status = readFile(dir / "status");
    EXPECT_EQ(run.exitStatus, status.empty() ? 0 : std::stoi(status));
    EXPECT_EQ(run.errors, readFile(dir / "stderr.txt"));
    compareOrUpdate(dir / "console.txt", test::maskClocks(run.console), update);

    const std::uint32_t endCandidate = static_cast<std::uint32_t>(std::strtoul(input.c_str(), nullptr, 10));
    const bool keepsLists = fs::exists(dir / "stp.txt") || (update && endCandidate < 100000);
    for (const auto& [name, content] : run.files) {
        const bool isList = name == "stp.txt" || name == "sfp.txt" || name == "mylist.txt";
        if (!isList || keepsLists) {
            compareOrUpdate(dir / name, test::maskClocks(content), update);
        }
    }
    if (!keepsLists && run.exitStatus == 0) {
        const test::ListFiles expected = test::expectedListFiles(endCandidate);
        EXPECT_TRUE(run.files.at("stp.txt") == expected.stp) << "stp.txt differs from the sieve";
        EXPECT_TRUE(run.files.at("sfp.txt") == expected.sfp) << "sfp.txt differs from the sieve";
        EXPECT_TRUE(run.files.at("mylist.txt") == expected.mylist) << "mylist.txt differs from the sieve";
    }
    for (const char* name : test::kReportNames) {
        EXPECT_EQ(run.files.count(name), run.exitStatus == 0 ? 1u : 0u) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Golden, ::testing::ValuesIn(goldenCases()),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

}  // namespace
}  // namespace sharp
