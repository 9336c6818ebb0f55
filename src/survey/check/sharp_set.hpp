// The sharp numbers a survey tests against, the 79 or a table of the user's, and how
// the word-wide checks find their offsets: for each sharp number s, the moves that
// carry the prime bits of c - s onto the candidates c, a word of 240 numbers at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sharp/sharp_table.hpp"
#include "survey/sieve/wheel30.hpp"
#include "survey/survey_constants.hpp"
#include "survey/uint128.hpp"

namespace sharp::survey {

// One move of prime bits onto a word's candidates: the word `back` bytes below, the
// bits `mask` of each of its bytes, each moved `up` or `down` places within its byte.
struct WordMove {
    std::size_t back = 0;
    std::uint64_t mask = 0;
    unsigned up = 0, down = 0;

    constexpr std::uint64_t of(std::uint64_t below) const { return ((below & mask) << up) >> down; }
    constexpr bool operator==(const WordMove&) const = default;
};

// The moves of one sharp number: at most one per residue of the candidates.
struct SharpMoves {
    std::array<WordMove, 8> move{};
    std::size_t count = 0;
    // The bytes below a word the moves read: the farthest move's and the word itself.
    constexpr std::size_t reach() const {
        std::size_t farthest = 0;
        for (std::size_t k = 0; k < count; ++k) farthest = farthest > move[k].back ? farthest : move[k].back;
        return farthest + 8;
    }
};

// The moves that put the prime bit of c - s on each candidate c's bit: c = 30 b + r
// has c - s in the byte ceil((s - r) / 30) below, at the residue r - s mod 30 (none
// where that shares a factor with 30: then c - s is no prime above 5). A multiple of
// 30 keeps the residue: one move of whole bytes.
constexpr SharpMoves movesOf(std::uint64_t s) {
    SharpMoves moves;
    for (unsigned i = 0; i < 8; ++i) {
        const std::uint64_t r = kResidues[i];
        const std::uint64_t back = s <= r ? 0 : (s - r + 29) / 30;
        const int j = kBitOfResidue[static_cast<std::size_t>((30 * back + r - s) % 30)];
        if (j < 0) continue;
        const WordMove move{static_cast<std::size_t>(back), 0, i > unsigned(j) ? i - j : 0, unsigned(j) > i ? j - i : 0};
        std::size_t k = 0;
        while (k < moves.count && !(moves.move[k].back == move.back && moves.move[k].up == move.up &&
                                    moves.move[k].down == move.down)) {
            ++k;
        }
        if (k == moves.count) moves.move[moves.count++] = move;
        moves.move[k].mask |= 0x0101010101010101u << j;
    }
    return moves;
}

// How many sharp numbers of `ascending`, from the `first`-th on, the word checks take
// with at most `budget` moves: each at most `largest`, its moves reaching at most
// `reach` bytes below a word.
constexpr std::size_t sharpsTaken(std::span<const std::uint64_t> ascending, std::size_t first, std::size_t budget,
                                  std::uint64_t largest, std::size_t reach) {
    std::size_t k = first;
    for (; k < ascending.size() && ascending[k] <= largest; ++k) {
        const SharpMoves moves = movesOf(ascending[k]);
        if (moves.count > budget || moves.reach() > reach) break;
        budget -= moves.count;
    }
    return k - first;
}

// The smallest sharp numbers the filter moves over every word: up to 2^20.
constexpr std::size_t filterSharpsOf(std::span<const std::uint64_t> ascending) {
    return sharpsTaken(ascending, 0, kFilterMoves, kLargestWindowSharp, kFilterWindowBytes);
}

// The next ones the wide filter moves too, from kWideFilterFrom on.
constexpr std::size_t wideSharpsOf(std::span<const std::uint64_t> ascending, std::size_t filterSharps,
                                   std::size_t filterMoves) {
    return sharpsTaken(ascending, filterSharps, kWideFilterMoves - filterMoves, kLargestWordSharp, kWordWindowBytes);
}

// The moves of the sharp numbers first .. first + count - 1, one after another.
template <std::size_t N>
constexpr std::array<WordMove, N> movesOfSharps(std::span<const std::uint64_t> ascending, std::size_t first,
                                                std::size_t count) {
    std::array<WordMove, N> all{};
    std::size_t n = 0;
    for (std::size_t k = first; k < first + count; ++k) {
        const SharpMoves moves = movesOf(ascending[k]);
        for (std::size_t m = 0; m < moves.count; ++m) all[n++] = moves.move[m];
    }
    return all;
}
constexpr std::size_t moveCountOf(std::span<const std::uint64_t> ascending, std::size_t first, std::size_t count) {
    std::size_t n = 0;
    for (std::size_t k = first; k < first + count; ++k) n += movesOf(ascending[k]).count;
    return n;
}

class SharpSet {
public:
    // The 79.
    static const SharpSet& builtIn();

    // `ascending`: even numbers from 2 to 2^64 - 2, ascending, no repeats; `beyond`:
    // the same from 2^64 to 2^128 - 2.
    explicit SharpSet(std::vector<std::uint64_t> ascending, std::vector<Uint128> beyond = {});

    std::span<const std::uint64_t> ascending() const { return ascending_; }
    // The sharp numbers from 2^64 on, ascending: they are tried after all the others,
    // one by one, and only by candidates above half of them.
    std::span<const Uint128> beyond() const { return beyond_; }
    // Every sharp number, ascending.
    std::vector<Uint128> all() const;
    // The same numbers as the 79.
    bool isBuiltIn() const { return builtIn_; }
    // The filter's numbers, wide ones too, are the 79's: its moves fixed at build time serve.
    bool filtersAsBuiltIn() const { return filtersAsBuiltIn_; }

    // The smallest sharp numbers the filter takes, all up to 2^20, and its moves;
    // `wide`: with the next wideSharps() too.
    std::size_t filterSharps() const { return filterSharps_; }
    std::span<const WordMove> filterMoves(bool wide) const {
        return std::span<const WordMove>(filterMoves_).first(wide ? filterMoves_.size() : narrowMoves_);
    }
    std::size_t wideSharps() const { return wideSharps_; }

    // The sharp numbers after the filter's tried a word at a time, the wide filter's
    // first: how many of them a word reaches with `window` bytes of prime bits below it,
    // and the moves of the from-th to the to-th, one after another.
    std::size_t wordSharpsWithin(std::size_t window) const;
    std::span<const WordMove> wordMoves(std::size_t from, std::size_t to) const {
        return std::span<const WordMove>(wordMoves_).subspan(wordMoveStart_[from], wordMoveStart_[to] - wordMoveStart_[from]);
    }

private:
    std::vector<std::uint64_t> ascending_;
    std::vector<Uint128> beyond_;
    bool builtIn_ = false;
    bool filtersAsBuiltIn_ = false;
    std::size_t filterSharps_ = 0, wideSharps_ = 0, narrowMoves_ = 0;
    std::vector<WordMove> filterMoves_;
    std::vector<WordMove> wordMoves_;
    std::vector<std::size_t> wordMoveStart_;  // per word sharp, and one past the last
    std::vector<std::size_t> wordReach_;      // per word sharp: the bytes below a word its moves read
};

}  // namespace sharp::survey
