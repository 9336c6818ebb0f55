#include "survey/check/wide_segment.hpp"

#include <algorithm>

#include "sharp/odd_primes.hpp"
#include "survey/check/primality.hpp"
#include "survey/check/sharp_check.hpp"
#include "survey/survey_constants.hpp"

namespace sharp::survey {

namespace {

// An odd number's flag: a multiple of a sieving prime; a survivor not yet tested; one
// that Baillie-PSW found prime (a composite survivor goes back to kComposite).
constexpr std::uint8_t kComposite = 0, kRough = 1, kPrime = 2;

// The odd primes up to kWideSievePrime, the first ones (up to 47) apart.
const std::vector<std::uint32_t>& sievingPrimes() {
    static const std::vector<std::uint32_t> primes = oddPrimesUpTo(kWideSievePrime);
    return primes;
}

// Marks composite every odd multiple of p from `base` (odd) on.
void crossOff(std::vector<std::uint8_t>& flags, Uint128 base, std::uint32_t p) {
    const auto remainder = static_cast<std::uint32_t>(base % p);
    std::uint64_t index = remainder == 0 ? 0 : p - remainder;  // base + index is a multiple
    if (index % 2 != 0) index += p;                            // the odd one
    for (index /= 2; index < flags.size(); index += p) flags[index] = kComposite;
}

// The largest sharp number a segment's sieve reaches down to.
std::uint64_t sievedBelow(std::span<const std::uint64_t> sharps) {
    const auto end = std::upper_bound(sharps.begin(), sharps.end(), kWideWindowSharp);
    return end == sharps.begin() ? 0 : *(end - 1);
}

}  // namespace

WideSegment::WideSegment(std::span<const std::uint64_t> sharps, std::span<const Uint128> beyond)
    : sharps_(sharps), beyond_(beyond), below_(sievedBelow(sharps)) {}

void WideSegment::test(Uint128 first, Uint128 last) {
    counts_ = {};
    tossed_.clear();
    base_ = (first - below_) | 1;
    if (base_ > first) base_ -= 2;  // first - below_ was even: the odd number below it
    const std::size_t flags = static_cast<std::size_t>((last - base_) / 2) + 1;
    rough_.assign(flags, kRough);
    const std::vector<std::uint32_t>& primes = sievingPrimes();
    std::size_t k = 0;
    for (; k < primes.size() && primes[k] <= kWheelPrimes.back(); ++k) crossOff(rough_, base_, primes[k]);
    wheeled_ = rough_;
    for (; k < primes.size(); ++k) crossOff(rough_, base_, primes[k]);

    const std::size_t firstFlag = static_cast<std::size_t>((first - base_ + 1) / 2);
    for (std::size_t i = firstFlag; i < flags; ++i) {
        if (!wheeled_[i]) continue;
        const Uint128 c = base_ + 2 * Uint128{i};
        const bool prime = rough_[i] != kComposite && isRoughPrime(i);
        const auto isPrime = [this](Uint128 d) { return isPrimeDistance(d); };
        const bool hit = hasSharpOffset(c, isPrime, 0, sharps_) || hasOffsetBeyond(c, isPrime, beyond_);
        ++counts_.candidates;
        if (hit) {
            ++counts_.hits;
            ++(prime ? counts_.truePrimes : counts_.falsePrimes);
        } else {
            ++(prime ? counts_.tossedPrimes : counts_.tossedComposites);
            tossed_.push_back({c, prime});
        }
    }
}

bool WideSegment::isPrimeDistance(Uint128 d) {
    if (d < base_) return isProbablePrime128(d);
    const std::size_t i = static_cast<std::size_t>((d - base_) / 2);
    if (i >= rough_.size()) return isProbablePrime128(d);
    return isRoughPrime(i);
}

bool WideSegment::isRoughPrime(std::size_t i) {
    // Neighbouring candidates ask for the same distances: each survivor is tested once.
    if (rough_[i] == kRough) rough_[i] = passesBailliePsw128(base_ + 2 * Uint128{i}) ? kPrime : kComposite;
    return rough_[i] == kPrime;
}

CandidateClass classifyLiterally(Uint128 c, std::span<const std::uint64_t> sharps, std::span<const Uint128> beyond) {
    const bool prime = isProbablePrime128(c);
    const auto isPrime = [](Uint128 d) { return isProbablePrime128(d); };
    if (hasSharpOffset(c, isPrime, 0, sharps) || hasOffsetBeyond(c, isPrime, beyond)) {
        return prime ? CandidateClass::truePrime : CandidateClass::falsePrime;
    }
    return prime ? CandidateClass::tossedPrime : CandidateClass::tossedComposite;
}

}  // namespace sharp::survey
