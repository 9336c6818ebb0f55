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

// The largest sharp number the word-wide filter tests: 2^20. The filter shifts the
// prime bits by half of it at most, and the 32 sharp numbers up to here leave about
// one candidate in 500 for the one-by-one check.
inline constexpr std::uint64_t kLargestWindowSharp = std::uint64_t{1} << 20;

// Below each segment lie at least this many odd numbers of prime bits: the filter's
// reach. A segment that follows its predecessor on the same worker takes that whole
// segment as its window instead, at no cost: the one-by-one check then finds the
// offsets of every sharp number up to the segment's length there, not by a
// primality test.
inline constexpr std::uint64_t kWindowOdds = kLargestWindowSharp / 2;

// Consecutive segments a worker takes at once, each the window of the next: only
// the first of them sieves a window of its own.
inline constexpr std::uint64_t kSegmentsPerRun = 16;

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
