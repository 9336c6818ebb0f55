// The layout every bitmap of the survey shares: words of 64 odd numbers.
#pragma once

#include <cstdint>

namespace sharp::survey {

// Word w holds the odd number 2 (64 w + i) + 1 at bit i, so the numbers 128 w + 1
// to 128 w + 127; this is the word that holds n.
inline constexpr std::uint64_t wordOf(std::uint64_t n) { return n >> 7; }

}  // namespace sharp::survey
