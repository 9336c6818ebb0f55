// Runs the built sharp-primes executable in a temporary folder with a given
// standard input and collects everything it wrote.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace sharp::test {

// The five report files by their name in the report folder.
inline constexpr const char* kReportNames[] = {"primality.txt", "mylist.txt", "Jun20.txt", "stp.txt", "sfp.txt"};

struct ProgramRun {
    int exitStatus = -1;
    std::string console;
    std::string errors;
    // The report files that exist after the run, by name.
    std::map<std::string, std::string> files;
    // Permission bits of each report file that exists after the run.
    std::map<std::string, std::filesystem::perms> modes;
};

struct ProgramSetup {
    std::string input;
    bool reportFolder = true;
    // Files already in the report folder before the run, by name.
    std::map<std::string, std::string> existingFiles;
    // Symbolic links in the report folder before the run: name to target.
    std::map<std::string, std::string> linkedFiles;
};

ProgramRun runProgram(const ProgramSetup& setup);

// Starts the program in `folder` with standard input from the file `inputFile`
// and standard output and error discarded; returns its process id.
int startProgram(const std::filesystem::path& folder, const std::filesystem::path& inputFile);

inline ProgramRun runProgram(const std::string& input, bool reportFolder = true) {
    return runProgram(ProgramSetup{input, reportFolder, {}, {}});
}

}  // namespace sharp::test
