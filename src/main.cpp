// sharp-primes: tests the sharp-number conjecture on every candidate up to an end candidate.
#include <csignal>

#include <unistd.h>

#include "run/run_sequence.hpp"

int main() {
    // A console that goes away (a closed pipe) must not end the run: its writes
    // fail and are dropped like any other write error, and the files are completed.
    std::signal(SIGPIPE, SIG_IGN);
    auto context = sharp::buildRunContext(STDOUT_FILENO);
    sharp::InputReader input(STDIN_FILENO, &context->console);
    return sharp::runSharpPrimes(*context, input);
}
