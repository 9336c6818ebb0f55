#include "survey/sieve/medium_primes.hpp"

#include <algorithm>
#include <utility>

namespace sharp::survey {

namespace {

// The byte steps from a multiple p m to the next, m = 30 j + kResidues[w] to the next
// residue: a kStepA[w] + kStepOffset[r][w] for p = 30 a + kResidues[r]. The bit to
// clear: kClearMask[r][w].
constexpr std::array<std::uint32_t, 8> kStepA = [] {
    std::array<std::uint32_t, 8> step{};
    for (int w = 0; w < 8; ++w) step[w] = kResiduesAndNext[w + 1] - kResidues[w];
    return step;
}();
constexpr std::array<std::array<std::uint32_t, 8>, 8> kStepOffset = [] {
    std::array<std::array<std::uint32_t, 8>, 8> step{};
    for (int r = 0; r < 8; ++r) {
        for (int w = 0; w < 8; ++w) step[r][w] = kCrossOffset[r][w + 1] - kCrossOffset[r][w];
    }
    return step;
}();
constexpr std::array<std::array<std::uint8_t, 8>, 8> kClearMask = [] {
    std::array<std::array<std::uint8_t, 8>, 8> mask{};
    for (int r = 0; r < 8; ++r) {
        for (int w = 0; w < 8; ++w) mask[r][w] = static_cast<std::uint8_t>(~(1u << kCrossBit[r][w]));
    }
    return mask;
}();

// One multiple of a medium prime p = 30 a + kResidues[R], the W-th of its cycle: false
// at the end of the block. The step to the next is a constant multiple of a.
template <unsigned R, unsigned W>
bool crossOne(std::uint64_t& byte, std::uint64_t a, std::uint8_t* block, std::uint64_t blockStart,
              std::uint64_t end) {
    if (byte >= end) return false;
    block[byte - blockStart] &= kClearMask[R][W];
    byte += a * kStepA[W] + kStepOffset[R][W];
    return true;
}

// Crosses off the multiples in one block of the medium primes of a list, residue R,
// each from the W-th of its cycle: unrolled over the cycle, so a multiple is a
// compare, a store and an addition. Each prime goes on to the list of where it stopped.
template <unsigned R, unsigned W>
void crossList(const MediumPrimes::List& list, MediumPrimes::Lists& next, std::uint8_t* block,
               std::uint64_t blockStart, std::uint64_t end) {
    for (const MediumPrimes::MediumPrime& prime : list) {
        std::uint64_t byte = prime.at;
        const std::uint64_t a = prime.a;
        const auto leave = [&](unsigned w) { next[8 * R + w].append({static_cast<std::uint32_t>(byte), prime.a}); };
        [&] {
            for (unsigned w = W;; w = 0) {
                switch (w) {
                    case 0: if (!crossOne<R, 0>(byte, a, block, blockStart, end)) return leave(0); [[fallthrough]];
                    case 1: if (!crossOne<R, 1>(byte, a, block, blockStart, end)) return leave(1); [[fallthrough]];
                    case 2: if (!crossOne<R, 2>(byte, a, block, blockStart, end)) return leave(2); [[fallthrough]];
                    case 3: if (!crossOne<R, 3>(byte, a, block, blockStart, end)) return leave(3); [[fallthrough]];
                    case 4: if (!crossOne<R, 4>(byte, a, block, blockStart, end)) return leave(4); [[fallthrough]];
                    case 5: if (!crossOne<R, 5>(byte, a, block, blockStart, end)) return leave(5); [[fallthrough]];
                    case 6: if (!crossOne<R, 6>(byte, a, block, blockStart, end)) return leave(6); [[fallthrough]];
                    default: if (!crossOne<R, 7>(byte, a, block, blockStart, end)) return leave(7);
                }
            }
        }();
    }
}

using CrossList = void (*)(const MediumPrimes::List&, MediumPrimes::Lists&, std::uint8_t*, std::uint64_t, std::uint64_t);

template <std::size_t... K>
constexpr std::array<CrossList, 64> crossLists(std::index_sequence<K...>) {
    return {&crossList<K / 8, K % 8>...};
}

// The loop of each list, by 8 r + w.
constexpr std::array<CrossList, 64> kCrossList = crossLists(std::make_index_sequence<64>());

}  // namespace

void MediumPrimes::List::grow() {
    capacity_ = 2 * capacity_ + 64;
    auto grown = std::make_unique_for_overwrite<MediumPrime[]>(capacity_);
    std::copy(begin(), end(), grown.get());
    primes_ = std::move(grown);
}

void MediumPrimes::clear() {
    for (List& list : lists_) list.clear();
}

void MediumPrimes::cross(std::uint8_t* block, std::uint64_t blockStart, std::uint64_t end) {
    for (std::size_t k = 0; k < lists_.size(); ++k) kCrossList[k](lists_[k], next_, block, blockStart, end);
    std::swap(lists_, next_);
    for (List& list : next_) list.clear();
}

}  // namespace sharp::survey
