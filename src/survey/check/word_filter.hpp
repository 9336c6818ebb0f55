// The cheap check first, over whole words: the smallest sharp numbers move the prime
// bits below the candidates onto them, 64 bits (240 numbers) at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "survey/check/sharp_set.hpp"

namespace sharp::survey {

// Sets hits[k] to the candidates of word k (candidates[k]) that lie 1 or a prime above
// one of the filter's sharp numbers of `sharps`, for k = 0 .. words - 1; `wide`, also
// above its wide ones. Bytes of 30 numbers, as the sieve writes them, from `segment`,
// the first candidate's byte, with kFilterWindowBytes below it readable (`wide`:
// kWordWindowBytes).
void filterBySharps(const SharpSet& sharps, const std::uint8_t* segment, const std::uint64_t* candidates,
                    std::uint64_t* hits, std::size_t words, bool wide);

// Of the candidates `left` of a word, the ones that lie 1 or a prime above one of the
// sharp numbers tried a word at a time, whose `moves` these are (SharpSet::wordMoves);
// wordBelow(back) gives the word of prime bits `back` bytes below it.
template <class WordBelow>
std::uint64_t hitsBeyondFilter(std::span<const WordMove> moves, WordBelow&& wordBelow, std::uint64_t left) {
    std::uint64_t hits = 0;
    for (const WordMove& move : moves) {
        hits |= move.of(wordBelow(move.back)) & left;
        if (hits == left) break;
    }
    return hits;
}

}  // namespace sharp::survey
