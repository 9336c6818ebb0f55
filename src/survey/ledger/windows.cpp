#include "survey/ledger/windows.hpp"

#include <array>
#include <limits>

namespace sharp::survey {

namespace {

// Where a decade's windows start, in tenths of its power of ten: 10^(j/5) rounded.
constexpr std::array<std::uint64_t, 5> kWindowStarts = {10, 16, 25, 40, 63};

constexpr std::uint64_t kLargest = std::numeric_limits<std::uint64_t>::max();

// Every m * 10^(k-1) below 2^64, ascending.
std::vector<std::uint64_t> allWindowStarts() {
    std::vector<std::uint64_t> starts;
    for (std::uint64_t tenth = 1;; tenth *= 10) {
        for (const std::uint64_t m : kWindowStarts) {
            if (tenth > kLargest / m) return starts;
            starts.push_back(m * tenth);
        }
        if (tenth > kLargest / 10) return starts;
    }
}

}  // namespace

std::vector<Window> heightWindows(std::uint64_t from, std::uint64_t to, std::uint64_t width) {
    std::vector<Window> windows;
    if (width == 0 || to < from || to - from < width - 1) return windows;
    for (const std::uint64_t start : allWindowStarts()) {
        // A start inside the window before is passed over: no number is counted twice.
        if (!windows.empty() && start <= windows.back().to) continue;
        if (start >= from && start <= to - (width - 1)) windows.push_back({start, start + (width - 1)});
    }
    const Window last{to - (width - 1), to};
    if (windows.empty() || last.from > windows.back().to) windows.push_back(last);
    return windows;
}

}  // namespace sharp::survey
