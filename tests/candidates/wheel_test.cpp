#include "candidates/wheel.hpp"

#include <vector>

#include <gtest/gtest.h>

namespace sharp {
namespace {

std::vector<std::uint32_t> candidatesUpTo(std::uint32_t last) {
    std::vector<std::uint32_t> candidates;
    for (std::uint32_t c = 23; c <= last; c = nextCandidate(c)) candidates.push_back(c);
    return candidates;
}

TEST(Wheel, FirstCandidates) {
    const std::vector<std::uint32_t> expected = {23, 29, 31, 37, 41, 43, 47, 53, 59, 61, 67,
                                                 71, 73, 79, 83, 89, 97, 101, 103, 107, 109, 113};
    EXPECT_EQ(candidatesUpTo(120), expected);
}

TEST(Wheel, NextCandidate) {
    const std::pair<std::uint32_t, std::uint32_t> cases[] = {
        {23, 29}, {47, 53}, {113, 127}, {2803, 2809}, {2809, 2819}, {3121, 3127}, {99991, 100003},
        {999997, 1000001}, {9999991, 10000007}, {4199999987u, 4200000011u},
    };
    for (const auto& [from, to] : cases) EXPECT_EQ(nextCandidate(from), to) << from;
}

TEST(Wheel, CountsOfCandidates) {
    const std::pair<std::uint32_t, std::size_t> cases[] = {{997, 160}, {99991, 13904}, {999997, 138751}};
    for (const auto& [last, count] : cases) EXPECT_EQ(candidatesUpTo(last).size(), count) << last;
}

// The wheel step as plain remainder tests: add 2 until no divisor up to 23 (and,
// above 47, up to 47) divides the value.
std::uint32_t plainNext(std::uint32_t value) {
    for (;;) {
        value += 2;
        bool smallFactor = false;
        for (std::uint32_t p : {3u, 5u, 7u, 11u, 13u, 17u, 19u, 23u}) smallFactor = smallFactor || value % p == 0;
        if (value > 47) {
            for (std::uint32_t p : {29u, 31u, 37u, 41u, 43u, 47u}) smallFactor = smallFactor || value % p == 0;
        }
        if (!smallFactor) return value;
    }
}

TEST(Wheel, AgreesWithPlainRemainders) {
    for (const auto& [from, to] : {std::pair{23u, 400000u}, {2147000001u, 2147600000u}, {4199400001u, 4200000000u}}) {
        for (std::uint32_t c = from; c < to; c = plainNext(c)) ASSERT_EQ(nextCandidate(c), plainNext(c)) << c;
    }
}

TEST(RootBound, Table) {
    const std::pair<std::uint32_t, std::uint32_t> cases[] = {
        {23, 3},   {29, 3},   {31, 3},   {37, 3},      {47, 3},      {53, 7},       {67, 7},
        {83, 9},   {101, 9},  {227, 13}, {257, 13},    {631, 23},    {677, 23},     {2809, 53},
        {30723761, 5541},     {2147483651u, 46339},    {4199999987u, 64807},      {4294967291u, 65533},
        {1, 3},    {24, 3},   {48, 3},   {49, 7},      {121, 11},    {3481, 59},
    };
    for (const auto& [candidate, bound] : cases) EXPECT_EQ(computeRootBound(candidate), bound) << candidate;
}

// The bound is the largest odd non-multiple of 5 not above the exact integer root.
TEST(RootBound, MatchesTheExactRootAroundEverySquare) {
    for (std::uint64_t r = 3; r < 65536; r += (r < 2000 ? 1 : 997)) {
        for (std::uint64_t n : {r * r - 1, r * r, r * r + 1}) {
            if (n > UINT32_MAX) continue;
            std::uint64_t root = r - 2;
            while ((root + 1) * (root + 1) <= n) ++root;
            std::uint64_t bound = root;
            while (bound % 2 == 0 || bound % 5 == 0) --bound;
            EXPECT_EQ(computeRootBound(static_cast<std::uint32_t>(n)), std::max<std::uint64_t>(bound, 3)) << n;
        }
    }
}

}  // namespace
}  // namespace sharp
