#include "candidates/prime_list.hpp"

#include <algorithm>

namespace sharp {

namespace {

// Appends `prime` to the trial divisors. An odd prime gets its inverse modulo 2^32,
// by Newton's iteration (each step doubles the correct low bits: 3, 6, 12, 24, 48),
// and the largest quotient, UINT32_MAX / prime. For 2, which has no inverse, 2^31
// with limit 0 gives the same test: n * 2^31 is 0 modulo 2^32 exactly when n is even.
void addTrialDivisor(RunContext& context, std::uint32_t prime) {
    std::uint32_t inverse = 0x8000'0000u;
    std::uint32_t limit = 0;
    if (prime != 2) {
        inverse = prime;
        for (int step = 0; step < 4; ++step) inverse *= 2 - prime * inverse;
        limit = UINT32_MAX / prime;
    }
    const std::uint32_t slot = context.trialDivisorCount++;
    context.trialPrimes[slot] = prime;
    context.trialInverses[slot] = inverse;
    context.trialLimits[slot] = limit;
}

// Stores `prime` in slot `primeCount` and indexes it for the offset lookup and the trial division.
void listPrime(RunContext& context, std::uint32_t prime) {
    context.Pr[context.primeCount] = prime;
    if (prime % 2 == 1 && prime < kLookupLimit) {
        context.listedOdd[prime >> 7] |= std::uint64_t{1} << ((prime >> 1) & 63);
    }
    if (prime <= kMaxTrialDivisor && context.trialDivisorCount < kTrialDivisorSlots) addTrialDivisor(context, prime);
}

// Both end-candidate verdicts go to the console first, then to the run log.
template <class... Items>
void reportToConsoleAndLog(RunContext& context, const Items&... items) {
    for (Channel* channel : {&context.console, &context.primalityFile}) {
        (*channel << ... << items) << eol;
    }
}

}  // namespace

void seedPrimeList(RunContext& context) {
    context.primeCount = 0;
    for (const std::uint32_t prime : kSeedPrimes) {
        ++context.primeCount;
        listPrime(context, prime);
    }
}

bool isListedBySearch(const RunContext& context, std::uint32_t value) {
    const std::uint32_t stored = std::min(context.primeCount, kLastPrimeSlot);
    const auto first = context.Pr.begin() + 1;
    return std::binary_search(first, first + stored, value);
}

std::uint32_t trialDivide(const RunContext& context, std::uint32_t candidate, std::uint32_t rootBound) {
    // No root bound of a 32-bit candidate exceeds this; the sentinels below rely on it.
    rootBound = std::min(rootBound, kMaxTrialDivisor);
    const std::uint32_t* const primes = context.trialPrimes.data();
    const std::uint32_t* const inverses = context.trialInverses.data();
    const std::uint32_t* const limits = context.trialLimits.data();
    // Slots after the listed primes hold UINT32_MAX, above every root bound: the end
    // of the list stops the division like the bound does, and the candidate is prime.
    // Four tests per round keep the loop's own bookkeeping off the critical path;
    // each test still returns at once, so the first dividing prime is the one found.
    std::size_t k = 0;
    for (; primes[k + kTrialRound - 1] <= rootBound; k += kTrialRound) {
#pragma GCC unroll 4
        for (std::size_t j = 0; j < kTrialRound; ++j) {
            if (candidate * inverses[k + j] <= limits[k + j]) return primes[k + j];
        }
    }
    for (; primes[k] <= rootBound; ++k) {
        if (candidate * inverses[k] <= limits[k]) return primes[k];
    }
    return 0;
}

Storage recordTruePrime(RunContext& context) {
    const std::uint32_t candidate = context.candidate;
    context.stpFile << "true prime = " << candidate << eol;
    ++context.truePrimeCount;
    ++context.jun18TpCount;
    if (candidate == context.endCandidate) {
        reportToConsoleAndLog(context, "number is prime!  ", candidate, "  ", 0u);
    }
    ++context.primeCount;
    if (context.primeCount >= kPrimeSlots) {
        context.console << "must increase size of Pr array!" << eol;
        return Storage::full;
    }
    listPrime(context, candidate);
    return Storage::stored;
}

void reportComposite(RunContext& context, std::uint32_t divisor) {
    const std::uint32_t candidate = context.candidate;
    if (candidate != context.endCandidate) return;
    reportToConsoleAndLog(context, "number is composite  ", divisor, "  ", candidate % divisor, "  ", 0u);
}

void recordFalsePrime(RunContext& context) {
    context.sfpFile << "false prime = " << context.candidate << eol;
    ++context.falsePrimeCount;
    ++context.jun18FpCount;
}

}  // namespace sharp
