// A sharp table of the user's: one number per line, written as on the command line;
// `#` starts a comment, and blank lines are skipped.
#pragma once

#include <memory>
#include <string>
#include <variant>

#include "survey/check/sharp_set.hpp"

namespace sharp::survey {

// Reads the table in `path`: even numbers from 2 to 2^128 - 2, in any order, none twice,
// at most kMostSharps of them. Returns the table, or a one-line refusal that names the
// file and the line.
std::variant<std::shared_ptr<const SharpSet>, std::string> readSharpsFile(const std::string& path);

// The digest that state files and ranks compare tables by; empty for the 79, whose
// state files name no table.
std::string sharpsDigest(const SharpSet& sharps);

}  // namespace sharp::survey
