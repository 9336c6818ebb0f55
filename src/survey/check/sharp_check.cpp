#include "survey/check/sharp_check.hpp"

namespace sharp::survey {

bool isCandidate(std::uint64_t c) {
    if (c < kFirstCandidate || c % 2 == 0) return false;
    for (const std::uint32_t p : kWheelPrimes) {
        if (c % p == 0) return c == p;
    }
    return true;
}

bool isCandidate(Uint128 c) {
    if (c < kTwoTo64) return isCandidate(static_cast<std::uint64_t>(c));
    if (c % 2 == 0) return false;
    constexpr std::uint64_t kWheelProduct = [] {  // 3 * 5 * ... * 47, below 2^64
        std::uint64_t product = 1;
        for (const std::uint32_t p : kWheelPrimes) product *= p;
        return product;
    }();
    const std::uint64_t residue = static_cast<std::uint64_t>(c % kWheelProduct);
    for (const std::uint32_t p : kWheelPrimes) {
        if (residue % p == 0) return false;
    }
    return true;
}

}  // namespace sharp::survey
