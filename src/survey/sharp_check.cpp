#include "survey/sharp_check.hpp"

#include <algorithm>
#include <vector>

#include "survey/survey_constants.hpp"

namespace sharp::survey {

namespace {

// How much more often an offset of s is prime than one of a number with no small
// factor in common: each prime p up to 47 dividing s raises the chance by (p-1)/(p-2).
double promiseOf(std::uint64_t s) {
    double promise = 1;
    for (const std::uint32_t p : kWheelPrimes) {
        if (s % p == 0) promise *= static_cast<double>(p - 1) / static_cast<double>(p - 2);
    }
    return promise;
}

}  // namespace

const std::array<std::uint64_t, kSharpCount>& sharpsAscending() {
    static const auto ascending = [] {
        std::array<std::uint64_t, kSharpCount> values{};
        for (std::size_t slot = 1; slot <= kSharpCount; ++slot) values[kSharpCount - slot] = kSharpValues[slot];
        return values;
    }();
    return ascending;
}

std::span<const std::uint64_t> windowSharpsByPromise() {
    static const auto ordered = [] {
        std::vector<std::uint64_t> values;
        for (const std::uint64_t s : sharpsAscending()) {
            if (s <= kLargestWindowSharp) values.push_back(s);
        }
        std::stable_sort(values.begin(), values.end(),
                         [](std::uint64_t a, std::uint64_t b) { return promiseOf(a) > promiseOf(b); });
        return values;
    }();
    return ordered;
}

bool isCandidate(std::uint64_t c) {
    if (c < kFirstSurveyCandidate || c % 2 == 0) return false;
    for (const std::uint32_t p : kWheelPrimes) {
        if (c % p == 0) return c == p;
    }
    return true;
}

}  // namespace sharp::survey
