// What a signal that ends the survey (Ctrl-C, kill, a closed terminal) leaves behind:
// no scratch file of this run, and one line on standard error saying what is kept.
#pragma once

#include <string>
#include <string_view>

namespace sharp::survey {

// From the first call on, SIGINT, SIGTERM and SIGHUP (unless ignored, as under nohup)
// remove the noted scratch files, write the note, and end the run as the signal would.
void catchEndingSignals();

// Keeps `path` to be removed if a signal ends the run; false when the table is full.
bool noteScratch(const std::string& path);
void forgetScratch(const std::string& path);

// The line (without "sharp-survey: " and newline) a signal that ends the run writes.
void setEndingNote(std::string_view line);

// The note of a survey whose finished `parts` ("slices", "windows") are kept in the
// state file `statePath` (empty: none), or of one that surveys nothing (`parts` null).
std::string interruptedNote(const std::string& statePath, const char* parts);

}  // namespace sharp::survey
