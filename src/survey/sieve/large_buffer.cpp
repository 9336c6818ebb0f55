#include "survey/sieve/large_buffer.hpp"

#include <new>

#include <sys/mman.h>

namespace sharp::survey {

namespace {

// The huge page of x86-64 Linux.
constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

}  // namespace

LargeBuffer allocateLarge(std::size_t bytes) {
    const std::size_t rounded = (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
    void* const memory = std::aligned_alloc(kHugePageBytes, rounded);
    if (memory == nullptr) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    // A hint: where huge pages are off, or all taken, the memory comes in small ones.
    madvise(memory, rounded, MADV_HUGEPAGE);
#endif
    return LargeBuffer(static_cast<std::uint8_t*>(memory));
}

}  // namespace sharp::survey
