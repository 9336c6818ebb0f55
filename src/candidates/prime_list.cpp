#include "candidates/prime_list.hpp"

#include <algorithm>

namespace sharp {

namespace {

// The inverse of `prime` modulo 2^32, by Newton's iteration (each step doubles the
// correct low bits: 3, 6, 12, 24, 48). For 2, which has none, 2^31 with limit 0
// gives the same test: candidate * 2^31 is 0 modulo 2^32 exactly when it is even.
TrialDivisor makeTrialDivisor(std::uint32_t prime) {
    if (prime == 2) return {2, 0x8000'0000u, 0};
    std::uint32_t inverse = prime;
    for (int step = 0; step < 4; ++step) inverse *= 2 - prime * inverse;
    return {prime, inverse, UINT32_MAX / prime};
}

// Stores `prime` in slot `primeCount` and indexes it for the offset lookup and the trial division.
void listPrime(RunContext& context, std::uint32_t prime) {
    context.Pr[context.primeCount] = prime;
    if (prime % 2 == 1 && prime < kLookupLimit) {
        context.listedOdd[prime >> 7] |= std::uint64_t{1} << ((prime >> 1) & 63);
    }
    if (prime <= kMaxTrialDivisor && context.trialDivisorCount < kTrialDivisorSlots) {
        context.trialDivisors[context.trialDivisorCount++] = makeTrialDivisor(prime);
    }
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

bool isListed(const RunContext& context, std::uint32_t value) {
    if (value % 2 == 1 && value < kLookupLimit) {
        return (context.listedOdd[value >> 7] >> ((value >> 1) & 63)) & 1;
    }
    const std::uint32_t stored = std::min(context.primeCount, kLastPrimeSlot);
    const auto first = context.Pr.begin() + 1;
    return std::binary_search(first, first + stored, value);
}

std::uint32_t trialDivide(const RunContext& context, std::uint32_t candidate, std::uint32_t rootBound) {
    const TrialDivisor* divisor = context.trialDivisors.data();
    const TrialDivisor* const end = divisor + context.trialDivisorCount;
    for (; divisor != end && divisor->prime <= rootBound; ++divisor) {
        if (candidate * divisor->inverse <= divisor->limit) return divisor->prime;
    }
    // No listed prime up to the bound divides it; a list that ran out first counts as prime too.
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
