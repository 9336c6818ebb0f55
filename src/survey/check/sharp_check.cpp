#include "survey/check/sharp_check.hpp"

namespace sharp::survey {

bool isCandidate(std::uint64_t c) {
    if (c < kFirstCandidate || c % 2 == 0) return false;
    for (const std::uint32_t p : kWheelPrimes) {
        if (c % p == 0) return c == p;
    }
    return true;
}

}  // namespace sharp::survey
