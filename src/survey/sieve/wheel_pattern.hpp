// The numbers with no prime factor from 7 to some bound, in the layout of 30 numbers a
// byte: to 47, the candidates; further, the start of every block the sieve crosses off.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sharp::survey {

// A byte of the pattern for primes of product P repeats every P bytes (30 P numbers),
// so byte b reads slot b % P of each.
class WheelPattern {
public:
    // The pattern of the primes from 7 to `largestPrime`.
    explicit WheelPattern(std::uint32_t largestPrime = 47);

    // Writes bytes first .. first + count - 1: a bit is set where its number has no
    // prime factor from 7 to the largest prime (1, and those primes themselves, too).
    void fill(std::uint64_t first, std::size_t count, std::uint8_t* out) const;

    std::uint32_t largestPrime() const { return largestPrime_; }

private:
    struct Pattern {
        std::uint64_t period;  // bytes, the product of the pattern's primes
        std::vector<std::uint8_t> bytes;
    };
    std::uint32_t largestPrime_;
    std::vector<Pattern> patterns_;
};

// The candidates of bytes first .. first + count - 1 from the pattern's bits: 1 and 7 to
// 19 are no candidates, 23 to 47 are, and nothing above 2^64 - 1 is.
void keepCandidates(std::uint64_t first, std::size_t count, std::uint8_t* bytes);

// The prime bits from the pattern's: 1 (an offset of 1 counts) and the primes from 7 to
// `largestPrime` (the pattern's), and nothing above 2^64 - 1.
void keepPrimes(std::uint64_t first, std::size_t count, std::uint8_t* bytes, std::uint32_t largestPrime);

}  // namespace sharp::survey
