#include "run/prompt.hpp"

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "support/temp_dir.hpp"

namespace sharp {
namespace {

constexpr const char* kPrompt = "enter (end) candidate  < 100001 \n";
constexpr const char* kRejection = "enter odd, non-multiple of 3/5,\n";

struct PromptResult {
    std::optional<std::uint32_t> endCandidate;
    std::string console;
    int nextByte;  // what the final wait would read
};

PromptResult prompt(const std::string& input) {
    test::TempDir dir;
    const auto consolePath = dir.path() / "console";
    Channel console;
    console.open(consolePath.c_str());
    InputReader reader(input);
    PromptResult result;
    result.endCandidate = readEndCandidate(console, reader);
    console.close();
    result.console = test::readFile(consolePath);
    result.nextByte = reader.peek();
    return result;
}

// The console after `rejections` rejected entries and one more prompt.
std::string promptsAfter(int rejections) {
    std::string text = kPrompt;
    for (int i = 0; i < rejections; ++i) text += std::string(kRejection) + kPrompt;
    return text;
}

TEST(EndCandidateRule, AcceptsExactlyTheNonMultiplesOf3And5UpTo4200000000) {
    const std::pair<std::uint32_t, bool> cases[] = {
        {0, false},          {5, false},          {25, false},         {4200000000u, false}, {3, false},
        {9, false},          {21, false},         {4200000001u, false}, {4294967295u, false}, {4199999999u, true},
        {1, true},           {2, true},           {4, true},           {7, true},            {19, true},
        {22, true},          {2812, true},        {997, true},         {30723761, true},     {4199999998u, true},
    };
    for (const auto& [value, accepted] : cases) {
        const PromptResult result = prompt(std::to_string(value) + "\n");
        if (accepted) {
            EXPECT_EQ(result.endCandidate, value) << value;
            EXPECT_EQ(result.console, promptsAfter(0)) << value;
        } else {
            EXPECT_EQ(result.endCandidate, std::nullopt) << value;
            EXPECT_EQ(result.console, promptsAfter(1)) << value;
        }
    }
}

TEST(EndCandidatePrompt, HandlesEveryKindOfEntry) {
    struct Case {
        const char* name;
        std::string input;
        std::optional<std::uint32_t> endCandidate;
        int rejections;
        int nextByte;
    };
    const Case cases[] = {
        {"plain entry", "29\n", 29, 0, -1},
        {"rejections then an entry", "0\n3\n25\n4200000000\n7\n", 7, 4, -1},
        {"blank and x stay for the final wait", "29 x\n", 29, 0, 'x'},
        {"blank lines and tabs before the number", "\n\n \t 7\n", 7, 0, -1},
        {"number at the end of input", "7", 7, 0, -1},
        {"plus sign", "+7\n", 7, 0, -1},
        {"leading zeros", "0000000000000000000007\n", 7, 0, -1},
        {"text is rejected and its line dropped", "abc 11\n7\n", 7, 1, -1},
        {"sign without digits", "- 7\n13\n", 13, 1, -1},
        {"negative never wraps around", "-4294967289\n7\n", 7, 1, -1},
        {"minus one", "-1\n7\n", 7, 1, -1},
        {"above 32 bits", "4294967296\n7\n", 7, 1, -1},
        {"far above 32 bits", "99999999999999999999999999\n7\n", 7, 1, -1},
        {"digits then text: one byte thrown away", "12ab\n7\n", 7, 2, -1},
        {"two entries on one line", "9 11\n", 11, 1, -1},
        {"only the one byte after the number is dropped", "7\n\nrest", 7, 0, '\n'},
        {"empty input", "", std::nullopt, 0, -1},
        {"only blanks", " \n\t\n", std::nullopt, 0, -1},
        {"rejected and then the end", "3\n", std::nullopt, 1, -1},
        {"text and then the end", "abc", std::nullopt, 1, -1},
    };
    for (const Case& c : cases) {
        const PromptResult result = prompt(c.input);
        EXPECT_EQ(result.endCandidate, c.endCandidate) << c.name;
        EXPECT_EQ(result.console, promptsAfter(c.rejections)) << c.name;
        EXPECT_EQ(result.nextByte, c.nextByte) << c.name;
    }
}

TEST(EndCandidatePrompt, WaitForKeyTakesOneByteAndStopsAtTheEnd) {
    InputReader reader(std::string_view("xy"));
    waitForKey(reader);
    EXPECT_EQ(reader.peek(), 'y');
    waitForKey(reader);
    waitForKey(reader);
    EXPECT_EQ(reader.peek(), -1);
}

}  // namespace
}  // namespace sharp
