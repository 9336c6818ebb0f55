// The cheap check first, over whole words: the sharp numbers within the filter's reach
// move the prime bits below the candidates onto them, 64 bits (240 numbers) at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "survey/check/sharp_check.hpp"

namespace sharp::survey {

// Bytes of prime bits the filter reads below a segment's first byte: the largest window
// sharp number, 1021020, is 34034 bytes back, and one more word.
inline constexpr std::size_t kFilterWindowBytes = 35 * 1024;

// Bytes of prime bits a job's first segment sieves below itself for the word check:
// the largest sharp number up to 2^24, 15315300, is 510510 bytes back.
inline constexpr std::size_t kWordWindowBytes = 512 * 1024;

// Bytes of prime bits below a word that the word check reads at most: the largest
// sharp number up to kLargestWordSharp, 223092870, is 7436429 bytes back.
inline constexpr std::size_t kLongestWordWindowBytes = 7'436'440;

// A sharp number beyond the filter's, a multiple of 30, keeps the residue: c - s lies
// s / 30 bytes back, at the same bit. The bytes back of the k-th of them.
inline constexpr auto kWordByteShifts = [] {
    std::array<std::size_t, kWordSharpCount - kWindowSharpCount> back{};
    for (std::size_t k = 0; k < back.size(); ++k) {
        const std::uint64_t s = kSharpsAscending[kWindowSharpCount + k];
        if (s % 30 != 0 || s / 30 + 8 > kLongestWordWindowBytes) throw "a sharp number a word cannot be moved by";
        back[k] = static_cast<std::size_t>(s / 30);
    }
    return back;
}();

// How many sharp numbers beyond the filter's a word can be moved by with `window` bytes
// of prime bits below it.
inline constexpr std::size_t wordSharpsWithin(std::size_t window) {
    std::size_t count = 0;
    while (count < kWordByteShifts.size() && kWordByteShifts[count] + 8 <= window) ++count;
    return count;
}

// The sharp numbers beyond the window's that the wide filter takes too: those up to 2^24.
inline constexpr std::size_t kWideFilterWordSharps = wordSharpsWithin(kWordWindowBytes);

// Sets hits[k] to the candidates of word k (candidates[k]) that lie 1 or a prime above
// one of the window's sharp numbers, for k = 0 .. words - 1; `wide`, also above the
// next kWideFilterWordSharps. Bytes of 30 numbers, as the sieve writes them, from
// `segment`, the first candidate's byte, with kFilterWindowBytes below it readable
// (`wide`: kWordWindowBytes).
void filterByWindowSharps(const std::uint8_t* segment, const std::uint64_t* candidates, std::uint64_t* hits,
                          std::size_t words, bool wide);

// Of the candidates `left` of a word, the ones that lie 1 or a prime above one of the
// sharp numbers beyond the filter's from the `from`-th to the `to`-th; wordBelow(back)
// gives the word of prime bits `back` bytes below it.
template <class WordBelow>
std::uint64_t hitsBeyondFilter(WordBelow&& wordBelow, std::uint64_t left, std::size_t from, std::size_t to) {
    std::uint64_t hits = 0;
    for (std::size_t k = from; k < to; ++k) {
        hits |= wordBelow(kWordByteShifts[k]) & left;
        if (hits == left) break;
    }
    return hits;
}

}  // namespace sharp::survey
