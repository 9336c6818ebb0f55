// Primality of any 64-bit number, for the rare offsets that fall outside the sieved window.
#pragma once

#include <cstdint>

namespace sharp::survey {

// True when n is prime: trial division by the primes below 256, then strong
// probable-prime tests that admit no 64-bit composite (Baillie-PSW from 1.1 * 10^12).
bool isPrime64(std::uint64_t n);

}  // namespace sharp::survey
