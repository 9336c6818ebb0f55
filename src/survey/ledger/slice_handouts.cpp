#include "survey/ledger/slice_handouts.hpp"

namespace sharp::survey {

bool SliceHandouts::takeBack(std::uint64_t slice, int holder) {
    const auto out = holders_.find(slice);
    if (out == holders_.end() || out->second != holder) return false;
    holders_.erase(out);
    return true;
}

bool SliceHandouts::holds(std::uint64_t slice, int holder) const {
    const auto out = holders_.find(slice);
    return out != holders_.end() && out->second == holder;
}

}  // namespace sharp::survey
