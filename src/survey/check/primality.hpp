// Primality of any 64-bit number, for the rare offsets that fall outside the sieved window.
#pragma once

#include <cstdint>

namespace sharp::survey {

// True when n is prime: trial division by the primes up to 47, then the strong
// probable-prime test to the seven bases that admit no 64-bit composite.
bool isPrime64(std::uint64_t n);

}  // namespace sharp::survey
