#include "survey/ledger/windows.hpp"

#include <array>

namespace sharp::survey {

namespace {

// Where a decade's windows start, in tenths of its power of ten: 10^(j/5) rounded.
constexpr std::array<std::uint64_t, 5> kWindowStarts = {10, 16, 25, 40, 63};

constexpr Uint128 kLargest = ~Uint128{0};

// Every m * 10^(k-1) below 2^128, ascending.
std::vector<Uint128> allWindowStarts() {
    std::vector<Uint128> starts;
    for (Uint128 tenth = 1;; tenth *= 10) {
        for (const std::uint64_t m : kWindowStarts) {
            if (tenth > kLargest / m) return starts;
            starts.push_back(m * tenth);
        }
        if (tenth > kLargest / 10) return starts;
    }
}

}  // namespace

std::vector<Window> heightWindows(Uint128 from, Uint128 to, std::uint64_t width, std::uint64_t wideWidth) {
    std::vector<Window> windows;
    const auto widthAt = [&](Uint128 start) -> Uint128 { return start >= kTwoTo64 ? wideWidth : width; };
    if (width == 0 || wideWidth == 0 || to < from) return windows;
    for (const Uint128 start : allWindowStarts()) {
        // A start inside the window before is passed over: no number is counted twice.
        if (!windows.empty() && start <= windows.back().to) continue;
        const Uint128 span = widthAt(start) - 1;
        if (start >= from && to >= span && start <= to - span) windows.push_back({start, start + span});
    }
    const Uint128 span = (to >= kTwoTo64 ? wideWidth : width) - 1;
    if (to - from < span) return windows;
    const Window last{to - span, to};
    if (windows.empty() || last.from > windows.back().to) windows.push_back(last);
    return windows;
}

}  // namespace sharp::survey
