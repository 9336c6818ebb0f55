// The survey's numbers past 2^64: unsigned 128-bit integers, as GCC and Clang give them.
#pragma once

#include <cstdint>
#include <string>

namespace sharp::survey {

__extension__ typedef unsigned __int128 Uint128;

// 2^64, the first number past the survey's 64-bit path.
inline constexpr Uint128 kTwoTo64 = Uint128{1} << 64;

// The decimal digits of n.
inline std::string decimal(Uint128 n) {
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(n % 10)));
        n /= 10;
    } while (n != 0);
    return digits;
}

}  // namespace sharp::survey
