// The odd primes up to a bound, by a plain sieve: for the tables a survey and its
// model build once at start.
#pragma once

#include <cstdint>
#include <vector>

namespace sharp {

inline std::vector<std::uint32_t> oddPrimesUpTo(std::uint32_t bound) {
    std::vector<bool> composite(bound + 1);
    std::vector<std::uint32_t> primes;
    for (std::uint32_t n = 3; n <= bound; n += 2) {
        if (composite[n]) continue;
        primes.push_back(n);
        for (std::uint64_t m = std::uint64_t{n} * n; m <= bound; m += 2 * n) composite[m] = true;
    }
    return primes;
}

}  // namespace sharp
