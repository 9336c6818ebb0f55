// The prime bits of a segment and of the window below it, from the prime generator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <primesieve.hpp>

namespace sharp::survey {

class PrimeBits {
public:
    // Room for a window of `windowWords` words below a segment of at most `segmentWords`.
    PrimeBits(std::size_t windowWords, std::size_t segmentWords);

    // Sets the bits of 1 and of the odd primes in the window below word `first` and in
    // the words first .. end - 1, and clears all others. When the last call was the
    // full segment just below, its bits become the window and only the segment is new.
    // `runEnd`: where the run of segments this one starts or continues ends, a hint
    // for the prime generator.
    void sieve(std::uint64_t first, std::uint64_t end, std::uint64_t runEnd);

    // The window's first word; the segment's words follow windowWords() later.
    const std::uint64_t* words() const { return bits_.data(); }
    std::size_t windowWords() const { return windowWords_; }
    // The absolute word of words()[0]; below 0 near 0, where the window starts before 1.
    std::int64_t base() const { return base_; }

private:
    void placePrimes(std::uint64_t high, std::uint64_t origin);

    primesieve::iterator generator_;
    // The first prime of the generator's buffer not yet placed, past the last segment.
    static constexpr std::size_t kNothingPending = ~std::size_t{0};
    std::size_t pending_ = kNothingPending;
    std::uint64_t first_ = 0, end_ = 0;  // the words of the last segment sieved
    std::int64_t base_ = 0;
    const std::size_t windowWords_;
    std::vector<std::uint64_t> bits_;  // window and segment, and one word past them
};

}  // namespace sharp::survey
