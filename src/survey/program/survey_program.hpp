// The survey program from a parsed request to its exit status.
#pragma once

#include <functional>
#include <string>

#include "survey/program/cli.hpp"
#include "survey/ledger/slice_exchange.hpp"

namespace sharp::survey {

// How the process that writes the outputs shares its slices with other processes
// (the ranks of a cluster); unset for a lone process.
struct SliceSharing {
    // Called once the slices are known, before this process starts on them: begins
    // serving `ledger` to the others. The ledger takes calls from any thread.
    std::function<void(SliceExchange& ledger)> serve;
    // Called when this process has no slice left: returns once the others are done.
    std::function<void()> awaitOthers;
    // Called however the survey ends, after awaitOthers or instead of it: stops
    // serving, so nothing uses the ledger once it is gone.
    std::function<void()> stop;
};

// Stops the other ranks' service however the survey ends, before the ledger it uses goes.
class ServiceStop {
public:
    explicit ServiceStop(const SliceSharing& sharing) : sharing_(sharing) {}
    ~ServiceStop() {
        if (sharing_.stop) sharing_.stop();
    }
    ServiceStop(const ServiceStop&) = delete;
    ServiceStop& operator=(const ServiceStop&) = delete;

private:
    const SliceSharing& sharing_;
};

// A digest of the survey this build computes for `request`: range, slices, bucket
// ends, the sharp table and the build itself. Processes that share slices must agree on it.
std::string surveyIdentity(const SurveyRequest& request);

// Takes the state file's lock, opens the output files (bad ones end the program
// before any work), runs the survey with a status line, completes the files, and
// prints the table, the time and the first tossed candidates last. Returns the exit status.
int runSurveyProgram(const SurveyRequest& request, const SliceSharing& sharing = {});

}  // namespace sharp::survey
