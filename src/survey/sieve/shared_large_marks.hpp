// The marks of a survey's large sieving primes, made once for its whole range by all
// its threads together, each taking the next stretch of primes. Every job's stream
// then reads the marks of its own bytes instead of finding and marking the large
// primes again: far up, those were most of a job's start, paid once per job.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace sharp::survey {

class SharedLargeMarks {
public:
    // For the bytes `first` to `last`: the primes from `largePrime` up to the root of
    // the last number of byte `last`.
    SharedLargeMarks(std::uint64_t first, std::uint64_t last, std::uint64_t largePrime);

    // Marks stretches of primes until none is left: called by every thread at once,
    // and done when all have returned.
    void markShare();

    std::uint64_t largePrime() const { return largePrime_; }
    bool covers(std::uint64_t first, std::uint64_t last) const { return first >= first_ && last <= last_; }
    // Clears the marked bits of the `count` bytes at `bits`, bytes `at` on.
    void clearMarked(std::uint8_t* bits, std::uint64_t at, std::size_t count) const;

private:
    const std::uint64_t first_, last_, largePrime_, limit_;
    std::vector<std::uint8_t> marks_;
    std::unique_ptr<std::mutex[]> locks_;  // one per region the marks are set by
    std::atomic<std::uint64_t> nextStretch_ = 0;
};

}  // namespace sharp::survey
