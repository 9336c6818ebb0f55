#include "run/channel.hpp"

#include <cerrno>
#include <climits>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_dir.hpp"

namespace sharp {
namespace {

using test::readFile;
using test::TempDir;

class ChannelTest : public ::testing::Test {
protected:
    std::string path() const { return (dir.path() / "channel.txt").string(); }
    std::string content() const { return readFile(path()); }
    TempDir dir;
    Channel channel;
};

TEST_F(ChannelTest, DoublesFollowTheStreamDefault) {
    const std::pair<double, const char*> cases[] = {
        {40001.2, "40001.2"},     {400001.2, "400001"},   {4000007.6, "4.00001e+06"}, {0.08333333, "0.0833333"},
        {12.0, "12"},             {0.0, "0"},             {0.25, "0.25"},             {1.68e9, "1.68e+09"},
        {12289504.4, "1.22895e+07"}, {4e6, "4e+06"},      {999999.0, "999999"},       {1000000.0, "1e+06"},
        {0.0001, "0.0001"},       {0.00001, "1e-05"},     {0.554151, "0.554151"},     {400555.2, "400555"},
    };
    ASSERT_EQ(channel.open(path().c_str()), 0);
    std::string expected;
    for (const auto& [value, text] : cases) {
        channel << value << eol;
        expected += std::string(text) + "\n";
    }
    EXPECT_EQ(content(), expected);
}

TEST_F(ChannelTest, IntegersArePlainDecimal) {
    ASSERT_EQ(channel.open(path().c_str()), 0);
    channel << 0u << " " << 4294967295u << " " << std::int32_t{-5} << " " << std::int32_t{INT_MIN} << " "
            << std::int32_t{74070} << eol;
    EXPECT_EQ(content(), "0 4294967295 -5 -2147483648 74070\n");
}

TEST_F(ChannelTest, ALineReachesTheFileWhenItEndsAndNotBefore) {
    ASSERT_EQ(channel.open(path().c_str()), 0);
    channel << "mark 1E5 = " << 9592u;
    EXPECT_EQ(content(), "");
    channel << "mark 1E6 = " << 78498u;
    EXPECT_EQ(content(), "");
    channel << "elapsed ticks= " << 3.0 << eol;
    EXPECT_EQ(content(), "mark 1E5 = 9592mark 1E6 = 78498elapsed ticks= 3\n");
}

TEST_F(ChannelTest, TextLongerThanTheBufferIsWrittenWhole) {
    ASSERT_EQ(channel.open(path().c_str()), 0);
    const std::string longText(3 * kChannelBufferSize + 17, 'x');
    channel << "a" << std::string_view(longText) << "b" << eol;
    EXPECT_EQ(content(), "a" + longText + "b\n");
}

TEST_F(ChannelTest, ClosingSendsPendingTextAndLaterWritesAreDropped) {
    ASSERT_EQ(channel.open(path().c_str()), 0);
    channel << "mark 1E7 = " << 664579u;
    channel.close();
    channel << "dropped" << eol;
    EXPECT_FALSE(channel.isOpen());
    EXPECT_EQ(content(), "mark 1E7 = 664579");
}

TEST_F(ChannelTest, OpenTruncatesAnExistingFile) {
    test::writeFile(path(), "a line of an earlier run\n");
    ASSERT_EQ(channel.open(path().c_str()), 0);
    channel << "true prime = " << 23u << eol;
    EXPECT_EQ(content(), "true prime = 23\n");
}

TEST_F(ChannelTest, NewFileGetsPermissionBits0664) {
    const mode_t previous = ::umask(0);
    const int error = channel.open(path().c_str());
    ::umask(previous);
    ASSERT_EQ(error, 0);
    struct stat info {};
    ASSERT_EQ(::stat(path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0664u);
}

TEST_F(ChannelTest, AFileThatCannotBeOpenedDropsEveryWrite) {
    const std::string missing = (dir.path() / "no-such-folder" / "stp.txt").string();
    EXPECT_EQ(channel.open(missing.c_str()), ENOENT);
    EXPECT_FALSE(channel.isOpen());
    channel << "true prime = " << 23u << " " << 0.5 << " " << std::int32_t{-1} << eol;
    channel.flush();
    channel.close();
}

TEST_F(ChannelTest, AFailedWriteIsNamedOnceAndTheRunGoesOn) {
    static constexpr ReportPath kFull = {R"(c:\primes\stp.txt)", "/dev/full"};
    ASSERT_EQ(channel.open(kFull), 0);
    ::testing::internal::CaptureStderr();
    channel << "true prime = " << 23u << eol;
    channel << "true prime = " << 29u << eol;
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "sharp-primes: cannot write c:\\primes\\stp.txt (/dev/full): No space left on device\n");
}

}  // namespace
}  // namespace sharp
