// The survey program from a parsed request to its exit status.
#pragma once

#include "survey/cli.hpp"

namespace sharp::survey {

// Opens the output files (bad ones end the program before any work), runs the
// survey with a status line, prints the table, the time and the first tossed
// candidates, and completes the files. Returns the exit status.
int runSurveyProgram(const SurveyRequest& request);

}  // namespace sharp::survey
