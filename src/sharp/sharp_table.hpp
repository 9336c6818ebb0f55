// The 79 sharp numbers: the one table both programs test candidates against.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace sharp {

// How many sharp numbers there are.
inline constexpr std::size_t kSharpCount = 79;

// The sharp numbers, largest first.
inline constexpr std::array<std::uint32_t, kSharpCount> kSharpNumbers = {
    3216213000u, 2677114440u, 2358556200u, 2270268000u, 2081079000u,
    2036934900u, 1745944200u, 1338557220u, 1286485200u, 1179278100u,
    1135134000u, 832431600u,  643242600u,  581981400u,  446185740u,
    416215800u,  378378000u,  290990700u,  223092870u,  214414200u,
    189189000u,  183783600u,  174636000u,  138738600u,  116396280u,
    107207100u,  91891800u,   87318000u,   75675600u,   69369300u,
    58198140u,   37837800u,   30630600u,   29106000u,   19399380u,
    15315300u,   14553000u,   12612600u,   10810800u,   9699690u,
    6306300u,    6126120u,    5821200u,    5405400u,    3063060u,
    2910600u,    1801800u,    1021020u,    970200u,     900900u,
    831600u,     510510u,     485100u,     415800u,     360360u,
    180180u,     138600u,     75600u,      69300u,      60060u,
    37800u,      30030u,      27720u,      13860u,      12600u,
    6300u,       4620u,       2520u,       2310u,       1260u,
    420u,        360u,        210u,        180u,        60u,
    30u,         12u,         6u,          2u,
};

// The sharp numbers in ascending order, for walks that stop at the first one too far.
inline constexpr std::array<std::uint64_t, kSharpCount> kSharpsAscending = [] {
    std::array<std::uint64_t, kSharpCount> ascending{};
    for (std::size_t k = 0; k < kSharpCount; ++k) ascending[k] = kSharpNumbers[kSharpCount - 1 - k];
    return ascending;
}();

}  // namespace sharp
