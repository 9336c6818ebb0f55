// The windows of a heights survey: where far ranges are sampled, placed by a rule
// fixed in advance that looks at nothing but the range, so anyone can place them again.
#pragma once

#include <cstdint>
#include <vector>

#include "survey/uint128.hpp"

namespace sharp::survey {

struct Window {
    Uint128 from, to;  // inclusive
    bool operator==(const Window&) const = default;
};

// Windows starting at m * 10^(k-1) for m = 10, 16, 25, 40 and 63 (five a decade, about
// evenly on a logarithmic scale) in every decade, those that lie within [from, to] and
// start past the window before (a window wider than the gap to the next start passes
// that start over: windows never overlap); then the window that ends at `to`, unless
// it would overlap the last one. Ascending. A window is `width` numbers, or `wideWidth`
// where it starts at 2^64 or above (the one ending at `to` when `to` is).
std::vector<Window> heightWindows(Uint128 from, Uint128 to, std::uint64_t width, std::uint64_t wideWidth);
inline std::vector<Window> heightWindows(Uint128 from, Uint128 to, std::uint64_t width) {
    return heightWindows(from, to, width, width);
}

}  // namespace sharp::survey
