#include "survey/program/table_stream.hpp"

#include <cerrno>
#include <cstring>

#include <unistd.h>

#include "survey/program/standard_streams.hpp"
#include "survey/survey_constants.hpp"

namespace sharp::survey {

namespace {

const char* nameOf(std::FILE* table) { return table == stdout ? "standard output" : "standard error"; }

}  // namespace

int failWith(const std::string& message, int status) {
    std::fprintf(stderr, "sharp-survey: %s\n", message.c_str());
    return status;
}

std::FILE* tableStream(bool fileOnStandardOutput) { return fileOnStandardOutput ? stderr : stdout; }

std::optional<std::string> tableRefusal(std::FILE* table) {
    if (!standardStreamClosed(table == stdout ? STDOUT_FILENO : STDERR_FILENO)) return std::nullopt;
    return std::string("the table has nowhere to go: ") + nameOf(table) + " is closed";
}

int flushed(std::FILE* table) {
    if (std::fflush(table) == 0 && !std::ferror(table)) return 0;
    const int cause = errno;
    return failWith(std::string("cannot write the table to ") + nameOf(table) + ": " + std::strerror(cause), kExitFailed);
}

}  // namespace sharp::survey
