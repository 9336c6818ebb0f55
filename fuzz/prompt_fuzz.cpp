// libFuzzer harness for the prompt: any bytes on standard input must end in an
// accepted end candidate or in the end of input, never in a crash, a hang or an
// entry that breaks the acceptance rule.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "run/constants.hpp"
#include "run/prompt.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sharp::Channel console;  // unopened: the prompt lines are dropped
    sharp::InputReader input(std::string_view(reinterpret_cast<const char*>(data), size));
    const auto endCandidate = sharp::readEndCandidate(console, input);
    if (endCandidate) {
        if (*endCandidate > sharp::kMaxEndCandidate || *endCandidate % 3 == 0 || *endCandidate % 5 == 0) std::abort();
    } else if (input.peek() != -1) {
        std::abort();  // gave up although input was left
    }
    sharp::waitForKey(input);
    return 0;
}
