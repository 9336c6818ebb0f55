// sharp-primes: tests the sharp-number conjecture on every candidate up to an end candidate.
#include <unistd.h>

#include "run/run_sequence.hpp"

int main() {
    auto context = sharp::buildRunContext(STDOUT_FILENO);
    sharp::InputReader input(STDIN_FILENO, &context->console);
    return sharp::runSharpPrimes(*context, input);
}
