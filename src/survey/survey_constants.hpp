// Every fixed number of the survey, in one place. The sharp table and the wheel's
// primes are the interactive program's own (run/constants.hpp).
#pragma once

#include <cstddef>
#include <cstdint>

namespace sharp::survey {

// Odd numbers per segment (bits of the prime bitmap a worker sieves at once): 2^23
// odd numbers, a 1 MiB bitmap, long enough that re-aiming the prime generator at a
// segment costs little next to sieving it.
inline constexpr std::uint64_t kSegmentOdds = std::uint64_t{1} << 23;

// Odd numbers of the window sieved below each segment: every sharp number up to twice
// this puts its offsets inside the window, where word-wide shifts test them.
inline constexpr std::uint64_t kWindowOdds = std::uint64_t{1} << 19;

// The largest sharp number the word-wide filter tests (its offsets fall in the window).
inline constexpr std::uint64_t kLargestWindowSharp = 2 * kWindowOdds;

// Segments a worker may run ahead of the oldest unfinished one, per thread: bounds
// the results held for in-order delivery.
inline constexpr std::uint64_t kLookaheadPerThread = 4;

// A range is cut into slices, the units a state file records and ranks take: about
// this many of them, each a power of two of words between a segment and kMaxSliceWords.
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
