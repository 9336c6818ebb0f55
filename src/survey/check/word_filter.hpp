// The cheap check first, over whole words: the sharp numbers within the filter's reach
// move the prime bits below the candidates onto them, 64 bits (240 numbers) at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sharp::survey {

// Bytes of prime bits the filter reads below a segment's first byte: the largest window
// sharp number, 1021020, is 34034 bytes back, and one more word.
inline constexpr std::size_t kFilterWindowBytes = 35 * 1024;

// Bytes of prime bits below a word that hitsBeyondFilter reads: the largest sharp
// number up to kLargestWordSharp, 15315300, is 510510 bytes back; up to
// kLargestFarWordSharp, 58198140 is 1939938 bytes back.
inline constexpr std::size_t kWordWindowBytes = 512 * 1024;
inline constexpr std::size_t kFarWordWindowBytes = 2048 * 1024;

// Sets hits[k] to the candidates of word k (candidates[k]) that lie 1 or a prime above
// one of the window's sharp numbers, for k = 0 .. words - 1. Bytes of 30 numbers, as
// the sieve writes them; `primeBytes` starts kFilterWindowBytes before the first
// candidate's byte.
void filterByWindowSharps(const std::uint8_t* primeBytes, const std::uint64_t* candidates, std::uint64_t* hits,
                          std::size_t words);

// Of the candidates `left` of the word of prime bits at `word`, the ones that lie 1 or
// a prime above one of the `sharps` smallest sharp numbers beyond the filter's (at most
// kFarWordSharpCount - kWindowSharpCount); the window below `word` they reach is read.
std::uint64_t hitsBeyondFilter(const std::uint8_t* word, std::uint64_t left, std::size_t sharps);

}  // namespace sharp::survey
