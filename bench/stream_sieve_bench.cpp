// The survey's own sieve against primesieve's count, one thread each, side by side:
//   build/bench/stream_sieve_bench [LOW HIGH [BLOCK_BYTES [LARGE_PRIME]]]
// (default 0 10^10, 256 KiB, 2^25: the survey's), in one stream; BLOCK_BYTES a power of two.
// Both find every prime of the range; the sieve's bits are counted with popcount.
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <primesieve.hpp>

#include "survey/sieve/stream_sieve.hpp"
#include "survey/sieve/wheel30.hpp"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    using namespace sharp::survey;
    const std::uint64_t low = argc > 2 ? std::strtoull(argv[1], nullptr, 10) : 0;
    const std::uint64_t high = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 10'000'000'000u;
    const std::size_t block = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : std::size_t{1} << 18;
    const std::uint64_t large = argc > 4 ? std::strtoull(argv[4], nullptr, 10) : std::uint64_t{1} << 25;
    const WheelPattern pattern;
    StreamSieve sieve(pattern, block, block, byteOf(high) - byteOf(low) + 1, large);
    std::vector<std::uint8_t> bits(block + 8);
    auto start = std::chrono::steady_clock::now();
    const std::uint64_t first = byteOf(low), end = byteOf(high) + 1;
    std::uint64_t setBits = 0;
    for (std::uint64_t b = first; b < end; b += block) {
        const std::uint64_t stop = std::min<std::uint64_t>(end, b + block);
        sieve.read(b, stop, end - 1, bits.data());
        std::uint64_t i = 0;
        for (; i + 8 <= stop - b; i += 8) {  // a word at a time: a byte at a time cost more than the sieve
            std::uint64_t word;
            std::memcpy(&word, bits.data() + i, 8);
            setBits += static_cast<std::uint64_t>(std::popcount(word));
        }
        for (; i < stop - b; ++i) setBits += static_cast<std::uint64_t>(std::popcount(bits[i]));
    }
    const double own = secondsSince(start);
    primesieve::set_num_threads(1);
    start = std::chrono::steady_clock::now();
    const std::uint64_t primes = primesieve::count_primes(low, high);
    const double reference = secondsSince(start);
    std::printf("[%llu, %llu], blocks of %zu bytes: own sieve %.3f s (%llu bits), primesieve --count %.3f s "
                "(%llu primes), ratio %.2f\n",
                static_cast<unsigned long long>(low), static_cast<unsigned long long>(high), block, own,
                static_cast<unsigned long long>(setBits), reference, static_cast<unsigned long long>(primes),
                own / reference);
}
