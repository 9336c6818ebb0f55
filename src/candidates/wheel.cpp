#include "candidates/wheel.hpp"

#include <cmath>

#include "run/constants.hpp"

namespace sharp {

namespace {

// Constant divisors let the compiler replace each remainder by a multiply and a compare.
template <const auto& group>
bool hasFactorIn(std::uint32_t value) {
    bool found = false;
    [&]<std::size_t... i>(std::index_sequence<i...>) {
        ((found = found || value % group[i] == 0), ...);
    }(std::make_index_sequence<group.size()>{});
    return found;
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
    for (;;) {
        value += 2;
        if (hasFactorIn<kWheelFirstGroup>(value)) continue;
        if (value <= kWheelThreshold) return value;
        if (hasFactorIn<kWheelSecondGroup>(value)) continue;
        return value;
    }
}

}  // namespace sharp
