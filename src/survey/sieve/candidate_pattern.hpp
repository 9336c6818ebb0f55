// The candidates as a bitmap over the odd numbers, built from repeating word patterns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sharp::survey {

// Bit i of word w stands for the odd number 2 (64 w + i) + 1. A word of candidates is
// the AND of a few patterns, each free of the multiples of some of the wheel primes; a
// pattern for primes of product P repeats every P words, so word w reads slot w % P.
class CandidatePattern {
public:
    CandidatePattern();

    // Writes the candidate bits of the absolute words first .. first + count - 1.
    void fill(std::uint64_t first, std::size_t count, std::uint64_t* out) const;

private:
    struct Pattern {
        std::uint64_t period;  // words, the product of the pattern's primes
        std::vector<std::uint64_t> words;
    };
    std::vector<Pattern> patterns_;
};

}  // namespace sharp::survey
