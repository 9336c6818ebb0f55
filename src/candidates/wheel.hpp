// The candidates a run tests, and the bound that limits their trial division.
#pragma once

#include <cstdint>

namespace sharp {

// The largest odd number not above the integer square root of `candidate` that is
// not a multiple of 5, and at least 3: every prime above 5 whose square does not
// exceed the candidate is at most this bound.
std::uint32_t computeRootBound(std::uint32_t candidate);

// The next odd number above `candidate` with no factor among 3, 5, 7, ..., 23 and,
// above 47, none among 29 to 47.
std::uint32_t nextCandidate(std::uint32_t candidate);

}  // namespace sharp
