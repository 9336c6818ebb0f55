// Arithmetic modulo an odd n in Montgomery form, of 64 and of 128 bits: what the
// primality tests and the factor search multiply with.
#pragma once

#include <cstdint>

#include "survey/uint128.hpp"

namespace sharp::survey {

// Arithmetic modulo an odd n in Montgomery form (x stands for x * 2^64 mod n): a
// product needs two multiplications instead of a 128-bit division.
class Montgomery {
public:
    explicit Montgomery(std::uint64_t n) : n_(n), inverse_(inverseOf(n)) {
        one_ = (0 - n) % n;  // 2^64 mod n
        rSquared_ = static_cast<std::uint64_t>(static_cast<Uint128>(one_) * one_ % n);
    }
    std::uint64_t toForm(std::uint64_t x) const { return multiply(x % n_, rSquared_); }
    // The form of a small signed number.
    std::uint64_t toForm(std::int64_t x) const {
        const std::uint64_t magnitude = toForm(static_cast<std::uint64_t>(x < 0 ? -x : x));
        return x < 0 && magnitude != 0 ? n_ - magnitude : magnitude;
    }
    std::uint64_t one() const { return one_; }
    std::uint64_t minusOne() const { return n_ - one_; }

    // x * y / 2^64 mod n, for x, y below n.
    std::uint64_t multiply(std::uint64_t x, std::uint64_t y) const {
        const Uint128 product = static_cast<Uint128>(x) * y;
        const std::uint64_t low = static_cast<std::uint64_t>(product);
        const std::uint64_t high = static_cast<std::uint64_t>(product >> 64);
        const std::uint64_t m = low * inverse_;  // product - m n is a multiple of 2^64
        const std::uint64_t mn = static_cast<std::uint64_t>((static_cast<Uint128>(m) * n_) >> 64);
        return high >= mn ? high - mn : high - mn + n_;
    }

    std::uint64_t add(std::uint64_t x, std::uint64_t y) const {
        const std::uint64_t sum = x + y;  // may wrap: then it is sum - 2^64, and n - ... below restores it
        return sum < x || sum >= n_ ? sum - n_ : sum;
    }
    std::uint64_t subtract(std::uint64_t x, std::uint64_t y) const { return x >= y ? x - y : x - y + n_; }
    // x / 2 mod n: (x + n) / 2 for odd x, without passing 2^64.
    std::uint64_t half(std::uint64_t x) const { return x % 2 == 0 ? x / 2 : (x >> 1) + (n_ >> 1) + 1; }

    std::uint64_t power(std::uint64_t base, std::uint64_t exponent) const {
        std::uint64_t result = one_;
        for (; exponent != 0; exponent >>= 1) {
            if (exponent & 1) result = multiply(result, base);
            base = multiply(base, base);
        }
        return result;
    }

private:
    // n^-1 mod 2^64 by Newton's iteration: each step doubles the correct low bits.
    static std::uint64_t inverseOf(std::uint64_t n) {
        std::uint64_t inverse = n;
        for (int step = 0; step < 5; ++step) inverse *= 2 - n * inverse;
        return inverse;
    }

    std::uint64_t n_, inverse_, one_ = 0, rSquared_ = 0;
};

// n^-1 mod 2^128 by Newton's iteration: each step doubles the correct low bits.
inline Uint128 inverseOf128(Uint128 n) {
    Uint128 inverse = n;
    for (int step = 0; step < 7; ++step) inverse *= 2 - n * inverse;
    return inverse;
}

// Arithmetic modulo an odd n below 2^128 in Montgomery form (x stands for x * 2^128
// mod n), the 64-bit class's twin: a product is four 64-bit products and a reduction.
class Montgomery128 {
public:
    explicit Montgomery128(Uint128 n) : n_(n), inverse_(inverseOf128(n)) {
        one_ = (0 - n) % n;  // 2^128 mod n, the form of 1
        // The form of 2^128 (2^256 mod n): the form of 2^8 by doubling, then squared four times.
        rSquared_ = one_;
        for (int i = 0; i < 8; ++i) rSquared_ = add(rSquared_, rSquared_);
        for (int i = 0; i < 4; ++i) rSquared_ = multiply(rSquared_, rSquared_);
    }
    Uint128 toForm(Uint128 x) const { return multiply(x % n_, rSquared_); }
    Uint128 toForm(std::int64_t x) const {
        const Uint128 magnitude = toForm(static_cast<Uint128>(x < 0 ? -static_cast<Uint128>(x) : static_cast<Uint128>(x)));
        return x < 0 && magnitude != 0 ? n_ - magnitude : magnitude;
    }
    Uint128 one() const { return one_; }
    Uint128 minusOne() const { return n_ - one_; }

    // x * y / 2^128 mod n, for x, y below n.
    Uint128 multiply(Uint128 x, Uint128 y) const {
        Uint128 high, low;
        fullProduct(x, y, high, low);
        const Uint128 m = low * inverse_;  // product - m n is a multiple of 2^128
        Uint128 mnHigh, mnLow;
        fullProduct(m, n_, mnHigh, mnLow);
        // (product - m n) / 2^128 = high - mnHigh, the low halves being equal.
        return high >= mnHigh ? high - mnHigh : high - mnHigh + n_;
    }
    Uint128 add(Uint128 x, Uint128 y) const {
        const Uint128 sum = x + y;  // may wrap: then it is sum - 2^128, and - n restores it
        return sum < x || sum >= n_ ? sum - n_ : sum;
    }
    Uint128 subtract(Uint128 x, Uint128 y) const { return x >= y ? x - y : x - y + n_; }
    Uint128 half(Uint128 x) const { return x % 2 == 0 ? x / 2 : (x >> 1) + (n_ >> 1) + 1; }
    Uint128 power(Uint128 base, Uint128 exponent) const {
        Uint128 result = one_;
        for (; exponent != 0; exponent >>= 1) {
            if (exponent & 1) result = multiply(result, base);
            base = multiply(base, base);
        }
        return result;
    }

private:
    // x * y as 256 bits, high and low halves.
    static void fullProduct(Uint128 x, Uint128 y, Uint128& high, Uint128& low) {
        const std::uint64_t x0 = static_cast<std::uint64_t>(x), x1 = static_cast<std::uint64_t>(x >> 64);
        const std::uint64_t y0 = static_cast<std::uint64_t>(y), y1 = static_cast<std::uint64_t>(y >> 64);
        const Uint128 p00 = static_cast<Uint128>(x0) * y0, p01 = static_cast<Uint128>(x0) * y1;
        const Uint128 p10 = static_cast<Uint128>(x1) * y0, p11 = static_cast<Uint128>(x1) * y1;
        const Uint128 middle = (p00 >> 64) + static_cast<std::uint64_t>(p01) + static_cast<std::uint64_t>(p10);
        low = (middle << 64) | static_cast<std::uint64_t>(p00);
        high = p11 + (p01 >> 64) + (p10 >> 64) + (middle >> 64);
    }

    Uint128 n_, inverse_, one_ = 0, rSquared_ = 0;
};

}  // namespace sharp::survey
