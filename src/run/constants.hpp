// Every fixed number, path and limit of the program, in one place.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace sharp {

// Slots of the sharp table: slot 0 and slot 80 hold 0, slots 1..79 the sharp numbers.
inline constexpr std::size_t kSharpSlots = 81;

// The sharp numbers, largest first, framed by the unused slot 0 and the terminating 0.
inline constexpr std::array<std::uint32_t, kSharpSlots> kSharpValues = {
    0u,
    3216213000u, 2677114440u, 2358556200u, 2270268000u, 2081079000u,
    2036934900u, 1745944200u, 1338557220u, 1286485200u, 1179278100u,
    1135134000u, 832431600u,  643242600u,  581981400u,  446185740u,
    416215800u,  378378000u,  290990700u,  223092870u,  214414200u,
    189189000u,  183783600u,  174636000u,  138738600u,  116396280u,
    107207100u,  91891800u,   87318000u,   75675600u,   69369300u,
    58198140u,   37837800u,   30630600u,   29106000u,   19399380u,
    15315300u,   14553000u,   12612600u,   10810800u,   9699690u,
    6306300u,    6126120u,    5821200u,    5405400u,    3063060u,
    2910600u,    1801800u,    1021020u,    970200u,     900900u,
    831600u,     510510u,     485100u,     415800u,     360360u,
    180180u,     138600u,     75600u,      69300u,      60060u,
    37800u,      30030u,      27720u,      13860u,      12600u,
    6300u,       4620u,       2520u,       2310u,       1260u,
    420u,        360u,        210u,        180u,        60u,
    30u,         12u,         6u,          2u,
    0u,
};

// Slots of the prime list `Pr`; slot 0 is unused, so at most kPrimeSlots - 1 primes are stored.
inline constexpr std::uint32_t kPrimeSlots = 1'900'000;

// The last slot of `Pr` that can hold a prime.
inline constexpr std::uint32_t kLastPrimeSlot = kPrimeSlots - 1;

// The primes every run starts from, in slots 1 to 8.
inline constexpr std::array<std::uint32_t, 8> kSeedPrimes = {2, 3, 5, 7, 11, 13, 17, 19};

// The candidate of the first pass.
inline constexpr std::uint32_t kFirstCandidate = 23;

// The largest end candidate the prompt accepts.
inline constexpr std::uint32_t kMaxEndCandidate = 4'200'000'000u;

// Wheel divisors tested on every odd number, in the order tested.
inline constexpr std::array<std::uint32_t, 8> kWheelFirstGroup = {5, 3, 7, 11, 13, 17, 19, 23};

// Above this value the wheel also tests the second group.
inline constexpr std::uint32_t kWheelThreshold = 47;

// Wheel divisors tested only above the threshold, in the order tested.
inline constexpr std::array<std::uint32_t, 6> kWheelSecondGroup = {29, 31, 37, 41, 43, 47};

// The smallest root bound of any candidate.
inline constexpr std::uint32_t kMinRootBound = 3;

// Tossed candidates logged to the run log ("rooh = ").
inline constexpr std::uint32_t kTossedLogLimit = 39;

// Tossed candidates that also raise the console notice ("rooh debug! ").
inline constexpr std::uint32_t kTossedNoticeLimit = 3;

// A progress line is written while the sieve-hit count is a multiple of this.
inline constexpr std::uint32_t kProgressPeriod = 30;

// A milestone: the power of ten the candidates cross and the text that announces it.
struct Milestone {
    std::uint32_t threshold;
    std::string_view label;
};

// The milestone marks, in the order they are tested and written.
inline constexpr std::array<Milestone, 5> kMilestones = {{
    {100'000u, "mark 1E5 = "},
    {1'000'000u, "mark 1E6 = "},
    {10'000'000u, "mark 1E7 = "},
    {100'000'000u, "mark 1E8 = "},
    {1'000'000'000u, "mark 1E9 = "},
}};

// Factor of the prime-count estimate N * 1.022 / ln N.
inline constexpr double kTheoryFactor = 1.022;

// Share of the candidates up to N expected to be non-trivial.
inline constexpr double kNonTrivialShare = 0.4;

// A report file: the name every message shows, and the file it is on disk.
struct ReportPath {
    std::string_view shown;
    const char* disk;
};

// The run log.
inline constexpr ReportPath kPrimalityPath = {R"(c:\primes\primality.txt)", "primes/primality.txt"};
// The prime-list dump.
inline constexpr ReportPath kMylistPath = {R"(c:\primes\mylist.txt)", "primes/mylist.txt"};
// The conjecture ratios.
inline constexpr ReportPath kJun20Path = {R"(c:\primes\Jun20.txt)", "primes/Jun20.txt"};
// One line per true prime.
inline constexpr ReportPath kStpPath = {R"(c:\primes\stp.txt)", "primes/stp.txt"};
// One line per false prime.
inline constexpr ReportPath kSfpPath = {R"(c:\primes\sfp.txt)", "primes/sfp.txt"};

// Permission bits of a newly created report file (the umask applies).
inline constexpr unsigned kReportFileMode = 0664;

// Bytes a channel holds before a line ends; longer text is written out in pieces.
inline constexpr std::size_t kChannelBufferSize = 4096;

// Bytes read from standard input at a time.
inline constexpr std::size_t kInputBufferSize = 4096;

// Size of a time-mark text, "YYYY-MM-DD HH:MM:SS" and its terminator, with room to spare.
inline constexpr std::size_t kMarkSize = 32;

// Odd numbers below this are looked up in the listed-prime bitmap; larger or even
// offsets fall back to a binary search of `Pr`. It covers every prime a run can list.
inline constexpr std::uint32_t kLookupLimit = 1u << 25;

// Odd numbers the start-up sieve marks per block: 32 KiB of bits, sized to stay in
// the first-level cache while every sieving prime crosses it.
inline constexpr std::uint32_t kSieveBlockOdds = 1u << 18;

// Largest prime that can ever serve as a trial divisor: the root of any 32-bit candidate is below 65536.
inline constexpr std::uint32_t kMaxTrialDivisor = 65'535;

// Primes up to kMaxTrialDivisor: the size of the trial-divisor table.
inline constexpr std::uint32_t kTrialDivisorSlots = 6'542;

// Trial divisors tested per round of the division loop.
inline constexpr std::size_t kTrialRound = 4;

}  // namespace sharp
