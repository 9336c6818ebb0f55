#include "survey/check/word_filter.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "survey/check/sharp_check.hpp"
#include "survey/vector_paths.hpp"

namespace sharp::survey {

namespace {

// Words the filter takes at a time: 8 KB of hits, which stay in the first-level
// cache beside the prime bits the shifts read.
constexpr std::size_t kFilterBlockWords = 1024;

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

// The same for the sharp numbers beyond the filter's that are tried a word at a time.
constexpr auto kWordByteShifts = [] {
    std::array<std::size_t, kWordSharpCount - kWindowSharpCount> back{};
    for (std::size_t k = 0; k < back.size(); ++k) {
        const std::uint64_t s = kSharpsAscending[kWindowSharpCount + k];
        if (s % 30 != 0 || s / 30 + 8 > kWordWindowBytes) throw "a sharp number a word cannot be moved by";
        back[k] = static_cast<std::size_t>(s / 30);
    }
    return back;
}();

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

// A block at a time so the block's words stay in the first-level cache: every sharp
// number ORs its moved prime bits into every word, the same move for every word, so
// the loops run over several words per instruction.
SHARP_WITH_VECTORS
void filterWords(const std::uint8_t* primeBytes, const std::uint64_t* candidates, std::uint64_t* hits,
                 std::size_t words) {
    const std::uint8_t* const segment = primeBytes + kFilterWindowBytes;
    for (std::size_t block = 0; block < words; block += kFilterBlockWords) {
        const std::size_t count = std::min(kFilterBlockWords, words - block);
        std::uint64_t* const found = hits + block;
        const std::uint8_t* const here = segment + 8 * block;
        for (std::size_t j = 0; j < count; ++j) {
            const std::uint64_t p = wordAt(here + 8 * j), before = wordAt(here + 8 * j - 8);
            found[j] = ((p & kTwoUpOne) << 1) | ((before & kTwoUpOne) >> 63) | ((p & kSixUpOne) << 1) |
                       ((p & kSixUpTwo) << 2) | ((p & kTwelveUpThree) << 3) | ((before & kTwelveUpThree) >> 61) |
                       ((p & kTwelveUpFour) << 4);
        }
        for (const std::size_t back : kByteShifts) {
            const std::uint8_t* const source = here - back;
            for (std::size_t j = 0; j < count; ++j) found[j] |= wordAt(source + 8 * j);
        }
        for (std::size_t j = 0; j < count; ++j) found[j] &= candidates[block + j];
    }
}

}  // namespace

std::uint64_t hitsBeyondFilter(const std::uint8_t* word, std::uint64_t left) {
    std::uint64_t hits = 0;
    for (const std::size_t back : kWordByteShifts) {
        hits |= wordAt(word - back) & left;
        if (hits == left) break;
    }
    return hits;
}

void filterByWindowSharps(const std::uint8_t* primeBytes, const std::uint64_t* candidates, std::uint64_t* hits,
                          std::size_t words) {
    filterWords(primeBytes, candidates, hits, words);
}

}  // namespace sharp::survey
