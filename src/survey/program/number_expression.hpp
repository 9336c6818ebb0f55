// Numbers as the survey's command line takes them: 1000, 1e10, 10^12, 2^32, 2^64-1, 30030*17.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "survey/uint128.hpp"

namespace sharp::survey {

// Terms joined by + or -: each term is factors joined by *, each factor a decimal
// number, optionally followed by e or E and a decimal exponent (a power of ten) or by
// ^ and an exponent; before e or E a fraction that the power of ten makes whole
// (2.5e16, not 2.55e1). The value
// must lie in 0 .. 2^64 - 1; a term may pass it on the way (2^64-1 is written with
// 2^64), up to 2^100, and so may a partial sum, up to 2^101 either side of 0.
// Blanks are not allowed.
// Returns the value, or a message that says what is wrong.
std::variant<std::uint64_t, std::string> parseNumberExpression(std::string_view text);

// The same up to 2^128 - 1 (terms up to 2^140 on the way).
std::variant<Uint128, std::string> parseWideNumberExpression(std::string_view text);

// A number wherever the survey reads one: as parseNumberExpression reads it below
// 2^64 (its answers and messages unchanged), and past it up to 2^128 - 1.
std::variant<Uint128, std::string> parseSurveyNumber(std::string_view text);

// `text` as a message quotes it, in single quotes: at most kQuotedChars characters of
// it (then "..."), each control or non-ASCII byte as \xNN, so that the message stays
// one short, readable line whatever a file or the command line held.
std::string quotedForMessage(std::string_view text);

}  // namespace sharp::survey
