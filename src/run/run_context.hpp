// All state of one run, built once at start; nothing is allocated after that.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <memory>

#include "run/channel.hpp"
#include "run/constants.hpp"

namespace sharp {

// Trial-divisor slots with room for a full round past the last prime.
inline constexpr std::size_t kTrialSlotsPadded = kTrialDivisorSlots + kTrialRound;

// Words of the bitmap that marks the listed odd primes below kLookupLimit.
inline constexpr std::size_t kListedWords = kLookupLimit / 2 / 64;

struct RunContext {
    std::array<std::uint32_t, kSharpSlots> sharpTable;
    // The prime list: slot 0 unused, the listed primes ascending from slot 1, 0 after them.
    std::array<std::uint32_t, kPrimeSlots> Pr;
    // Bit (v / 2) is set when the odd number v is listed in `Pr`: the sharp-offset lookup.
    std::array<std::uint64_t, kListedWords> listedOdd;
    // Bit (v / 2) is set when the odd number v below `sievedEnd` is prime: sieved once at
    // start up to what the run can reach, it tells a sieve hit's fate without dividing.
    std::array<std::uint64_t, kListedWords> oddPrime;
    std::uint32_t sievedEnd;
    // The listed primes up to kMaxTrialDivisor, in list order, ready for trial division:
    // a number n is divisible by trialPrimes[k] exactly when n * trialInverses[k]
    // (mod 2^32) is at most trialLimits[k]. Three arrays keep the hot loop's loads dense.
    // Unused slots of trialPrimes hold UINT32_MAX, so the list's end stops a division.
    std::array<std::uint32_t, kTrialSlotsPadded> trialPrimes;
    std::array<std::uint32_t, kTrialSlotsPadded> trialInverses;
    std::array<std::uint32_t, kTrialSlotsPadded> trialLimits;
    std::uint32_t trialDivisorCount;

    std::uint32_t endCandidate;
    std::uint32_t candidate;
    std::uint32_t previousCandidate;
    bool sieveHit;

    std::uint32_t primeCount;
    std::uint32_t tossedCount;
    std::uint32_t sievePrimeCount;
    std::uint32_t exceptionCount;
    std::uint32_t truePrimeCount;
    std::uint32_t falsePrimeCount;
    std::uint32_t jun18TpCount;
    std::uint32_t jun18FpCount;

    std::time_t beginTime;
    char startMark[kMarkSize];
    char endMark[kMarkSize];

    Channel console;
    Channel primalityFile;
    Channel mylistFile;
    Channel jun20File;
    Channel stpFile;
    Channel sfpFile;
};

// Builds a run context: the sharp table copied in, `Pr` and every counter zeroed,
// empty time marks, the file channels unopened and the console on `consoleFd`.
std::unique_ptr<RunContext> buildRunContext(int consoleFd);

}  // namespace sharp
