// A plain survey whose range reaches past 2^64: the whole range by Baillie-PSW on what
// a sieve by small primes leaves, its tossed candidates streamed to --tossed as found.
#pragma once

#include <string>

#include "survey/program/cli.hpp"

namespace sharp::survey {

// The line under a table whose range reaches past 2^64: what "prime" means there.
inline constexpr const char* kProbablePrimeNote =
    "past 2^64, prime means a Baillie-PSW probable prime (no composite that passes is known)\n";

// Surveys [request.wideFrom, request.wideTo] on every thread and prints the table's
// one row (at TO), the time, the first tossed candidates and the note above. Only
// --tossed, --threads, --sharps and --quiet apply past 2^64; --csv, --state and
// --expected are refused before any work. Returns the exit status.
int runWideSurveyProgram(const SurveyRequest& request);

}  // namespace sharp::survey
