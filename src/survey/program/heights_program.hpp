// The heights survey: the windows heightWindows places in a range, each surveyed whole
// exactly as `sharp-survey --from A TO` would, beside the model's expectation for it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "survey/ledger/slice_exchange.hpp"
#include "survey/ledger/windows.hpp"
#include "survey/program/cli.hpp"
#include "survey/program/survey_program.hpp"

namespace sharp::survey {

// The windows of the request's range.
std::vector<Window> windowsOf(const SurveyRequest& request);

// A digest of the heights survey this build computes for `request`: its windows,
// the sharp table and the build. Ranks that share windows must agree on it.
std::string heightsIdentity(const SurveyRequest& request);

// Surveys each window `exchange` hands out (a piece whose id is the window's index)
// on the request's threads and sends it its parts and record.
void surveyHandedWindows(const std::vector<Window>& windows, const SurveyRequest& request, SliceExchange& exchange,
                         const std::function<void(const SegmentReport&)>& progress = {});

// Surveys the windows not yet in the state file on every thread (and, with
// `sharing`, on the other ranks too), records each as it ends, writes the heights
// CSV and the tossed list, and prints the table per decade last. Returns the exit status.
int runHeightsProgram(const SurveyRequest& request, const SliceSharing& sharing = {});

}  // namespace sharp::survey
