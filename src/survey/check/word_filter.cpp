#include "survey/check/word_filter.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "survey/check/sharp_check.hpp"
#include "survey/vector_paths.hpp"

namespace sharp::survey {

namespace {

// A sharp number that is a multiple of 30 keeps the residue: c - s lies s / 30 bytes
// back, at the same bit. All the window's sharp numbers are, but 2, 6 and 12.
constexpr auto kByteShifts = [] {
    std::array<std::size_t, kWindowSharpCount - 3> back{};
    std::size_t k = 0;
    for (const std::uint64_t s : windowSharps()) {
        if (s % 30 == 0) back[k++] = static_cast<std::size_t>(s / 30);
    }
    return back;
}();
static_assert(windowSharps()[0] == 2 && windowSharps()[1] == 6 && windowSharps()[2] == 12);

// The bits of each byte whose number, moved by 2, 6 or 12, lands on a candidate's bit
// `shift` places up (into the next byte where the sum passes 7).
constexpr std::uint64_t everyByte(std::uint8_t bits) { return 0x0101010101010101u * bits; }
constexpr std::uint64_t kTwoUpOne = everyByte(0x94);     // 11 -> 13, 17 -> 19, 29 -> 31
constexpr std::uint64_t kSixUpOne = everyByte(0x41);     // 1 -> 7, 23 -> 29
constexpr std::uint64_t kSixUpTwo = everyByte(0x1e);     // 7 -> 13, 11 -> 17, 13 -> 19, 17 -> 23
constexpr std::uint64_t kTwelveUpThree = everyByte(0xb1);  // 1 -> 13, 17 -> 29, 19 -> 31, 29 -> 41
constexpr std::uint64_t kTwelveUpFour = everyByte(0x06);   // 7 -> 19, 11 -> 23

std::uint64_t wordAt(const std::uint8_t* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

// Every sharp number ORs its moved prime bits into every word, the same move for every
// word, so the loop runs over several words per instruction; the moves of a word are
// ORed in registers, and the word is stored once (stored after each move, the stores
// took half the filter's time).
template <bool Wide>
SHARP_WITH_VECTORS void filterWords(const std::uint8_t* segment, const std::uint64_t* candidates, std::uint64_t* hits,
                                    std::size_t words) {
    for (std::size_t j = 0; j < words; ++j) {
        const std::uint8_t* const here = segment + 8 * j;
        const std::uint64_t p = wordAt(here), before = wordAt(here - 8);
        std::uint64_t found = ((p & kTwoUpOne) << 1) | ((before & kTwoUpOne) >> 63) | ((p & kSixUpOne) << 1) |
                              ((p & kSixUpTwo) << 2) | ((p & kTwelveUpThree) << 3) |
                              ((before & kTwelveUpThree) >> 61) | ((p & kTwelveUpFour) << 4);
#pragma GCC unroll 32
        for (const std::size_t back : kByteShifts) found |= wordAt(here - back);
        if constexpr (Wide) {
#pragma GCC unroll 16
            for (std::size_t k = 0; k < kWideFilterWordSharps; ++k) found |= wordAt(here - kWordByteShifts[k]);
        }
        hits[j] = found & candidates[j];
    }
}

}  // namespace

void filterByWindowSharps(const std::uint8_t* segment, const std::uint64_t* candidates, std::uint64_t* hits,
                          std::size_t words, bool wide) {
    if (wide) return filterWords<true>(segment, candidates, hits, words);
    filterWords<false>(segment, candidates, hits, words);
}

}  // namespace sharp::survey
