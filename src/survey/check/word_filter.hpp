// The cheap check first, over whole words: the sharp numbers within the filter's reach
// move the prime bits below the candidates onto them, 64 bits (240 numbers) at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sharp::survey {

// Bytes of prime bits the filter reads below a segment's first byte: the largest window
// sharp number, 1021020, is 34034 bytes back, and one more word.
inline constexpr std::size_t kFilterWindowBytes = 35 * 1024;

// Sets hits[k] to the candidates of word k (candidates[k]) that lie 1 or a prime above
// one of the window's sharp numbers, for k = 0 .. words - 1. Bytes of 30 numbers, as
// the sieve writes them; `primeBytes` starts kFilterWindowBytes before the first
// candidate's byte.
void filterByWindowSharps(const std::uint8_t* primeBytes, const std::uint64_t* candidates, std::uint64_t* hits,
                          std::size_t words);

}  // namespace sharp::survey
