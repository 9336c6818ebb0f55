// A full run, checked against values known independently of the program: the
// prime counts below 10^5, 10^6 and 10^7, and a sieve written here.
#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "support/masking.hpp"
#include "support/program_run.hpp"
#include "support/sieve.hpp"
#include "support/temp_dir.hpp"

namespace sharp {
namespace {

constexpr std::uint32_t kLastCandidate = 30723761;  // the 1,900,000th prime

using test::lineCount;

TEST(FullRun, EndsOnTheCapacityStopWithTheKnownFigures) {
    const test::ProgramRun run = test::runProgram("4199999999\n");
    ASSERT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.errors, "");

    const std::string console = test::maskClocks(run.console);
    const std::string summary = console.substr(console.find("must increase size of Pr array!\n"));
    EXPECT_EQ(summary,
              "must increase size of Pr array!\n"
              "@\n"
              "actual, theory = 30723761  1900000  vs  1821269\n"
              "elapsed ticks= #\n"
              "end ticks= #\n"
              "time marks:  @  @\n"
              "non-trivial candidates (40%)= 1.22895e+07\n"
              "conjecture-tossed (cnt) = 0   0\n"
              "Jun 18 test tp % = 1\n"
              "Jun 18 test fp % = 1\n"
              "total sieve primes, xceptions = 4261510  0   0\n"
              " % FP post sieve = 0.554151\n"
              "output is at  c:\\primes\\primality.txt , c:\\primes\\mylist.txt   and  c:\\primes\\Jun20.txt \n");
    EXPECT_NE(console.find("mark 1E7 = 664579working ... "), std::string::npos);
    EXPECT_EQ(console.find("rooh"), std::string::npos);
    EXPECT_EQ(test::maskClocks(run.files.at("primality.txt")),
              "bgn ticks= #\n"
              "mark 1E5 = 9592mark 1E6 = 78498mark 1E7 = 664579elapsed ticks= #\n"
              "end ticks= #\n"
              "time marks:  @  @\n"
              "N,actual,theory = 30723761  1900000  vs  1821269\n"
              "non-trivial candidates (40%)= 1.22895e+07\n"
              "conjecture-tossed (cnt) = 0   0\n");

    // The summary's counts agree with the files: every sieve hit is one stp or sfp line.
    const std::string& stp = run.files.at("stp.txt");
    const std::string& sfp = run.files.at("sfp.txt");
    const std::string& mylist = run.files.at("mylist.txt");
    EXPECT_EQ(lineCount(stp), 1899992u);
    EXPECT_EQ(lineCount(sfp), 2361518u);
    EXPECT_EQ(lineCount(stp) + lineCount(sfp), 4261510u);
    EXPECT_EQ(lineCount(mylist), 1899999u);
    EXPECT_EQ(mylist.substr(mylist.size() - 21), "\n1899999    30723733\n");

    // The sieve: the dump is the first 1,899,999 primes; the prime that found the
    // list full still has its stp line; the false primes are exactly the composites
    // up to 30723761 without a prime factor up to 47.
    const test::ListFiles expected = test::expectedListFiles(kLastCandidate);
    const std::string lastDumpLine = "1900000    30723761\n";
    ASSERT_EQ(expected.mylist.substr(expected.mylist.size() - lastDumpLine.size()), lastDumpLine);
    EXPECT_TRUE(mylist == expected.mylist.substr(0, expected.mylist.size() - lastDumpLine.size()));
    EXPECT_TRUE(stp == expected.stp);
    EXPECT_TRUE(sfp == expected.sfp);
}

TEST(FullRun, SieveKnowsThePrimeCounts) {
    const auto isPrime = test::sieve(10000001);
    const std::pair<std::uint32_t, std::size_t> known[] = {{100000, 9592}, {1000000, 78498}, {10000000, 664579}};
    for (const auto& [limit, count] : known) {
        EXPECT_EQ(static_cast<std::size_t>(std::count(isPrime.begin(), isPrime.begin() + limit, true)), count);
    }
}

}  // namespace
}  // namespace sharp
