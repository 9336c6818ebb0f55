// Every fixed number of the survey that its stages share, in one place; the sharp
// table and the wheel's primes are in src/sharp/.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sharp::survey {

// Odd numbers per segment (2^24 numbers, 546 KiB of bitmap at 30 numbers a byte), the
// numbers a worker classifies at once; the unit slices and runs are measured in.
inline constexpr std::uint64_t kSegmentOdds = std::uint64_t{1} << 23;

// The largest sharp number the word-wide filter tests: 2^20. The filter moves the
// prime bits by a 30th of it at most, and the 32 sharp numbers up to here leave about
// one candidate in 500 for the one-by-one check.
inline constexpr std::uint64_t kLargestWindowSharp = std::uint64_t{1} << 20;

// Consecutive segments a worker takes at once, each the window of the next: only
// the first of them sieves a window of its own.
inline constexpr std::uint64_t kSegmentsPerRun = 16;

// Runs are cut shorter when a range would give a thread fewer than this many, so
// that every thread has work: 64 threads all get runs on [0, 10^10]. Not more: far
// up every run pays again for its sieving primes.
inline constexpr std::uint64_t kRunsPerThread = 1;

// Runs of segments a worker may take ahead of the oldest undelivered one, per
// thread: bounds the reports held for in-order delivery.
inline constexpr std::uint64_t kLookaheadPerThread = 4;

// A range is cut into slices, the units a state file records and ranks take: about
// this many of them, each a power of two of words between a run of segments and
// kMaxSliceWords.
inline constexpr std::uint64_t kSlicesPerRange = 64;

// The largest slice: 2^32 numbers, a few seconds on two cores.
inline constexpr std::uint64_t kMaxSliceWords = std::uint64_t{1} << 25;

// At most this many slices: past it slices grow instead, so a state file stays short.
inline constexpr std::uint64_t kMaxSlices = std::uint64_t{1} << 16;

// Rows per decade in the CSV file, at geometric steps.
inline constexpr unsigned kCsvRowsPerDecade = 20;

// Tossed candidates listed on standard output.
inline constexpr std::size_t kTossedShown = 20;

// Seconds between two updates of the status line.
inline constexpr double kStatusInterval = 0.5;

// Exit status for bad input: a malformed number, a bad range or an unwritable file.
inline constexpr int kExitBadInput = 2;

// Exit status when the survey itself failed (a write error on an output file).
inline constexpr int kExitFailed = 1;

}  // namespace sharp::survey
