// Every fixed number, path and limit of the interactive program, in one place; the
// sharp numbers and the wheel it shares with the survey come from src/sharp/.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sharp/sharp_table.hpp"
#include "sharp/wheel_facts.hpp"

namespace sharp {

// Slots of the sharp table: slot 0 and slot 80 hold 0, slots 1..79 the sharp numbers.
inline constexpr std::size_t kSharpSlots = kSharpCount + 2;

// The sharp numbers, largest first, framed by the unused slot 0 and the terminating 0.
inline constexpr std::array<std::uint32_t, kSharpSlots> kSharpValues = [] {
    std::array<std::uint32_t, kSharpSlots> slots{};
    for (std::size_t k = 0; k < kSharpCount; ++k) slots[k + 1] = kSharpNumbers[k];
    return slots;
}();

// Slots of the prime list `Pr`; slot 0 is unused, so at most kPrimeSlots - 1 primes are stored.
inline constexpr std::uint32_t kPrimeSlots = 1'900'000;

// The last slot of `Pr` that can hold a prime.
inline constexpr std::uint32_t kLastPrimeSlot = kPrimeSlots - 1;

// The primes every run starts from, in slots 1 to 8.
inline constexpr std::array<std::uint32_t, 8> kSeedPrimes = {2, 3, 5, 7, 11, 13, 17, 19};

// The largest end candidate the prompt accepts.
inline constexpr std::uint32_t kMaxEndCandidate = 4'200'000'000u;

// Above this value the wheel also tests the second group.
inline constexpr std::uint32_t kWheelThreshold = 47;

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
