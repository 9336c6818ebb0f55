#include "support/masking.hpp"

#include <cctype>
#include <string_view>

namespace sharp::test {

namespace {

bool isTimeMarkAt(const std::string& text, std::size_t at) {
    constexpr std::string_view shape = "dddd-dd-dd dd:dd:dd";
    if (at + shape.size() > text.size()) return false;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const char c = text[at + i];
        if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(c)) : c != shape[i]) return false;
    }
    return true;
}

}  // namespace

std::string maskClocks(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        bool masked = false;
        for (std::string_view label : {"bgn ticks= ", "end ticks= ", "elapsed ticks= "}) {
            if (text.compare(at, label.size(), label) != 0) continue;
            out += label;
            out += '#';
            at += label.size();
            while (at < text.size() && text[at] != '\n' && std::string_view("0123456789.e+-").find(text[at]) !=
                                                             std::string_view::npos) {
                ++at;
            }
            masked = true;
            break;
        }
        if (masked) continue;
        if (isTimeMarkAt(text, at)) {
            out += '@';
            at += 19;
            continue;
        }
        out += text[at++];
    }
    return out;
}

}  // namespace sharp::test
