// The prime list `Pr` and the trial division that sorts sieve hits into true and false primes.
#pragma once

#include <cstdint>

#include "candidates/wheel.hpp"
#include "run/run_context.hpp"

namespace sharp {

// Divides `candidate` by the listed primes, in list order, while they are at most
// `rootBound` (a root bound, so at most 65535). Returns the first one that divides
// it, or 0 when none does.
std::uint32_t trialDivide(const RunContext& context, std::uint32_t candidate, std::uint32_t rootBound);

// Puts the seed primes 2 to 19 into slots 1 to 8, sets `primeCount` to 8 and sieves
// the primes the run can reach (see sieveReachablePrimes); `endCandidate` must be set.
void seedPrimeList(RunContext& context);

// Marks the odd primes below `sievedEnd` in `oddPrime`: every number up to the end
// candidate, or up to kLookupLimit, which lies past the last prime `Pr` has room for.
void sieveReachablePrimes(RunContext& context);

// True when the candidate `value` (a wheel number) is prime. Inside the sieved range one
// bit test answers; beyond it (no run gets there) the listed primes up to its root
// bound are tried.
inline bool isPrimeCandidate(const RunContext& context, std::uint32_t value) {
    if (value < context.sievedEnd) return (context.oddPrime[value >> 7] >> ((value >> 1) & 63)) & 1;
    return trialDivide(context, value, computeRootBound(value)) == 0;
}

// True when `value` is one of the primes stored in `Pr`, by a binary search.
bool isListedBySearch(const RunContext& context, std::uint32_t value);

// True when `value` is one of the primes stored in `Pr`: a bit test for odd values
// below kLookupLimit (every odd prime a run can list), the search for any other.
inline bool isListed(const RunContext& context, std::uint32_t value) {
    if (value % 2 == 1 && value < kLookupLimit) return (context.listedOdd[value >> 7] >> ((value >> 1) & 63)) & 1;
    return isListedBySearch(context, value);
}

// Whether a confirmed prime found room in `Pr`.
enum class Storage { stored, full };

// Logs and counts the candidate as a true prime, reports it when it is the end
// candidate and appends it to `Pr`; `full` means the list had no slot left.
Storage recordTruePrime(RunContext& context);

// Reports the end candidate as composite with `divisor` (1 for a tossed candidate).
// Writes nothing for any other candidate.
void reportComposite(RunContext& context, std::uint32_t divisor);

// Logs and counts the candidate as a false prime.
void recordFalsePrime(RunContext& context);

}  // namespace sharp
