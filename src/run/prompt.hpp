// Standard input: the end candidate at the prompt, and the closing keystroke.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "run/channel.hpp"
#include "run/constants.hpp"

namespace sharp {

// Bytes from standard input (or from memory, for tests), one at a time. When no
// input is buffered, the tied console sends its pending text before the read.
class InputReader {
public:
    InputReader(int fd, Channel* tiedConsole);
    explicit InputReader(std::string_view bytes);

    // The next byte without taking it, or -1 at the end of input.
    int peek();
    // Takes the next byte, or returns -1 at the end of input.
    int get();

private:
    bool refill();

    int fd_ = -1;
    Channel* tied_ = nullptr;
    const char* next_ = nullptr;
    const char* end_ = nullptr;
    bool ended_ = false;
    char buffer_[kInputBufferSize];
};

// Prompts until an end candidate is accepted: at most kMaxEndCandidate, a multiple
// of neither 3 nor 5. Anything else gets the rejection line and the prompt again.
// Returns nothing when the input ends before a number is accepted.
std::optional<std::uint32_t> readEndCandidate(Channel& console, InputReader& input);

// The closing keystroke: reads one byte, or nothing when the input has ended.
void waitForKey(InputReader& input);

}  // namespace sharp
