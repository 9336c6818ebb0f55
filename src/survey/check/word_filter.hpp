// The cheap check first, 64 candidates at a time: the sharp numbers within the
// filter's reach shift the prime bits below the candidates onto them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sharp::survey {

// Sets hits[j] to the candidates of word j (candidates[j]) that lie 1 or a prime above
// one of the window's sharp numbers, for j = 0 .. words - 1. `primeBits` starts
// `windowWords` words below the candidates' first word (at least kWindowOdds / 64).
void filterByWindowSharps(const std::uint64_t* primeBits, std::size_t windowWords, const std::uint64_t* candidates,
                          std::uint64_t* hits, std::size_t words);

}  // namespace sharp::survey
