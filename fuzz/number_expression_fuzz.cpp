// libFuzzer harness for the survey's numbers: any text must be read as a value or
// refused with a message, never crash or overflow; plain decimals read as decimals.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <variant>

#include "survey/program/number_expression.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto value = sharp::survey::parseNumberExpression(text);
    const bool plainDecimal = !text.empty() && text.size() <= 19 && text.find_first_not_of("0123456789") == std::string::npos;
    if (plainDecimal) {
        const auto* number = std::get_if<std::uint64_t>(&value);
        if (number == nullptr || *number != std::strtoull(text.c_str(), nullptr, 10)) std::abort();
    }
    if (const auto* message = std::get_if<std::string>(&value); message && message->empty()) std::abort();
    return 0;
}
