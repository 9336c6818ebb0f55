#include "survey/candidate_pattern.hpp"

#include <algorithm>
#include <array>
#include <initializer_list>

#include "survey/sharp_check.hpp"

namespace sharp::survey {

namespace {

// The wheel primes grouped so that each group's product stays small (at most 15015
// words, 120 KB): together they cover all fourteen.
const std::array<std::initializer_list<std::uint32_t>, 5> kPatternGroups = {{
    {3, 5, 7, 11, 13}, {17, 19, 23}, {29, 31}, {37, 41}, {43, 47}}};

// The first word holds 1, which is no candidate, and the wheel primes from 23 on,
// which are: the patterns have it wrong in both ways.
std::uint64_t fixFirstWord(std::uint64_t word) {
    word &= ~std::uint64_t{1};
    for (const std::uint32_t p : kWheelPrimes) {
        if (p >= kFirstSurveyCandidate) word |= std::uint64_t{1} << (p / 2);
    }
    return word;
}

}  // namespace

CandidatePattern::CandidatePattern() {
    static_assert(kPatternGroups.size() == 5);
    for (const auto& group : kPatternGroups) {
        Pattern pattern;
        pattern.period = 1;
        for (const std::uint32_t p : group) pattern.period *= p;
        pattern.words.assign(pattern.period, ~std::uint64_t{0});
        for (const std::uint32_t p : group) {
            // Odd multiples of p sit at bit indexes p / 2, p / 2 + p, ... (2i + 1 = 0 mod p).
            for (std::uint64_t bit = p / 2; bit < 64 * pattern.period; bit += p) {
                pattern.words[bit / 64] &= ~(std::uint64_t{1} << (bit % 64));
            }
        }
        patterns_.push_back(std::move(pattern));
    }
}

void CandidatePattern::fill(std::uint64_t first, std::size_t count, std::uint64_t* out) const {
    for (std::size_t i = 0; i < count; ++i) out[i] = ~std::uint64_t{0};
    for (const Pattern& pattern : patterns_) {
        // In runs up to the pattern's end, so the inner loop takes several words per instruction.
        std::uint64_t slot = first % pattern.period;
        for (std::size_t i = 0; i < count;) {
            const std::size_t run = static_cast<std::size_t>(std::min<std::uint64_t>(count - i, pattern.period - slot));
            const std::uint64_t* words = pattern.words.data() + slot;
            for (std::size_t j = 0; j < run; ++j) out[i + j] &= words[j];
            i += run;
            slot = 0;
        }
    }
    if (first == 0 && count > 0) out[0] = fixFirstWord(out[0]);
}

}  // namespace sharp::survey
