#include "survey/sieve/wheel_pattern.hpp"

#include <algorithm>
#include <array>

#include "sharp/wheel_facts.hpp"
#include "survey/sieve/wheel30.hpp"
#include "survey/vector_paths.hpp"

namespace sharp::survey {

namespace {

// The longest pattern: 128 KiB. From 7 * 11 * 13 * 17 = 17017 bytes on, groups of two
// or three primes.
constexpr std::uint64_t kMaxPatternBytes = 1 << 17;

// The last byte, and its bits that stand for 2^64 - 1 or below.
constexpr std::uint64_t kLastByte = byteOf(~std::uint64_t{0});
constexpr std::uint8_t kLastByteBits = bitsUpTo(~std::uint64_t{0});

bool isPrime(std::uint32_t n) {
    if (n < 2) return false;
    for (std::uint32_t d = 2; d * d <= n; ++d) {
        if (n % d == 0) return false;
    }
    return true;
}

// The primes from 7 to `largestPrime`, ascending, grouped so that each group's product
// stays within kMaxPatternBytes.
std::vector<std::vector<std::uint32_t>> patternGroups(std::uint32_t largestPrime) {
    std::vector<std::vector<std::uint32_t>> groups;
    std::uint64_t product = kMaxPatternBytes + 1;
    for (std::uint32_t p = 7; p <= largestPrime; p += 2) {  // 3 and 5 are in the layout itself
        if (!isPrime(p)) continue;
        if (product * p > kMaxPatternBytes) {
            groups.emplace_back();
            product = 1;
        }
        groups.back().push_back(p);
        product *= p;
    }
    return groups;
}

// Sets or clears the bits of the numbers up to `upTo` as `isKept` says, and clears the
// bits above 2^64 - 1.
template <class IsKept>
void fixEnds(std::uint64_t first, std::size_t count, std::uint8_t* bytes, std::uint64_t upTo, IsKept isKept) {
    for (std::uint64_t b = first; b < std::min<std::uint64_t>(first + count, upTo / 30 + 1); ++b) {
        for (int i = 0; i < 8; ++i) {
            const std::uint64_t n = 30 * b + kResidues[i];
            const std::uint8_t bit = static_cast<std::uint8_t>(1u << i);
            if (n <= upTo) bytes[b - first] = isKept(n) ? bytes[b - first] | bit : bytes[b - first] & ~bit;
        }
    }
    if (first <= kLastByte && kLastByte < first + count) bytes[kLastByte - first] &= kLastByteBits;
    for (std::uint64_t b = std::max(first, kLastByte + 1); b < first + count && b > kLastByte; ++b) bytes[b - first] = 0;
}

// The pattern of one prime p > 5 alone: p bytes, a bit cleared for each of its 8
// multiples coprime to 30 among p, 2 p, ..., 30 p, in the byte it falls in modulo p.
std::vector<std::uint8_t> primePattern(std::uint32_t p) {
    std::vector<std::uint8_t> bytes(p, 0xff);
    for (std::uint64_t n = p; n < 30 * std::uint64_t{p}; n += 2 * p) {
        const int bit = kBitOfResidue[n % 30];
        if (bit >= 0) bytes[n / 30 % p] &= static_cast<std::uint8_t>(~(1u << bit));
    }
    return bytes;
}

bool isWheelPrime(std::uint64_t n) { return std::find(kWheelPrimes.begin(), kWheelPrimes.end(), n) != kWheelPrimes.end(); }

}  // namespace

WheelPattern::WheelPattern(std::uint32_t largestPrime) : largestPrime_(largestPrime) {
    for (const auto& group : patternGroups(largestPrime)) {
        Pattern pattern;
        pattern.period = 1;
        for (const std::uint32_t p : group) pattern.period *= p;
        pattern.bytes.assign(pattern.period, 0xff);
        // Each prime's own pattern repeated over the period: multiple by multiple, and
        // before that number by number, it was a large part of a short survey's start.
        for (const std::uint32_t p : group) {
            const std::vector<std::uint8_t> own = primePattern(p);
            for (std::uint64_t at = 0; at < pattern.period; at += p) {
                for (std::uint32_t k = 0; k < p; ++k) pattern.bytes[at + k] &= own[k];
            }
        }
        patterns_.push_back(std::move(pattern));
    }
}

namespace {

// Patterns ANDed into the bytes in one pass: four reads for each write, where a pass
// a pattern read and wrote every byte once per pattern (a tenth of the time low down).
constexpr std::size_t kPatternsPerPass = 4;

// out[j] = (out[j] where `into`) & byte j of every source, j < count.
template <std::size_t N>
void andBytes(std::uint8_t* out, const std::array<const std::uint8_t*, kPatternsPerPass>& sources, std::size_t count,
              bool into) {
    for (std::size_t j = 0; j < count; ++j) {
        std::uint8_t byte = into ? out[j] : 0xff;
        for (std::size_t k = 0; k < N; ++k) byte &= sources[k][j];
        out[j] = byte;
    }
}

}  // namespace

SHARP_WITH_VECTORS
void WheelPattern::fill(std::uint64_t first, std::size_t count, std::uint8_t* out) const {
    if (patterns_.empty()) std::fill(out, out + count, 0xff);
    for (std::size_t group = 0; group < patterns_.size(); group += kPatternsPerPass) {
        const std::size_t n = std::min(kPatternsPerPass, patterns_.size() - group);
        std::array<std::uint64_t, kPatternsPerPass> slot{};
        for (std::size_t k = 0; k < n; ++k) slot[k] = first % patterns_[group + k].period;
        // In runs up to the nearest end of a pattern, so the inner loop takes many bytes per instruction.
        for (std::size_t i = 0; i < count;) {
            std::size_t run = count - i;
            std::array<const std::uint8_t*, kPatternsPerPass> sources{};
            for (std::size_t k = 0; k < n; ++k) {
                run = static_cast<std::size_t>(std::min<std::uint64_t>(run, patterns_[group + k].period - slot[k]));
                sources[k] = patterns_[group + k].bytes.data() + slot[k];
            }
            switch (n) {
                case 1: andBytes<1>(out + i, sources, run, group > 0); break;
                case 2: andBytes<2>(out + i, sources, run, group > 0); break;
                case 3: andBytes<3>(out + i, sources, run, group > 0); break;
                default: andBytes<4>(out + i, sources, run, group > 0); break;
            }
            for (std::size_t k = 0; k < n; ++k) {
                slot[k] += run;
                if (slot[k] == patterns_[group + k].period) slot[k] = 0;
            }
            i += run;
        }
    }
}

void keepCandidates(std::uint64_t first, std::size_t count, std::uint8_t* bytes) {
    fixEnds(first, count, bytes, kWheelPrimes.back(),
            [](std::uint64_t n) { return n >= kFirstCandidate && isWheelPrime(n); });
}

void keepPrimes(std::uint64_t first, std::size_t count, std::uint8_t* bytes, std::uint32_t largestPrime) {
    fixEnds(first, count, bytes, largestPrime,
            [](std::uint64_t n) { return n == 1 || isPrime(static_cast<std::uint32_t>(n)); });
}

}  // namespace sharp::survey
