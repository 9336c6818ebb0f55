// The heights survey: its windows are placed by the fixed rule, each row and each
// tossed candidate is exactly a plain survey's of that window, and a run cut off
// mid-write resumes to the same files.
#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_dir.hpp"
#include "survey/ledger/windows.hpp"
#include "survey/program/report.hpp"
#include "survey/survey_run.hpp"

namespace sharp::survey {
namespace {

using sharp::test::readFile;

constexpr std::uint64_t kTop = 18446744073709551615u;

// Column `k` (0: N) of the last row of a plain survey's table.
std::vector<std::string> lastRow(const std::string& table) {
    const std::size_t end = table.find("\ntime: ");
    const std::size_t start = table.rfind('\n', end - 1) + 1;
    std::istringstream row(table.substr(start, end - start));
    std::vector<std::string> columns;
    for (std::string column; row >> column;) columns.push_back(column);
    return columns;
}

std::vector<std::string> csvFields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
    return fields;
}

TEST(Heights, WindowsArePlacedByTheRuleAlone) {
    const std::vector<Window> all = heightWindows(10'000'000'000, kTop, 1 << 30);
    ASSERT_EQ(all.size(), 9 * 5 + 3u);  // five a decade to 10^19, 1.0 and 1.6 * 10^19, the top
    EXPECT_EQ(all[0], (Window{10'000'000'000, 10'000'000'000 + (1 << 30) - 1}));
    EXPECT_EQ(all[4].from, 63'000'000'000u);
    EXPECT_EQ(all[46].from, 16'000'000'000'000'000'000u);
    EXPECT_EQ(all.back(), (Window{kTop - (1 << 30) + 1, kTop}));
    EXPECT_TRUE(heightWindows(100, 1000, 2000).empty());
    EXPECT_EQ(heightWindows(40, 50, 11), (std::vector<Window>{{40, 50}}));  // the top window is the decade's own
    // A window wider than the gap to the next start passes that start over: none overlap.
    EXPECT_EQ(heightWindows(1000, 10000, 1000),
              (std::vector<Window>{{1000, 1999}, {2500, 3499}, {4000, 4999}, {6300, 7299}, {9001, 10000}}));
    const std::vector<Window> wide = heightWindows(1'000'000'000, kTop, 1 << 30);
    for (std::size_t i = 1; i < wide.size(); ++i) EXPECT_GT(wide[i].from, wide[i - 1].to) << i;
    EXPECT_EQ(wide[1].from, 2'500'000'000u);
    // Past 2^64 the same rule with the wide width, through 10^38 to the top.
    constexpr Uint128 kTop128 = ~Uint128{0};
    const std::vector<Window> far = heightWindows(kTwoTo64 * 5, kTop128, 1 << 30, 1 << 24);
    ASSERT_EQ(far.size(), 18 * 5 + 3 + 1u);  // 10^20 to 6.3 * 10^37, 1.0 to 2.5 * 10^38, the top
    const Uint128 e20 = Uint128{10'000'000'000} * 10'000'000'000;
    EXPECT_EQ(far[0], (Window{e20, e20 + (1 << 24) - 1}));
    EXPECT_EQ(far.back(), (Window{kTop128 - (1 << 24) + 1, kTop128}));
}

// Decades by integers: a window just below a power of ten is in the decade below, one
// from 0 in the first.
TEST(Heights, DecadesAreExact) {
    HeightRow rows[] = {{{0, 999}, {}, {}}, {{999'999'999'999'999'999, 999'999'999'999'999'999}, {}, {}},
                        {{1'000'000'000'000'000'000, 1'000'000'000'000'000'000}, {}, {}}};
    const std::string table = formatHeightsTable({std::begin(rows), std::end(rows)});
    for (const char* decade : {"\n10^0 ", "\n10^17 ", "\n10^18 ", "\nall            3 "}) {
        EXPECT_NE(table.find(decade), std::string::npos) << table;
    }
    sharp::test::TempDir dir;
    const test::SurveyRun fromZero = test::runSurvey(dir.path(), "--quiet --heights h.csv --window 1000 999");
    ASSERT_EQ(fromZero.status, 0) << fromZero.err;
    EXPECT_NE(fromZero.out.find("\n10^0 "), std::string::npos) << fromZero.out;
    EXPECT_EQ(csvFields(readFile(dir.path() / "h.csv").substr(readFile(dir.path() / "h.csv").find('\n') + 1))[2], "160");
}

// --model-only writes the heights file: the model's columns of a survey's, the observed ones empty.
TEST(Heights, ModelOnlyWritesTheHeightsFile) {
    sharp::test::TempDir dir;
    const std::string windows = "--quiet --window 2^20 --from 1e12 ";
    ASSERT_EQ(test::runSurvey(dir.path(), windows + "--heights h.csv 1e13").status, 0);
    const test::SurveyRun model = test::runSurvey(dir.path(), windows + "--model-only --heights m.csv 1e13");
    ASSERT_EQ(model.status, 0) << model.err;
    std::istringstream surveyed(readFile(dir.path() / "h.csv")), modelled(readFile(dir.path() / "m.csv"));
    std::string s, m;
    for (std::size_t rows = 0; std::getline(surveyed, s) && std::getline(modelled, m); ++rows) {
        std::vector<std::string> expected = csvFields(s);
        if (rows > 0) std::fill(expected.begin() + 2, expected.begin() + 8, "");
        EXPECT_EQ(csvFields(m), expected) << m;
    }
    EXPECT_TRUE(surveyed.eof());
    EXPECT_FALSE(std::getline(modelled, m));
}

// A table that tosses almost every candidate: each window's list in parts in the state
// file, the same as written straight; without --tossed the state file keeps counts.
TEST(Heights, ListsOfAnyLengthInParts) {
    sharp::test::TempDir dir;
    sharp::test::writeFile(dir.path() / "far", "2^64-2\n");
    const std::string run = "--quiet --sharps far --window 2^21 --from 1e6 --heights h.csv ";
    ASSERT_EQ(test::runSurvey(dir.path(), run + "--tossed a.txt 1e7").status, 0);
    ASSERT_EQ(test::runSurvey(dir.path(), run + "--state s.state --tossed b.txt 1e7").status, 0);
    EXPECT_EQ(readFile(dir.path() / "b.txt"), readFile(dir.path() / "a.txt"));
    EXPECT_NE(readFile(dir.path() / "s.state").find("\nS1 P0 T"), std::string::npos);
    ASSERT_EQ(test::runSurvey(dir.path(), run + "--state counts.state 1e7").status, 0);
    EXPECT_LT(std::filesystem::file_size(dir.path() / "counts.state"), 4096u);
}

// Every row of the heights CSV in `folder` against a plain survey of its window.
void expectPlainSurveysOfEachWindow(const std::filesystem::path& folder) {
    std::istringstream csv(readFile(folder / "h.csv"));
    std::string line;
    std::getline(csv, line);
    const std::string tossed = readFile(folder / "h.txt");
    std::string tossedSeen;
    while (std::getline(csv, line)) {
        const std::vector<std::string> row = csvFields(line);
        ASSERT_EQ(row.size(), 12u) << line;
        const test::SurveyRun plain =
            test::runSurvey(folder, "--quiet --from " + row[0] + " --tossed plain.txt " + row[1]);
        ASSERT_EQ(plain.status, 0) << plain.err;
        const std::vector<std::string> table = lastRow(plain.out);
        ASSERT_EQ(table.size(), 8u) << plain.out;
        EXPECT_EQ(table[0], row[1]);
        for (std::size_t k = 1; k <= 6; ++k) EXPECT_EQ(table[k], row[k + 1]) << line << " column " << k;
        tossedSeen += readFile(folder / "plain.txt");
    }
    EXPECT_EQ(tossed, tossedSeen);
}

TEST(Heights, EachWindowIsAPlainSurveyAndACutRunResumes) {
    const struct {
        const char *from, *to, *window;
    } ranges[] = {
        {"1e12", "1e14", "2^20"},                    // ten windows and the top one
        {"18000000000000000000", "2^64-1", "2^20"},  // the one ending at 2^64 - 1
        {"1e20", "1e21", "2^16"},                    // past 2^64, by Baillie-PSW
    };
    for (const auto& [from, to, window] : ranges) {
        sharp::test::TempDir dir;
        const std::string run =
            std::string("--quiet --window ") + window + " --from " + from + " --heights h.csv --tossed h.txt ";
        const test::SurveyRun whole = test::runSurvey(dir.path(), run + "--state h.state " + to);
        ASSERT_EQ(whole.status, 0) << whole.err;
        EXPECT_NE(whole.out.find("decade"), std::string::npos) << whole.out;
        // What prime means is said where the windows reach past 2^64, and only there.
        EXPECT_EQ(whole.out.find("Baillie-PSW") != std::string::npos, std::string(from) == "1e20") << whole.out;
        expectPlainSurveysOfEachWindow(dir.path());

        // Cut in the middle of a line, as a kill leaves it: resumed, the same files.
        const std::string state = readFile(dir.path() / "h.state"), csv = readFile(dir.path() / "h.csv"),
                          tossed = readFile(dir.path() / "h.txt");
        const std::size_t cut = state.find('\n', state.find('\n') + 1) + 30;
        sharp::test::writeFile(dir.path() / "h.state", state.substr(0, std::min(cut, state.size() - 1)));
        const test::SurveyRun resumed = test::runSurvey(dir.path(), run + "--state h.state " + to);
        ASSERT_EQ(resumed.status, 0) << resumed.err;
        EXPECT_NE(resumed.err.find("dropped a torn last line"), std::string::npos) << resumed.err;
        EXPECT_EQ(readFile(dir.path() / "h.csv"), csv);
        EXPECT_EQ(readFile(dir.path() / "h.txt"), tossed);
        EXPECT_EQ(readFile(dir.path() / "h.state"), state);
    }
}

}  // namespace
}  // namespace sharp::survey
