#include "survey/program/number_expression.hpp"

#include <cctype>
#include <optional>

#include "survey/survey_constants.hpp"

namespace sharp::survey {

namespace {

__extension__ typedef __int128 Wide;

constexpr Wide kLimit = static_cast<Wide>(~std::uint64_t{0});  // 2^64 - 1
// Terms may pass the limit on the way (2^64-1 is written with 2^64), but not this.
constexpr Wide kTermLimit = static_cast<Wide>(1) << 100;
// Partial sums stay within this, either side of 0.
constexpr Wide kSumLimit = static_cast<Wide>(1) << 101;

// Reads decimal digits at `at`, saturating above kTermLimit; nothing when there are none.
std::optional<Wide> readDigits(std::string_view text, std::size_t& at) {
    const std::size_t start = at;
    Wide value = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
        value = value * 10 + (text[at] - '0');
        if (value > kTermLimit) value = kTermLimit + 1;
    }
    if (at == start) return std::nullopt;
    return value;
}

// a * b, saturating above kTermLimit (both at most kTermLimit + 1).
Wide product(Wide a, Wide b) {
    if (a != 0 && b > kTermLimit / a) return kTermLimit + 1;
    return a * b;
}

// base^exponent, saturating above kTermLimit.
Wide power(Wide base, Wide exponent) {
    if (exponent == 0) return 1;
    if (base <= 1) return base;
    Wide result = 1;
    for (Wide i = 0; i < exponent && result <= kTermLimit; ++i) result = product(result, base);
    return result;
}

// A factor at `at`: digits, then e or E and a power of ten or ^ and an exponent.
std::optional<Wide> readFactor(std::string_view text, std::size_t& at) {
    std::optional<Wide> factor = readDigits(text, at);
    if (!factor || at == text.size() || (text[at] != 'e' && text[at] != 'E' && text[at] != '^')) return factor;
    const bool powerOfTen = text[at] != '^';
    ++at;
    const std::optional<Wide> exponent = readDigits(text, at);
    if (!exponent) return std::nullopt;
    return powerOfTen ? product(*factor, power(10, *exponent)) : power(*factor, *exponent);
}

// A term at `at`: factors joined by *, saturating above kTermLimit.
std::optional<Wide> readTerm(std::string_view text, std::size_t& at) {
    std::optional<Wide> term = readFactor(text, at);
    while (term && at < text.size() && text[at] == '*') {
        ++at;
        const std::optional<Wide> factor = readFactor(text, at);
        if (!factor) return std::nullopt;
        term = product(*term, *factor);
    }
    return term;
}

}  // namespace

std::string quotedForMessage(std::string_view text) {
    std::string quoted(1, '\'');
    for (std::size_t i = 0; i < text.size() && i < kQuotedChars; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7f) {
            quoted.push_back(static_cast<char>(byte));
        } else {
            quoted += "\\x";
            quoted.push_back("0123456789abcdef"[byte >> 4]);
            quoted.push_back("0123456789abcdef"[byte & 15]);
        }
    }
    if (text.size() > kQuotedChars) quoted += "...";
    quoted.push_back('\'');
    return quoted;
}

std::variant<std::uint64_t, std::string> parseNumberExpression(std::string_view text) {
    const std::string quoted = quotedForMessage(text);
    const std::string notANumber = quoted + " is not a number (write it as 1000, 1e10, 10^12, 2^32, 2^64-1 or 30030*17)";
    std::size_t at = 0;
    Wide total = 0;
    int sign = 1;
    for (;;) {
        const std::optional<Wide> term = readTerm(text, at);
        if (!term) return notANumber;
        if (*term > kTermLimit) return quoted + " is past 2^64-1";
        total += sign * *term;
        // Bounded so that no count of terms can overflow the sum.
        if (total > kSumLimit) return quoted + " is past 2^64-1";
        if (total < -kSumLimit) return quoted + " is negative";
        if (at == text.size()) break;
        if (text[at] != '+' && text[at] != '-') return notANumber;
        sign = text[at] == '+' ? 1 : -1;
        ++at;
    }
    if (total < 0) return quoted + " is negative";
    if (total > kLimit) return quoted + " is past 2^64-1";
    return static_cast<std::uint64_t>(total);
}

}  // namespace sharp::survey
