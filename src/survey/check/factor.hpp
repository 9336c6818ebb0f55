// The smallest prime factor of a number up to 2^128 - 1: what --explain says of a
// composite number or offset.
#pragma once

#include <optional>

#include "survey/uint128.hpp"

namespace sharp::survey {

// The smallest prime factor of n >= 2 (n itself when prime; past 2^64 "prime" as
// isProbablePrime128 means it): trial division up to 2^16, then Pollard's rho with
// Brent's cycle finding. Below 2^64 always found; past it nothing when rho finds no
// factor in kRhoSteps steps (then every prime factor is above 2^16).
std::optional<Uint128> smallestPrimeFactor(Uint128 n);

}  // namespace sharp::survey
