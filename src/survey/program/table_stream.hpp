// Where the survey's table goes and how its failures end the program: the same for a
// plain survey and a heights survey.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

namespace sharp::survey {

// Prints `message` as the program's one line on standard error and returns `status`.
int failWith(const std::string& message, int status);

// The table's stream: standard error when a file took standard output, else standard output.
std::FILE* tableStream(bool fileOnStandardOutput);

// Why the table would be lost (its stream came closed), or nothing: refused before
// any work, never dropped in silence.
std::optional<std::string> tableRefusal(std::FILE* table);

// 0 when `table` took everything written to it; else its one line and status 1.
int flushed(std::FILE* table);

}  // namespace sharp::survey
