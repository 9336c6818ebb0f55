#include "survey/sieve/sieve_ring.hpp"

#include <bit>

namespace sharp::survey {

SieveRing::SieveRing(unsigned blockShift, std::size_t longestRead)
    : blockShift_(blockShift),
      blockBytes_(std::size_t{1} << blockShift),
      blocks_(std::bit_ceil((longestRead + blockBytes_ - 1) / blockBytes_ + 1)),
      bytes_(allocateLarge(blocks_ * blockBytes_)) {}

}  // namespace sharp::survey
