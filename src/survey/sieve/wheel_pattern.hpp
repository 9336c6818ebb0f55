// The numbers with no prime factor from 7 to 47, in the layout of 30 numbers a byte:
// the candidates, and the start of every block the sieve crosses off.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sharp::survey {

// A byte of the pattern for primes of product P repeats every P bytes (30 P numbers),
// so byte b reads slot b % P of each.
class WheelPattern {
public:
    WheelPattern();

    // Writes bytes first .. first + count - 1: a bit is set where its number has no
    // prime factor from 7 to 47 (1, and those primes themselves, too).
    void fill(std::uint64_t first, std::size_t count, std::uint8_t* out) const;

private:
    struct Pattern {
        std::uint64_t period;  // bytes, the product of the pattern's primes
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Pattern> patterns_;
};

// The candidates of bytes first .. first + count - 1 from the pattern's bits: 1 and 7 to
// 19 are no candidates, 23 to 47 are, and nothing above 2^64 - 1 is.
void keepCandidates(std::uint64_t first, std::size_t count, std::uint8_t* bytes);

// The prime bits from the pattern's: 1 (an offset of 1 counts) and the primes 7 to 47,
// and nothing above 2^64 - 1.
void keepPrimes(std::uint64_t first, std::size_t count, std::uint8_t* bytes);

}  // namespace sharp::survey
