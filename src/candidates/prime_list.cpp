#include "candidates/prime_list.hpp"

#include <algorithm>
#include <array>

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

// The smallest odd primes, crossed off by a repeating word pattern instead of one by one.
constexpr std::array<std::uint32_t, 5> kPatternPrimes = {3, 5, 7, 11, 13};

// kPatternMasks[k][r]: the odd-number bits (bit j for 2(b + j) + 1) of a word whose first
// bit b has b % p == r, with the odd multiples of p = kPatternPrimes[k] cleared.
constexpr auto kPatternMasks = [] {
    std::array<std::array<std::uint64_t, 13>, kPatternPrimes.size()> masks{};
    for (std::size_t k = 0; k < kPatternPrimes.size(); ++k) {
        const std::uint32_t p = kPatternPrimes[k];
        for (std::uint32_t r = 0; r < p; ++r) {
            std::uint64_t mask = ~std::uint64_t{0};
            for (std::uint32_t j = 0; j < 64; ++j) {
                if ((r + j) % p == p / 2) mask &= ~(std::uint64_t{1} << j);  // 2i + 1 = 0 (mod p) at i = p / 2
            }
            masks[k][r] = mask;
        }
    }
    return masks;
}();

// Fills `words` words of odd-number bits from 1 on with the numbers that have none of
// kPatternPrimes as a factor, those primes themselves included, 1 excluded.
void fillWithoutSmallFactors(std::uint64_t* bits, std::uint32_t words) {
    std::array<std::uint32_t, kPatternPrimes.size()> residue{};
    for (std::uint32_t w = 0; w < words; ++w) {
        std::uint64_t word = ~std::uint64_t{0};
        for (std::size_t k = 0; k < kPatternPrimes.size(); ++k) {
            word &= kPatternMasks[k][residue[k]];
            residue[k] = (residue[k] + 64) % kPatternPrimes[k];
        }
        bits[w] = word;
    }
    if (words == 0) return;
    bits[0] &= ~std::uint64_t{1};  // 1 is not prime
    for (const std::uint32_t p : kPatternPrimes) bits[0] |= std::uint64_t{1} << (p / 2);
}

}  // namespace

void seedPrimeList(RunContext& context) {
    context.primeCount = 0;
    for (const std::uint32_t prime : kSeedPrimes) {
        ++context.primeCount;
        listPrime(context, prime);
    }
    sieveReachablePrimes(context);
}

void sieveReachablePrimes(RunContext& context) {
    const std::uint32_t end = context.endCandidate < kLookupLimit ? context.endCandidate + 1 : kLookupLimit;
    const std::uint32_t odds = end / 2;  // bit i stands for 2i + 1, below `end`
    std::uint64_t* const bits = context.oddPrime.data();
    fillWithoutSmallFactors(bits, (odds + 63) / 64);

    // The sieving primes above the pattern's: odd primes whose square lies below
    // kLookupLimit, by a plain sieve over their own small range.
    constexpr std::uint32_t kRootLimit = 5794;  // above the root of kLookupLimit
    std::array<bool, kRootLimit> composite{};
    std::array<std::uint32_t, kRootLimit / 2> primes{};
    std::array<std::uint32_t, kRootLimit / 2> nextOdd{};  // index of the next odd multiple to cross off
    std::size_t count = 0;
    for (std::uint32_t p = 3; p < kRootLimit && p * p < end; p += 2) {
        if (composite[p]) continue;
        for (std::uint32_t m = p * p; m < kRootLimit; m += 2 * p) composite[m] = true;
        if (p <= kPatternPrimes.back()) continue;
        primes[count] = p;
        nextOdd[count] = p * p / 2;
        ++count;
    }
    // Block by block, so the crossing off stays in the first-level cache.
    for (std::uint32_t blockStart = 0; blockStart < odds; blockStart += kSieveBlockOdds) {
        const std::uint32_t blockEnd = std::min(odds, blockStart + kSieveBlockOdds);
        for (std::size_t k = 0; k < count; ++k) {
            std::uint32_t i = nextOdd[k];
            for (const std::uint32_t p = primes[k]; i < blockEnd; i += p) bits[i >> 6] &= ~(std::uint64_t{1} << (i & 63));
            nextOdd[k] = i;
        }
    }
    context.sievedEnd = end;
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
