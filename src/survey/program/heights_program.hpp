// The heights survey: the windows heightWindows places in a range, each surveyed whole
// exactly as `sharp-survey --from A TO` would, beside the model's expectation for it.
#pragma once

#include "survey/program/cli.hpp"

namespace sharp::survey {

// Surveys the windows not yet in the state file, one after the other on every
// thread, records each as it ends, writes the heights CSV and the tossed list, and
// prints the table per decade last. Returns the exit status.
int runHeightsProgram(const SurveyRequest& request);

}  // namespace sharp::survey
