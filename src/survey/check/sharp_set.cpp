#include "survey/check/sharp_set.hpp"

#include <algorithm>
#include <utility>

namespace sharp::survey {

namespace {

void append(std::vector<WordMove>& to, const SharpMoves& moves) {
    to.insert(to.end(), moves.move.begin(), moves.move.begin() + static_cast<std::ptrdiff_t>(moves.count));
}

}  // namespace

const SharpSet& SharpSet::builtIn() {
    static const SharpSet table(std::vector<std::uint64_t>(kSharpsAscending.begin(), kSharpsAscending.end()));
    return table;
}

SharpSet::SharpSet(std::vector<std::uint64_t> ascending, std::vector<Uint128> beyond)
    : ascending_(std::move(ascending)),
      beyond_(std::move(beyond)),
      builtIn_(beyond_.empty() && std::ranges::equal(ascending_, kSharpsAscending)),
      filterSharps_(filterSharpsOf(ascending_)) {
    for (std::size_t k = 0; k < filterSharps_; ++k) append(filterMoves_, movesOf(ascending_[k]));
    narrowMoves_ = filterMoves_.size();
    wideSharps_ = wideSharpsOf(ascending_, filterSharps_, narrowMoves_);
    const std::size_t filtered = filterSharps_ + wideSharps_;
    filtersAsBuiltIn_ = builtIn_ || (filterSharps_ == builtIn().filterSharps() && wideSharps_ == builtIn().wideSharps() &&
                                     std::equal(ascending_.begin(), ascending_.begin() + static_cast<std::ptrdiff_t>(filtered),
                                                kSharpsAscending.begin()));
    const std::size_t wordSharps =
        sharpsTaken(ascending_, filterSharps_, ~std::size_t{0}, kLargestWordSharp, kLongestWordWindowBytes);
    wordMoveStart_.push_back(0);
    for (std::size_t k = filterSharps_; k < filterSharps_ + wordSharps; ++k) {
        const SharpMoves moves = movesOf(ascending_[k]);
        if (k < filtered) append(filterMoves_, moves);
        append(wordMoves_, moves);
        wordMoveStart_.push_back(wordMoves_.size());
        // Kept ascending for wordSharpsWithin: moves of close numbers may differ by a byte.
        wordReach_.push_back(std::max(moves.reach(), wordReach_.empty() ? 0 : wordReach_.back()));
    }
}

std::vector<Uint128> SharpSet::all() const {
    std::vector<Uint128> every(ascending_.begin(), ascending_.end());
    every.insert(every.end(), beyond_.begin(), beyond_.end());
    return every;
}

std::size_t SharpSet::wordSharpsWithin(std::size_t window) const {
    return static_cast<std::size_t>(std::upper_bound(wordReach_.begin(), wordReach_.end(), window) - wordReach_.begin());
}

}  // namespace sharp::survey
