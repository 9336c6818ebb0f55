// The survey's command line.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "survey/check/sharp_set.hpp"
#include "survey/survey_constants.hpp"
#include "survey/uint128.hpp"

namespace sharp::survey {

struct SurveyRequest {
    std::uint64_t from = 0;
    std::uint64_t to = 0;
    // The same up to 2^128 - 1: a heights survey reaches past 2^64, where from and to stop.
    Uint128 wideFrom = 0, wideTo = 0;
    unsigned threads = 1;
    unsigned cpus = 0;  // the CPUs this process may run on (0: not known)
    std::string csvPath;     // empty: no CSV file
    std::string tossedPath;  // empty: no tossed-candidate file
    std::string statePath;   // empty: not resumable
    std::string expectedPath;  // empty: no file of the model's expected tossed counts
    std::string heightsPath;   // not empty: survey the windows of the range, one row each to this file
    std::uint64_t windowWidth = std::uint64_t{1} << 30;  // the numbers of a heights window
    std::uint64_t wideWindowWidth = kWideWindowNumbers;  // ... of one past 2^64, unless --window says
    bool modelOnly = false;    // the model's expectation alone, no survey
    std::optional<Uint128> explain;  // --explain N: this number's test step by step, no survey
    bool quiet = false;
    std::string sharpsPath;    // not empty: the sharp numbers come from this file
    std::shared_ptr<const SharpSet> sharps;  // its table; none: the 79

    const SharpSet& sharpSet() const { return sharps ? *sharps : SharpSet::builtIn(); }
};

// Reads `sharp-survey [--from A] [--threads N] [--csv FILE] [--tossed FILE] [--state FILE]
// [--expected FILE] [--heights FILE [--window N]] [--sharps FILE] [--model-only] [--quiet] TO`
// or `sharp-survey [--sharps FILE] --explain N`.
// Returns the request, or the exit status after the help text (0) or a one-line
// message on standard error (kExitBadInput).
std::variant<SurveyRequest, int> parseSurveyArguments(int argc, const char* const* argv);

}  // namespace sharp::survey
