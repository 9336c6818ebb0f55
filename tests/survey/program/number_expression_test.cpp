#include "survey/program/number_expression.hpp"

#include <gtest/gtest.h>

namespace sharp::survey {
namespace {

TEST(NumberExpression, Values) {
    const std::pair<const char*, std::uint64_t> cases[] = {
        {"0", 0},
        {"30723761", 30723761},
        {"1e10", 10'000'000'000},
        {"1E3", 1000},
        {"10^12", 1'000'000'000'000},
        {"2^32", 4294967296},
        {"2^64-1", 18446744073709551615u},
        {"18446744073709551615", 18446744073709551615u},
        {"1e10+1", 10'000'000'001},
        {"2^32-1e9+5", 3294967301},
        {"0^0", 1},
        {"5e0", 5},
        {"2.5e16", 25'000'000'000'000'000},
        {"1.50e1+1.25E2", 140},
        {"30030*17", 510510},
        {"2^3*3^3*5^3*7^2*11*13*17", 3216213000},
        {"2^32*2^32-1", 18446744073709551615u},
        {"2*3+4*5", 26},
    };
    for (const auto& [text, value] : cases) {
        const auto parsed = parseNumberExpression(text);
        ASSERT_TRUE(std::holds_alternative<std::uint64_t>(parsed)) << text << ": " << std::get<std::string>(parsed);
        EXPECT_EQ(std::get<std::uint64_t>(parsed), value) << text;
    }
}

TEST(NumberExpression, Refusals) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "is not a number"},      {"abc", "is not a number"},    {"1e", "is not a number"},
        {"1 0", "is not a number"},   {"-5", "is not a number"},     {"1.55e1", "is not a number"},
        {"2.5", "is not a number"},   {"2.^3", "is not a number"},   {"2.5^2", "is not a number"},
        {"2^64", "is past 2^64-1"},   {"18446744073709551616", "is past 2^64-1"},
        {"1e20", "is past 2^64-1"},   {"10^1000", "is past 2^64-1"}, {"99999999999999999999999999999999999", "past"},
        {"5-6", "is negative"},       {"1e3+", "is not a number"},   {"2^^3", "is not a number"},
        {"3*", "is not a number"},    {"*3", "is not a number"},     {"2^40*2^40", "is past 2^64-1"},
    };
    for (const auto& [text, message] : cases) {
        const auto parsed = parseNumberExpression(text);
        ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << text;
        EXPECT_NE(std::get<std::string>(parsed).find(message), std::string::npos) << text << ": "
                                                                                 << std::get<std::string>(parsed);
    }
}

// Up to 2^128 - 1, with the same forms; terms may pass it on the way.
TEST(NumberExpression, WideValuesAndRefusals) {
    const Uint128 top = ~Uint128{0};
    const std::pair<const char*, Uint128> values[] = {
        {"2^128-1", top},
        {"340282366920938463463374607431768211455", top},
        {"2^64*2^64-1", top},
        {"2^128-2^128+7", 7},
        {"10^38", Uint128{10'000'000'000'000'000'000u} * 10'000'000'000'000'000'000u},
        {"2^64", kTwoTo64},
        {"18446744073709551615", 18446744073709551615u},
    };
    for (const auto& [text, value] : values) {
        const auto parsed = parseWideNumberExpression(text);
        ASSERT_TRUE(std::holds_alternative<Uint128>(parsed)) << text << ": " << std::get<std::string>(parsed);
        EXPECT_TRUE(std::get<Uint128>(parsed) == value) << text;
    }
    const std::pair<const char*, const char*> refusals[] = {
        {"2^128", "is past 2^128-1"}, {"340282366920938463463374607431768211456", "is past 2^128-1"},
        {"2^141-2^141", "is past 2^128-1"}, {"2^127*4-2^128", "is past 2^128-1"},
        {"1-2^128", "is negative"}, {"2^64-2^65", "is negative"}, {"2^^3", "is not a number"},
    };
    for (const auto& [text, message] : refusals) {
        const auto parsed = parseWideNumberExpression(text);
        ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << text;
        EXPECT_NE(std::get<std::string>(parsed).find(message), std::string::npos) << std::get<std::string>(parsed);
    }
}

}  // namespace
}  // namespace sharp::survey
