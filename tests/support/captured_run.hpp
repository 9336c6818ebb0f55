// A run context whose six channels write to files in a temporary folder, so a
// test can drive single operations and read back exactly what each channel got.
#pragma once

#include <memory>
#include <string>

#include "run/run_context.hpp"
#include "support/temp_dir.hpp"

namespace sharp::test {

class CapturedRun {
public:
    // Channels open, prime list seeded, candidate 23, the given end candidate.
    explicit CapturedRun(std::uint32_t endCandidate = 0);

    RunContext& context() { return *context_; }

    // What a channel has received so far (the pending text of an unfinished line included).
    std::string console() { return read(context_->console, "console"); }
    std::string primality() { return read(context_->primalityFile, "primality"); }
    std::string mylist() { return read(context_->mylistFile, "mylist"); }
    std::string jun20() { return read(context_->jun20File, "jun20"); }
    std::string stp() { return read(context_->stpFile, "stp"); }
    std::string sfp() { return read(context_->sfpFile, "sfp"); }

    // Runs the candidate loop to the end candidate given at construction.
    void runLoop();

private:
    std::string read(Channel& channel, const char* name);

    TempDir dir_;
    std::unique_ptr<RunContext> context_;
};

}  // namespace sharp::test
