#include "survey/sieve/candidate_pattern.hpp"

#include <algorithm>
#include <array>

#include "sharp/wheel_facts.hpp"

namespace sharp::survey {

namespace {

// The longest pattern: 15015 words (120 KB), 3 * 5 * 7 * 11 * 13.
constexpr std::uint64_t kMaxPatternWords = 15015;

// The wheel primes in ascending order, grouped so that each group's product stays
// within kMaxPatternWords: together they cover all of them.
std::vector<std::vector<std::uint32_t>> patternGroups() {
    std::vector<std::vector<std::uint32_t>> groups;
    std::uint64_t product = kMaxPatternWords + 1;
    for (const std::uint32_t p : kWheelPrimes) {
        if (product * p > kMaxPatternWords) {
            groups.emplace_back();
            product = 1;
        }
        groups.back().push_back(p);
        product *= p;
    }
    return groups;
}

// The first word holds 1, which is no candidate, and the wheel primes from 23 on,
// which are: the patterns have it wrong in both ways.
std::uint64_t fixFirstWord(std::uint64_t word) {
    word &= ~std::uint64_t{1};
    for (const std::uint32_t p : kWheelPrimes) {
        if (p >= kFirstCandidate) word |= std::uint64_t{1} << (p / 2);
    }
    return word;
}

}  // namespace

CandidatePattern::CandidatePattern() {
    for (const auto& group : patternGroups()) {
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
