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
// with none of the folded divisors as a factor. Filled from the end of the period
// backwards, each slot taking the distance to the nearest free slot after it.
constexpr auto kWheelSteps = [] {
    constexpr std::uint32_t slots = kWheelPeriod / 2;
    auto isFree = [](std::uint32_t slot) {
        const std::uint32_t value = 2 * slot + 1;
        for (std::size_t i = 0; i < kFoldedDivisors; ++i) {
            if (value % kWheelFirstGroup[i] == 0) return false;
        }
        return true;
    };
    std::uint32_t nextFree = slots;  // 30031, the first free value of the next period
    std::array<std::uint8_t, slots> steps{};
    for (std::uint32_t slot = slots; slot-- > 0;) {
        steps[slot] = static_cast<std::uint8_t>(2 * (nextFree - slot));
        if (isFree(slot)) nextFree = slot;
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
