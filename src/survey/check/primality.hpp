// Primality of any 64-bit number, for the rare offsets that fall outside the sieved
// window, and of numbers up to 2^128 - 1.
#pragma once

#include <cstdint>

#include "survey/uint128.hpp"

namespace sharp::survey {

// True when n is prime: trial division by the primes below 256, then strong
// probable-prime tests that admit no 64-bit composite (Baillie-PSW from 1.1 * 10^12).
bool isPrime64(std::uint64_t n);

// True when n is prime (below 2^64) or a Baillie-PSW probable prime (from 2^64 on):
// trial division by the primes below 256, a strong test to base 2 and a strong Lucas
// test with Selfridge's parameters, in arithmetic modulo n of 128 bits. No composite
// is known to pass; past 2^64 "prime" means this.
bool isProbablePrime128(Uint128 n);

// The same for an odd n with no prime factor below 256 (a sieve's survivor): no trial division.
bool passesBailliePsw128(Uint128 n);

}  // namespace sharp::survey
