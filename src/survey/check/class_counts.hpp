// How many candidates of a range fall in each class of the conjecture test.
#pragma once

#include <cstdint>

namespace sharp::survey {

// The four classes: a hit is a true or a false prime, a tossed candidate is a tossed
// prime (a counterexample to the conjecture) or a tossed composite.
enum class CandidateClass { truePrime, falsePrime, tossedPrime, tossedComposite };

struct TossedCandidate {
    std::uint64_t value;
    bool prime;
    bool operator==(const TossedCandidate&) const = default;
};

struct ClassCounts {
    std::uint64_t candidates = 0;
    std::uint64_t hits = 0;
    std::uint64_t truePrimes = 0;
    std::uint64_t falsePrimes = 0;
    std::uint64_t tossedPrimes = 0;
    std::uint64_t tossedComposites = 0;

    ClassCounts& operator+=(const ClassCounts& other) {
        candidates += other.candidates;
        hits += other.hits;
        truePrimes += other.truePrimes;
        falsePrimes += other.falsePrimes;
        tossedPrimes += other.tossedPrimes;
        tossedComposites += other.tossedComposites;
        return *this;
    }
    bool operator==(const ClassCounts&) const = default;
};

}  // namespace sharp::survey
