#include "survey/check/word_filter.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "survey/vector_paths.hpp"

namespace sharp::survey {

namespace {

std::uint64_t wordAt(const std::uint8_t* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

// The 79's moves, fixed when the program is built: the filter's loop then holds each
// move's distance, mask and shifts as constants, and a move of whole bytes costs one
// load and one OR.
constexpr std::size_t kBuiltInFilterSharps = filterSharpsOf(kSharpsAscending);
constexpr std::size_t kBuiltInNarrowMoves = moveCountOf(kSharpsAscending, 0, kBuiltInFilterSharps);
constexpr std::size_t kBuiltInWideSharps = wideSharpsOf(kSharpsAscending, kBuiltInFilterSharps, kBuiltInNarrowMoves);
constexpr std::size_t kBuiltInWideMoves = moveCountOf(kSharpsAscending, 0, kBuiltInFilterSharps + kBuiltInWideSharps);

struct BuiltInNarrow {
    static constexpr auto kMoves = movesOfSharps<kBuiltInNarrowMoves>(kSharpsAscending, 0, kBuiltInFilterSharps);
};
struct BuiltInWide {
    static constexpr auto kMoves =
        movesOfSharps<kBuiltInWideMoves>(kSharpsAscending, 0, kBuiltInFilterSharps + kBuiltInWideSharps);
};

// Another table's moves, a few at a time: as many as the loop holds in registers.
constexpr std::size_t kMovesAtOnce = 8;
struct SomeMoves {
    std::array<WordMove, kMovesAtOnce> kMoves{};
};

// Every move ORs its prime bits into every word, the same move for every word, so the
// loop runs over several words per instruction; the moves of a word are ORed in
// registers, and the word is stored once (stored after each move, the stores took half
// the filter's time). `Onto`: ORed onto the hits of earlier moves.
template <bool Onto, class Moves>
SHARP_WITH_VECTORS void moveOntoWords(const Moves& moves, const std::uint8_t* segment, const std::uint64_t* candidates,
                                      std::uint64_t* hits, std::size_t words) {
    const auto local = moves.kMoves;  // held apart from the hits stored, so kept in registers
    for (std::size_t j = 0; j < words; ++j) {
        const std::uint8_t* const here = segment + 8 * j;
        std::uint64_t found = Onto ? hits[j] : 0;
#pragma GCC unroll 64
        for (const WordMove& move : local) found |= move.of(wordAt(here - move.back));
        hits[j] = found & candidates[j];
    }
}

}  // namespace

void filterBySharps(const SharpSet& sharps, const std::uint8_t* segment, const std::uint64_t* candidates,
                    std::uint64_t* hits, std::size_t words, bool wide) {
    if (sharps.filtersAsBuiltIn()) {
        if (wide) return moveOntoWords<false>(BuiltInWide{}, segment, candidates, hits, words);
        return moveOntoWords<false>(BuiltInNarrow{}, segment, candidates, hits, words);
    }
    const std::span<const WordMove> all = sharps.filterMoves(wide);
    if (all.empty()) {
        std::fill_n(hits, words, std::uint64_t{0});
        return;
    }
    for (std::size_t first = 0; first < all.size(); first += kMovesAtOnce) {
        SomeMoves some;  // the last few padded with moves of no bits
        std::copy_n(all.begin() + static_cast<std::ptrdiff_t>(first), std::min(kMovesAtOnce, all.size() - first),
                    some.kMoves.begin());
        if (first == 0) {
            moveOntoWords<false>(some, segment, candidates, hits, words);
        } else {
            moveOntoWords<true>(some, segment, candidates, hits, words);
        }
    }
}

}  // namespace sharp::survey
