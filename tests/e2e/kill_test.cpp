// A full run killed with SIGKILL at a random moment: the report files hold only
// complete lines, each in its line format, with nothing missing before the last one.
#include <chrono>
#include <csignal>
#include <random>
#include <regex>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <sys/wait.h>

#include "support/program_run.hpp"
#include "support/sieve.hpp"
#include "support/temp_dir.hpp"

namespace sharp {
namespace {

namespace fs = std::filesystem;

// True when `text` is a prefix of `whole` that ends at a line end (or is empty).
bool isLinePrefix(const std::string& text, const std::string& whole) {
    return text.size() <= whole.size() && whole.compare(0, text.size(), text) == 0 &&
           (text.empty() || text.back() == '\n');
}

// Every line of `text` is complete and matches `format`.
::testing::AssertionResult allLinesMatch(const std::string& text, const std::regex& format) {
    if (!text.empty() && text.back() != '\n') return ::testing::AssertionFailure() << "unfinished last line";
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t end = text.find('\n', from);
        const std::string line = text.substr(from, end - from);
        if (!std::regex_match(line, format)) return ::testing::AssertionFailure() << "line: " << line;
        from = end + 1;
    }
    return ::testing::AssertionSuccess();
}

TEST(KilledRun, LeavesOnlyCompleteLines) {
    const test::ListFiles expected = test::expectedListFiles(30723761);
    const std::string dump = expected.mylist.substr(0, expected.mylist.rfind("1900000    "));
    const std::regex logLine(
        "(mark 1E\\d = \\d+)*(bgn ticks= \\d+|elapsed ticks= [0-9.e+]+|end ticks= \\d+|time marks:  .*  .*|"
        "N,actual,theory = \\d+  \\d+  vs  -?\\d+|non-trivial candidates \\(40%\\)= [0-9.e+]+|"
        "conjecture-tossed \\(cnt\\) = \\d+   [0-9.e+-]+)");
    const std::regex jun20Line(
        "( % FP post sieve = [0-9.e+-]+|Jun 18 test [tf]p % = [0-9.e+-]+|"
        "total sieve primes, xceptions = \\d+  \\d+   [0-9.e+-]+|)");

    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    // Moments across the whole run: before the files open, while the lists grow, in the dump.
    std::uniform_int_distribution<int> moment(0, 4500);
    for (int kill = 0; kill < 3; ++kill) {
        const int afterMs = moment(random);
        SCOPED_TRACE("seed " + std::to_string(seed) + ", killed after " + std::to_string(afterMs) + " ms");
        test::TempDir dir;
        fs::create_directory(dir.path() / "primes");
        test::writeFile(dir.path() / "stdin", "4199999999\n");
        const int pid = test::startProgram(dir.path(), dir.path() / "stdin");
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);

        const auto read = [&](const char* name) { return test::readFile(dir.path() / "primes" / name); };
        EXPECT_TRUE(isLinePrefix(read("stp.txt"), expected.stp));
        EXPECT_TRUE(isLinePrefix(read("sfp.txt"), expected.sfp));
        EXPECT_TRUE(isLinePrefix(read("mylist.txt"), dump));
        EXPECT_TRUE(allLinesMatch(read("primality.txt"), logLine));
        EXPECT_TRUE(allLinesMatch(read("Jun20.txt"), jun20Line));
    }
}

}  // namespace
}  // namespace sharp
