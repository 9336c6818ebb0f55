// Runs the built sharp-survey executable in a folder and collects what it wrote.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/temp_dir.hpp"

namespace sharp::survey::test {

struct SurveyRun {
    int status;
    std::string out, err;

    // Standard output without the time line, which differs from run to run.
    std::string table() const {
        const std::size_t at = out.find("time: ");
        return at == std::string::npos ? out : out.substr(0, at) + out.substr(out.find('\n', at) + 1);
    }
};

// Runs sharp-survey with `arguments` (shell words) in `folder`, under bash after
// `setup` (limits, say), its standard output to `output`.
inline SurveyRun runSurvey(const std::filesystem::path& folder, const std::string& arguments,
                           const std::string& setup = "", const std::string& output = "out.txt") {
    const std::string command = "cd '" + folder.string() + "' && bash -c '" + setup + " exec \"$0\" \"$@\"' '" +
                                SHARP_SURVEY_EXE "' " + arguments + " >" + output + " 2>err.txt </dev/null";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, sharp::test::readFile(folder / "out.txt"),
            sharp::test::readFile(folder / "err.txt")};
}

}  // namespace sharp::survey::test
