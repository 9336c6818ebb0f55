// The process's standard streams as it found them. A stream that came closed is held
// by /dev/null, so that no file the survey opens takes its number and is written as
// if it were that stream; the survey refuses to send anything there instead.
#pragma once

#include <string>

namespace sharp::survey {

// Call first thing in main: holds each closed standard stream with /dev/null, and
// ignores SIGXFSZ, so that a write past a file-size limit fails like a full disk
// (one line, status 1, every file whole or untouched) instead of killing the survey.
void reserveStandardStreams();

// Whether standard stream `fd` (0, 1 or 2) was closed when the process started.
bool standardStreamClosed(int fd);

// Whether `path` names what standard output writes to, by device and inode: "-",
// /dev/stdout, or the very file standard output is redirected to.
bool namesStandardOutput(const std::string& path);

}  // namespace sharp::survey
