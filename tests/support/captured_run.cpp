#include "support/captured_run.hpp"

#include "candidates/prime_list.hpp"
#include "run/run_sequence.hpp"

namespace sharp::test {

CapturedRun::CapturedRun(std::uint32_t endCandidate) : context_(buildRunContext(-1)) {
    RunContext& context = *context_;
    for (auto [channel, name] : {std::pair{&context.console, "console"}, {&context.primalityFile, "primality"},
                                 {&context.mylistFile, "mylist"}, {&context.jun20File, "jun20"},
                                 {&context.stpFile, "stp"}, {&context.sfpFile, "sfp"}}) {
        channel->open((dir_.path() / name).c_str());
    }
    context.endCandidate = endCandidate;
    context.candidate = kFirstCandidate;
    seedPrimeList(context);
}

void CapturedRun::runLoop() { runCandidateLoop(*context_); }

std::string CapturedRun::read(Channel& channel, const char* name) {
    channel.flush();
    return readFile(dir_.path() / name);
}

}  // namespace sharp::test
