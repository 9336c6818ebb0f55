#include "survey/program/number_expression.hpp"

#include <cctype>
#include <cmath>
#include <optional>

#include "survey/survey_constants.hpp"

namespace sharp::survey {

namespace {

// A value of an expression: exactly modulo 2^128, and roughly (to 64 bits of precision),
// which tells which multiple of 2^128 to add: the exact value, as long as no term is
// past kTermLimit.
struct Value {
    Uint128 low = 0;
    long double rough = 0;
};

// Terms may pass 2^128 - 1 on the way (2^128-1 is written with 2^128), but not this,
// 2^140: the rough sums then stay far from the next multiple of 2^128.
constexpr long double kTermLimit = 0x1p140L;
constexpr long double kTwoTo128 = 0x1p128L;

bool pastTermLimit(const Value& v) { return !(v.rough <= kTermLimit); }

// Reads decimal digits at `at`; nothing when there are none.
std::optional<Value> readDigits(std::string_view text, std::size_t& at) {
    const std::size_t start = at;
    Value value;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
        const int digit = text[at] - '0';
        value.low = value.low * 10 + static_cast<unsigned>(digit);
        value.rough = value.rough * 10 + digit;
    }
    if (at == start) return std::nullopt;
    return value;
}

Value product(const Value& a, const Value& b) { return {a.low * b.low, a.rough * b.rough}; }

// base^exponent; past the term limit as soon as it is.
Value power(const Value& base, const Value& exponent) {
    Value result{1, 1};
    if (base.rough <= 1) return exponent.rough == 0 ? result : base;  // 0^0 = 1, 0^k = 0, 1^k = 1
    for (long double i = 0; i < exponent.rough && !pastTermLimit(result); ++i) result = product(result, base);
    return result;
}

// A factor at `at`: digits, then e or E and a power of ten or ^ and an exponent. Before
// a power of ten the digits may have a fraction that the power makes whole (2.5e16).
std::optional<Value> readFactor(std::string_view text, std::size_t& at) {
    std::optional<Value> factor = readDigits(text, at);
    if (!factor || at == text.size()) return factor;
    long double fractionDigits = 0;  // those that count: 2.50e1 is 2.5e1
    if (text[at] == '.') {
        const std::size_t point = ++at;
        if (!readDigits(text, at)) return std::nullopt;
        std::size_t end = at;
        while (text[end - 1] == '0') --end;
        for (std::size_t i = point; i < end; ++i) {
            *factor = {factor->low * 10 + static_cast<unsigned>(text[i] - '0'), factor->rough * 10 + (text[i] - '0')};
        }
        fractionDigits = static_cast<long double>(end - point);
        if (at == text.size() || (text[at] != 'e' && text[at] != 'E')) return std::nullopt;
    }
    if (text[at] != 'e' && text[at] != 'E' && text[at] != '^') return factor;
    const bool powerOfTen = text[at] != '^';
    ++at;
    std::optional<Value> exponent = readDigits(text, at);
    if (!exponent || exponent->rough < fractionDigits) return std::nullopt;  // not a whole number
    if (!powerOfTen) return power(*factor, *exponent);
    exponent->rough -= fractionDigits;
    return product(*factor, power({10, 10}, *exponent));
}

// A term at `at`: factors joined by *.
std::optional<Value> readTerm(std::string_view text, std::size_t& at) {
    std::optional<Value> term = readFactor(text, at);
    while (term && at < text.size() && text[at] == '*') {
        ++at;
        const std::optional<Value> factor = readFactor(text, at);
        if (!factor) return std::nullopt;
        term = product(*term, *factor);
    }
    return term;
}

// The value of `text` up to 2^128 - 1, or what is wrong with it, `limit` naming the
// largest value in messages.
std::variant<Uint128, std::string> parseValue(std::string_view text, const char* limit) {
    const std::string quoted = quotedForMessage(text);
    const std::string notANumber = quoted + " is not a number (write it as 1000, 1e10, 2.5e16, 10^12, 2^32, 2^64-1 or 30030*17)";
    const std::string past = quoted + " is past " + limit;
    std::size_t at = 0;
    Value total;
    for (bool add = true;;) {
        const std::optional<Value> term = readTerm(text, at);
        if (!term) return notANumber;
        if (pastTermLimit(*term)) return past;
        total.low = add ? total.low + term->low : total.low - term->low;
        total.rough = add ? total.rough + term->rough : total.rough - term->rough;
        if (at == text.size()) break;
        if (text[at] != '+' && text[at] != '-') return notANumber;
        add = text[at] == '+';
        ++at;
    }
    // The exact value is low plus the multiple of 2^128 the rough value is nearest to.
    const long double multiple = std::round((total.rough - static_cast<long double>(total.low)) / kTwoTo128);
    if (multiple < 0) return quoted + " is negative";
    if (multiple > 0) return past;
    return total.low;
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
    const auto value = parseValue(text, "2^64-1");
    if (const auto* message = std::get_if<std::string>(&value)) return *message;
    const Uint128 n = std::get<Uint128>(value);
    if (n >= kTwoTo64) return quotedForMessage(text) + " is past 2^64-1";
    return static_cast<std::uint64_t>(n);
}

std::variant<Uint128, std::string> parseWideNumberExpression(std::string_view text) {
    return parseValue(text, "2^128-1");
}

std::variant<Uint128, std::string> parseSurveyNumber(std::string_view text) {
    auto narrow = parseNumberExpression(text);
    if (const auto* value = std::get_if<std::uint64_t>(&narrow)) return Uint128{*value};
    auto wide = parseWideNumberExpression(text);
    if (const auto* value = std::get_if<Uint128>(&wide); value && *value >= kTwoTo64) return *value;
    // Past 2^128 - 1 the wide reading says so; anything else, the 64-bit reading.
    if (auto* message = std::get_if<std::string>(&wide)) return std::move(*message);
    return std::get<std::string>(std::move(narrow));
}

}  // namespace sharp::survey
