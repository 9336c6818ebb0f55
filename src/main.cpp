// sharp-primes: tests the sharp-number conjecture on every candidate up to an end candidate.
#include <csignal>
#include <cstdio>
#include <exception>

#include <unistd.h>

#include "run/run_sequence.hpp"

int main() {
    // A console that goes away (a closed pipe) must not end the run: its writes
    // fail and are dropped like any other write error, and the files are completed.
    std::signal(SIGPIPE, SIG_IGN);
    // Whatever escapes (no memory at start) still ends with one line and status 1.
    try {
        auto context = sharp::buildRunContext(STDOUT_FILENO);
        sharp::InputReader input(STDIN_FILENO, &context->console);
        return sharp::runSharpPrimes(*context, input);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "sharp-primes: %s\n", failure.what());
    } catch (...) {
        std::fputs("sharp-primes: an unknown failure\n", stderr);
    }
    return sharp::kExitFailed;
}
