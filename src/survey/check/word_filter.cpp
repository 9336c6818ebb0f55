#include "survey/check/word_filter.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "survey/check/sharp_check.hpp"

// The filter runs four words per instruction with AVX2 and eight with AVX-512; the
// path is chosen at load time where the processor has it.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define SHARP_WITH_VECTORS __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define SHARP_WITH_VECTORS
#endif

namespace sharp::survey {

namespace {

// Words the filter takes at a time: 8 KB of hits, which stay in the first-level
// cache beside the prime bits the shifts read.
constexpr std::size_t kFilterBlockWords = 1024;

// Eight words as one value: one AVX-512 register, two AVX2 ones, four SSE2 ones.
typedef std::uint64_t EightWords __attribute__((vector_size(64)));

// A sharp number as a shift of the prime bits: offsets c - s of the candidates of
// word j start at bit 64 (j - back) + shift, counted from the window's start.
struct SharpShift {
    std::size_t back;
    unsigned shift;
};

constexpr std::array<SharpShift, kWindowSharpCount> kShifts = [] {
    std::array<SharpShift, kWindowSharpCount> shifts{};
    for (std::size_t k = 0; k < kWindowSharpCount; ++k) {
        const std::uint64_t half = windowSharps()[k] / 2;
        const std::uint64_t back = (half + 63) / 64;
        shifts[k] = {static_cast<std::size_t>(back), static_cast<unsigned>(64 * back - half)};
    }
    return shifts;
}();

// A block at a time so the block's words stay in the first-level cache: every sharp
// number ORs its shifted prime bits into every word. The same shift for every word
// lets the loop run over several words per instruction.
SHARP_WITH_VECTORS
void filterWords(const std::uint64_t* primeBits, const std::uint64_t* candidates, std::uint64_t* hits,
                 std::size_t words, std::size_t windowWords) {
    for (std::size_t block = 0; block < words; block += kFilterBlockWords) {
        const std::size_t count = std::min(kFilterBlockWords, words - block);
        std::uint64_t* const found = hits + block;
        for (std::size_t j = 0; j < count; ++j) found[j] = 0;
        for (const SharpShift& sharp : kShifts) {
            const std::uint64_t* const source = primeBits + windowWords + block - sharp.back;
            const unsigned right = sharp.shift, left = 63 - right;
            // One sharp number over the block, eight words at a time with the same shift.
            std::size_t j = 0;
            for (; j + 8 <= count; j += 8) {
                EightWords low, high, into;
                std::memcpy(&low, source + j, sizeof low);
                std::memcpy(&high, source + j + 1, sizeof high);
                std::memcpy(&into, found + j, sizeof into);
                into |= (low >> right) | ((high << 1) << left);
                std::memcpy(found + j, &into, sizeof into);
            }
            for (; j < count; ++j) found[j] |= (source[j] >> right) | ((source[j + 1] << 1) << left);
        }
        for (std::size_t j = 0; j < count; ++j) found[j] &= candidates[block + j];
    }
}

}  // namespace

void filterByWindowSharps(const std::uint64_t* primeBits, std::size_t windowWords, const std::uint64_t* candidates,
                          std::uint64_t* hits, std::size_t words) {
    filterWords(primeBits, candidates, hits, words, windowWords);
}

}  // namespace sharp::survey
