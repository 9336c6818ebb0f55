// The wheel of 210 that bucket and large sieving primes walk: their multiples p m
// with 7 | m are crossed off by the pattern already, so m = 210 j + kResidues210[w],
// 48 residues a cycle where the wheel of 30 has 8, and they cross 14 % fewer. Then
// p m lies in byte 7 p j + a kResidues210[w] + r kResidues210[w] / 30, p = 30 a + r.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "survey/sieve/wheel30.hpp"

namespace sharp::survey {

inline constexpr std::size_t kResidues210Count = 48;
inline constexpr std::array<std::uint32_t, kResidues210Count + 1> kResidues210 = [] {
    std::array<std::uint32_t, kResidues210Count + 1> residues{};
    std::size_t count = 0;
    for (std::uint32_t m = 1; m < 210; ++m) {
        if (m % 2 != 0 && m % 3 != 0 && m % 5 != 0 && m % 7 != 0) residues[count++] = m;
    }
    residues[count] = 211;  // the next cycle's first
    return residues;
}();

// For m % Period, the first wheel index w with residues[w] >= m % Period.
template <std::size_t Period, class Residues>
constexpr std::array<std::uint8_t, Period> wheelIndexFrom(const Residues& residues) {
    std::array<std::uint8_t, Period> index{};
    for (unsigned m = 0; m < Period; ++m) {
        std::uint8_t w = 0;
        while (residues[w] < m) ++w;
        index[m] = w;
    }
    return index;
}
inline constexpr auto kWheelIndexFrom = wheelIndexFrom<30>(kResidues);
inline constexpr auto kWheel210IndexFrom = wheelIndexFrom<210>(kResidues210);

// A wheel place r << 6 | w of a bucket or large prime (r the bit of p % 30, w below
// 48), as bucket entries and marks walk it: the bit its multiple clears, the step to
// the next one (a stepA + stepOffset bytes) and the place there, in one load.
struct WheelStep {
    std::uint8_t clearMask, stepA, stepOffset, bit;
    std::uint32_t next;
};
inline constexpr unsigned kPlaceBits = 9;
inline constexpr std::array<WheelStep, 8 << 6> kWheelSteps = [] {
    std::array<WheelStep, 8 << 6> steps{};
    for (unsigned r = 0; r < 8; ++r) {
        const std::uint32_t residue = kResidues[r];
        for (unsigned w = 0; w < kResidues210Count; ++w) {
            const std::uint32_t m = kResidues210[w], next = kResidues210[w + 1];
            const auto bit = static_cast<std::uint8_t>(kBitOfResidue[residue * m % 30]);
            steps[r << 6 | w] = {static_cast<std::uint8_t>(~(1u << bit)), static_cast<std::uint8_t>(next - m),
                                 static_cast<std::uint8_t>(residue * next / 30 - residue * m / 30), bit,
                                 static_cast<std::uint32_t>(r << 6 | (w + 1) % kResidues210Count)};
        }
    }
    return steps;
}();

}  // namespace sharp::survey
