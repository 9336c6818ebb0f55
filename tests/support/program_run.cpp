#include "support/program_run.hpp"

#include <cstdlib>

#include <sys/wait.h>

#include "support/temp_dir.hpp"

namespace sharp::test {

ProgramRun runProgram(const ProgramSetup& setup) {
    TempDir dir;
    const auto folder = dir.path() / "primes";
    if (setup.reportFolder) std::filesystem::create_directory(folder);
    for (const auto& [name, content] : setup.existingFiles) writeFile(folder / name, content);
    writeFile(dir.path() / "stdin", setup.input);

    // umask 002 lets the test see the program's own permission bits, 0664.
    const std::string command = "cd '" + dir.path().string() + "' && umask 002 && '" SHARP_PRIMES_EXE
                                "' < stdin > stdout 2> stderr";
    const int status = std::system(command.c_str());

    ProgramRun run;
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.console = readFile(dir.path() / "stdout");
    run.errors = readFile(dir.path() / "stderr");
    for (const char* name : kReportNames) {
        const auto file = folder / name;
        if (!std::filesystem::exists(file)) continue;
        run.files[name] = readFile(file);
        run.modes[name] = std::filesystem::status(file).permissions();
    }
    return run;
}

}  // namespace sharp::test
