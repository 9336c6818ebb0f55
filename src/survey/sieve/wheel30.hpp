// The layout of the survey's bitmaps: one byte per 30 numbers, one bit for each of the
// 8 residues coprime to 30, so multiples of 2, 3 and 5 take no room and cost nothing.
#pragma once

#include <array>
#include <cstdint>

namespace sharp::survey {

// The residues coprime to 30, bit 0 to bit 7 of a byte; byte b holds 30 b + kResidues[i].
inline constexpr std::array<std::uint32_t, 8> kResidues = {1, 7, 11, 13, 17, 19, 23, 29};

// The bit of each residue mod 30, or -1 for the residues that share a factor with 30.
inline constexpr std::array<int, 30> kBitOfResidue = [] {
    std::array<int, 30> bits{};
    bits.fill(-1);
    for (int i = 0; i < 8; ++i) bits[kResidues[i]] = i;
    return bits;
}();

// The byte that holds n.
inline constexpr std::uint64_t byteOf(std::uint64_t n) { return n / 30; }

// The bits of byte byteOf(n) that stand for n or above / for n or below.
inline constexpr std::uint8_t bitsFrom(std::uint64_t n) {
    std::uint8_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= static_cast<std::uint8_t>((kResidues[i] >= n % 30 ? 1 : 0) << i);
    return bits;
}
inline constexpr std::uint8_t bitsUpTo(std::uint64_t n) {
    std::uint8_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= static_cast<std::uint8_t>((kResidues[i] <= n % 30 ? 1 : 0) << i);
    return bits;
}

// The multiples p m of a prime p = 30 a + kResidues[r] with m coprime to 30, m = 30 j
// + kResidues[w], lie in byte p j + a kResidues[w] + kCrossOffset[r][w], at bit
// kCrossBit[r][w]. Column 8 stands for m = 30 (j + 1) + 1, the next cycle's first.
inline constexpr std::array<std::array<std::uint32_t, 9>, 8> kCrossOffset = [] {
    std::array<std::array<std::uint32_t, 9>, 8> offset{};
    for (int r = 0; r < 8; ++r) {
        for (int w = 0; w < 9; ++w) offset[r][w] = kResidues[r] * (w < 8 ? kResidues[w] : 31) / 30;
    }
    return offset;
}();
inline constexpr std::array<std::array<std::uint8_t, 8>, 8> kCrossBit = [] {
    std::array<std::array<std::uint8_t, 8>, 8> bit{};
    for (int r = 0; r < 8; ++r) {
        for (int w = 0; w < 8; ++w) bit[r][w] = static_cast<std::uint8_t>(kBitOfResidue[kResidues[r] * kResidues[w] % 30]);
    }
    return bit;
}();
// kResidues with the next cycle's 31 after it: the step from w to w + 1 is a (kResiduesAndNext[w + 1] - kResidues[w]).
inline constexpr std::array<std::uint32_t, 9> kResiduesAndNext = {1, 7, 11, 13, 17, 19, 23, 29, 31};

}  // namespace sharp::survey
