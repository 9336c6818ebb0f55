// Prime bits from primesieve's generator, in the layout of 30 numbers a byte: where the
// sieving primes are many (far up), its sieve is the faster one, and only the primes
// themselves are turned into bits.
#pragma once

#include <cstddef>
#include <cstdint>

#include <primesieve.hpp>

namespace sharp::survey {

class GeneratedBits {
public:
    // Writes the prime bits of bytes from .. to - 1 to `out`: bits of 1 and of the
    // primes from 7 on. With `goesOn`, the caller holds the bytes from `from` up to
    // where the last call ended already: the generator runs on from there. `horizon`:
    // the last byte of the run, a hint for the generator.
    void write(std::uint64_t from, std::uint64_t to, std::uint64_t horizon, bool goesOn, std::uint8_t* out);

    // Where the last call ended.
    std::uint64_t end() const { return lastTo_; }

private:
    void placePrimes(std::uint64_t first, std::uint64_t high, std::uint8_t* out);

    primesieve::iterator generator_;
    // The first prime of the generator's buffer not yet placed, past the last call.
    static constexpr std::size_t kNothingPending = ~std::size_t{0};
    std::size_t pending_ = kNothingPending;
    std::uint64_t lastTo_ = 0;
};

}  // namespace sharp::survey
