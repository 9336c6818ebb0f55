// --explain N: one number under the microscope, each step of the test that the survey
// takes on it, with the survey's verdict.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "survey/check/class_counts.hpp"
#include "survey/check/sharp_set.hpp"
#include "survey/uint128.hpp"

namespace sharp::survey {

// What one sharp number s says of n: the offset |n - s| and what it is.
struct OffsetLook {
    enum class Kind { one, prime, composite, notBelow };  // notBelow: the offset is n or more, not counted
    Uint128 sharp = 0, offset = 0;
    Kind kind = Kind::notBelow;
    std::optional<Uint128> factor;  // a composite offset's smallest prime factor, if asked and found
};

struct Explanation {
    Uint128 n = 0;
    bool candidate = false;
    bool prime = false;
    std::optional<Uint128> factor;   // composite n: its smallest prime factor, if found
    std::vector<OffsetLook> offsets;  // every sharp number, in the order the survey tries them
    std::optional<std::size_t> firstHit;  // the first offset that is 1 or a prime below n
    CandidateClass verdict = CandidateClass::tossedComposite;  // a candidate's class
};

// The test on n against `sharps`, every offset looked at (the survey stops at the first
// hit); `factors`: with the smallest prime factors of n and of composite offsets.
Explanation explainNumber(Uint128 n, const SharpSet& sharps, bool factors = true);

// The explanation as --explain prints it.
std::string formatExplanation(const Explanation& explanation);

// --explain: prints the explanation of n; the exit status.
int runExplainProgram(Uint128 n, const SharpSet& sharps);

}  // namespace sharp::survey
