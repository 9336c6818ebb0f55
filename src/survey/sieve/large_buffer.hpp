// Memory a sieve writes megabytes of: taken in huge pages where the system gives them,
// and not zeroed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace sharp::survey {

struct FreeLargeBuffer {
    void operator()(std::uint8_t* bytes) const { std::free(bytes); }
};
using LargeBuffer = std::unique_ptr<std::uint8_t[], FreeLargeBuffer>;

// `bytes` of memory, uninitialised, on huge-page boundaries; throws std::bad_alloc.
// A thread's ring and bucket chunks far up are some 24 MB: in pages of 4 KiB their
// faults, and zeroing them, were a large part of a job's start.
LargeBuffer allocateLarge(std::size_t bytes);

}  // namespace sharp::survey
