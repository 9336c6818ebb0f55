// The ring the stream's blocks are sieved into and read back from: the last blocks
// of the stream, as many as the longest read needs and one more, a power of two so
// that a byte's block is found with a mask.
#pragma once

#include <cstddef>
#include <cstdint>

#include "survey/sieve/large_buffer.hpp"

namespace sharp::survey {

class SieveRing {
public:
    // Blocks of 2^blockShift bytes, enough for reads of `longestRead` bytes.
    SieveRing(unsigned blockShift, std::size_t longestRead);

    std::size_t blocks() const { return blocks_; }
    // The bits of block `block` of the stream.
    std::uint8_t* block(std::uint64_t block) { return bytes_.get() + (block & (blocks_ - 1)) * blockBytes_; }
    // Byte `at` of the stream, while its block is held.
    const std::uint8_t* byte(std::uint64_t at) const {
        return bytes_.get() + ((at >> blockShift_) & (blocks_ - 1)) * blockBytes_ + (at & (blockBytes_ - 1));
    }

private:
    const unsigned blockShift_;
    const std::size_t blockBytes_, blocks_;
    LargeBuffer bytes_;
};

}  // namespace sharp::survey
