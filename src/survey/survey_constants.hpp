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

// From this height on (2^30) the filter also moves the prime bits by the sharp
// numbers up to 2^24, 512 KiB below: there enough candidates are left after the
// window's that a move over every word costs less than their lookups word by word.
inline constexpr std::uint64_t kWideFilterFrom = std::uint64_t{1} << 30;

// The sharp numbers above the filter's and up to this one, 2^28, are tried on the words
// with a candidate left, a word at a time from the prime bits below, until none is left:
// as far down as the sieve still holds the job's stream. A job's first segment has the
// window it sieves below itself, which reaches 2^24; the later ones have the job's
// earlier segments, free. A sharp number tried so is a lookup where the one-by-one
// check would test a number for primality; up to 2^24 they leave one candidate in
// 3,300 at 10^12, where the filter leaves one in 260, and up to 2^28, of those, about
// one in seven.
inline constexpr std::uint64_t kLargestWordSharp = std::uint64_t{1} << 28;

// Bytes of prime bits the filter reads below a segment's first byte: a sharp number up
// to 2^20 is at most 34954 bytes back, and one more word.
inline constexpr std::size_t kFilterWindowBytes = 35 * 1024;

// Bytes of prime bits a job's first segment sieves below itself for the word check and
// the wide filter: the 79's largest sharp number up to 2^24, 15315300, is 510510 bytes back.
inline constexpr std::size_t kWordWindowBytes = 512 * 1024;

// Bytes of prime bits below a word that the word check reads at most: with a segment
// above them and a sieve block of 512 KiB the sieve's ring fits in 8 MiB, not 16 (the
// 79's sharp numbers up to 214414200, 7147140 bytes back; 223092870 is tested one by one).
inline constexpr std::size_t kLongestWordWindowBytes = 7'300'000;

// Moves of prime bits the filter makes per word at most: a multiple of 30 takes one,
// another sharp number up to eight. The 79's 32 sharp numbers up to 2^20 take 36; a
// table of small numbers that are no multiples of 30 leaves the rest to the word check,
// which stops at a word's last candidate.
inline constexpr std::size_t kFilterMoves = 64;

// Moves the wide filter makes per word at most, the filter's among them: the 79 take 48.
inline constexpr std::size_t kWideFilterMoves = 80;

// Past 2^64 a segment and the numbers below it are sieved by the primes up to here
// (2^16) before Baillie-PSW: a number that survives is prime about once in three at
// 10^30, where an odd number is once in 35.
inline constexpr std::uint32_t kWideSievePrime = 1 << 16;

// Past 2^64 the sieve reaches this far below a segment (2^20): the distances to the
// sharp numbers up to here are looked up there first; the larger ones' go straight to
// Baillie-PSW.
inline constexpr std::uint64_t kWideWindowSharp = std::uint64_t{1} << 20;

// The least first number of a range past 2^64 (2^32): a segment's sieve there
// reaches below it by the largest sharp number up to 2^20.
inline constexpr std::uint64_t kWideFirstNumber = std::uint64_t{1} << 32;

// Numbers of a segment past 2^64 (2^20): a second or so of work at 10^30.
inline constexpr std::uint64_t kWideSegmentNumbers = std::uint64_t{1} << 20;

// Numbers of a heights window from 2^64 on, unless --window says (2^24): there every
// survivor of the sieve takes a Baillie-PSW test, and the 94 windows from 10^20 to
// 2^128 - 1 take about six minutes on two cores, each with tens to thousands of tossed primes.
inline constexpr std::uint64_t kWideWindowNumbers = std::uint64_t{1} << 24;

// A sharp table holds at most this many numbers.
inline constexpr std::size_t kMostSharps = 4096;

// The smallest slice of a range, in segments (2^28 numbers).
inline constexpr std::uint64_t kSegmentsPerSlice = 16;

// The longest job a worker takes at once, in odd-number words (2^30 numbers): its
// consecutive segments are sieved as one stream, each the window of the next. Far up
// every job finds all its sieving primes anew (about a second near 2^64), so a thread
// should take its whole share of a 10^9-number range in one; the marks of the job's
// large sieving primes take a 30th of it, 36 MB.
inline constexpr std::uint64_t kJobWords = std::uint64_t{1} << 23;

// Sieving primes from here on mark the whole job's stream as they are found, and are
// not kept: far up they are hundreds of millions, and kept in buckets they would take
// gigabytes. Below, in buckets, they cross off where the block is in the cache.
inline constexpr std::uint64_t kLargeSievingPrime = std::uint64_t{1} << 25;

// Far up a job finds and aims its own sieving primes below kLargeSievingPrime: it is
// no shorter than this many numbers per such prime, so that threads left without a
// job idle instead of paying for a set-up longer than their work.
inline constexpr double kJobNumbersPerSievingPrime = 128;

// Jobs are cut shorter when a range would give a thread fewer than this many, so
// that every thread has work: 64 threads all get jobs on [0, 10^10]. Not more: far
// up every job pays again for its sieving primes.
inline constexpr std::uint64_t kJobsPerThread = 1;

// Jobs a worker may take ahead of the oldest undelivered one, per thread: bounds
// the reports held for in-order delivery.
inline constexpr std::uint64_t kLookaheadPerThread = 4;

// A range is cut into slices, the units a state file records and ranks take: about
// this many of them, each a power of two of words between kSegmentsPerSlice segments and
// kMaxSliceWords.
inline constexpr std::uint64_t kSlicesPerRange = 64;

// The largest slice: 2^32 numbers, a few seconds on two cores.
inline constexpr std::uint64_t kMaxSliceWords = std::uint64_t{1} << 25;

// At most this many slices: past it slices grow instead, so a state file stays short.
inline constexpr std::uint64_t kMaxSlices = std::uint64_t{1} << 16;

// Rows per decade in the CSV file, at geometric steps.
inline constexpr unsigned kCsvRowsPerDecade = 20;

// Characters of a bad number or table line quoted in a message: enough to recognise it,
// short enough to stay one line.
inline constexpr std::size_t kQuotedChars = 60;

// Tossed candidates a record line holds at most (about 1.3 MB of line): a slice that
// tosses more sends them ahead of its record in parts of this many, so that neither
// a worker, nor a rank's message, nor a line read back holds a whole slice's list.
inline constexpr std::size_t kTossedPerLine = std::size_t{1} << 16;

// Tossed candidates a worker holds at most while its job waits for the ones before it
// to be delivered (16 MB): past that it waits its turn, so that a table that tosses
// almost every candidate cannot fill memory with lists waiting for delivery.
inline constexpr std::size_t kHeldTossed = std::size_t{1} << 20;

// Tossed candidates listed on standard output.
inline constexpr std::size_t kTossedShown = 20;

// Seconds between two updates of the status line.
inline constexpr double kStatusInterval = 0.5;

// Exit status for bad input: a malformed number, a bad range or an unwritable file.
inline constexpr int kExitBadInput = 2;

// Exit status when the survey itself failed (a write error on an output file).
inline constexpr int kExitFailed = 1;

}  // namespace sharp::survey
