// The sieving primes with a few to a few hundred multiples a block: one multiple at a
// time, in loops unrolled over the wheel of 30 per place in it, a list for each place
// so that the crossing loop for a whole list enters the wheel at one place.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "survey/sieve/first_multiples.hpp"

namespace sharp::survey {

class MediumPrimes {
public:
    // p = 30 a + kResidues[r]: the byte of its next multiple, m = 30 j + kResidues[w],
    // counted from the stream's first. 8 bytes a prime: the lists stream through the
    // cache every block.
    struct MediumPrime {
        std::uint32_t at;
        std::uint32_t a;  // r and w are its list's
    };
    // A list that only grows or is emptied. Its append is inlined in the crossing loops
    // by force: called, it took a third of their time.
    class List {
    public:
        [[gnu::always_inline]] void append(MediumPrime prime) {
            if (size_ == capacity_) [[unlikely]] grow();
            primes_[size_++] = prime;
        }
        void clear() { size_ = 0; }
        const MediumPrime* begin() const { return primes_.get(); }
        const MediumPrime* end() const { return primes_.get() + size_; }

    private:
        // Grows without zeroing what the appends will write: a stream's first start
        // grows the lists to hundreds of thousands of primes.
        void grow();
        std::unique_ptr<MediumPrime[]> primes_;
        std::size_t size_ = 0, capacity_ = 0;
    };
    using Lists = std::array<List, 64>;  // by 8 r + w

    void clear();
    void add(const FirstMultiple& first, std::uint64_t streamStart) {
        lists_[8 * first.r + first.w].append({static_cast<std::uint32_t>(first.byte - streamStart), first.a});
    }
    // Crosses off their multiples in `block`, the bytes from `blockStart` to `end` - 1
    // counted from the stream's first; each prime goes on to the list of where it stopped.
    void cross(std::uint8_t* block, std::uint64_t blockStart, std::uint64_t end);

private:
    Lists lists_, next_;  // the lists of this block, and of the next
};

}  // namespace sharp::survey
