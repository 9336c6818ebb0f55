#include "candidates/wheel.hpp"

#include <array>
#include <cmath>
#include <utility>

#include "run/constants.hpp"

namespace sharp {

namespace {

// The first group's divisors 5, 3, 7, 11 and 13 are folded into a table of steps:
// which odd numbers have one of them as a factor repeats with this period.
constexpr std::size_t kFoldedDivisors = 5;
constexpr std::uint32_t kWheelPeriod = 2 * 3 * 5 * 7 * 11 * 13;

// kWheelSteps[(v % kWheelPeriod) / 2] for an odd v: the step to the next odd number
// with none of the folded divisors as a factor.
constexpr auto kWheelSteps = [] {
    std::array<std::uint8_t, kWheelPeriod / 2> steps{};
    for (std::uint32_t slot = 0; slot < steps.size(); ++slot) {
        std::uint32_t step = 2;
        for (;; step += 2) {
            const std::uint32_t next = 2 * slot + 1 + step;
            bool folded = false;
            for (std::size_t i = 0; i < kFoldedDivisors; ++i) folded = folded || next % kWheelFirstGroup[i] == 0;
            if (!folded) break;
        }
        steps[slot] = static_cast<std::uint8_t>(step);
    }
    return steps;
}();

// Remainder tests by the divisors group[from..]; constant divisors let the compiler
// replace each remainder by a multiply and a compare.
template <const auto& group, std::size_t from = 0>
bool hasFactorIn(std::uint32_t value) {
    return [&]<std::size_t... i>(std::index_sequence<i...>) {
        return ((value % group[from + i] == 0) || ...);
    }(std::make_index_sequence<group.size() - from>{});
}

}  // namespace

std::uint32_t computeRootBound(std::uint32_t candidate) {
    // A double holds every 32-bit value exactly and its rounded root never crosses
    // a whole number, so the truncated root is the exact integer root.
    auto bound = static_cast<std::uint32_t>(std::sqrt(static_cast<double>(candidate)));
    if (bound % 2 == 0) bound -= 1;
    if (bound % 5 == 0) bound -= 2;
    if (bound < kMinRootBound) bound = kMinRootBound;
    return bound;
}

std::uint32_t nextCandidate(std::uint32_t candidate) {
    std::uint32_t value = candidate;
    std::uint32_t residue = value % kWheelPeriod;  // followed along instead of divided again
    for (;;) {
        const std::uint32_t step = kWheelSteps[residue / 2];
        value += step;
        residue += step;
        if (residue >= kWheelPeriod) residue -= kWheelPeriod;
        if (hasFactorIn<kWheelFirstGroup, kFoldedDivisors>(value)) continue;
        if (value <= kWheelThreshold) return value;
        if (hasFactorIn<kWheelSecondGroup>(value)) continue;
        return value;
    }
}

}  // namespace sharp
