#include "support/program_run.hpp"

#include <cstdlib>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/temp_dir.hpp"

namespace sharp::test {

ProgramRun runProgram(const ProgramSetup& setup) {
    TempDir dir;
    const auto folder = dir.path() / "primes";
    if (setup.reportFolder) std::filesystem::create_directory(folder);
    for (const auto& [name, content] : setup.existingFiles) writeFile(folder / name, content);
    for (const auto& [name, target] : setup.linkedFiles) std::filesystem::create_symlink(target, folder / name);
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
        if (!std::filesystem::exists(file) || std::filesystem::is_symlink(file)) continue;
        run.files[name] = readFile(file);
        run.modes[name] = std::filesystem::status(file).permissions();
    }
    return run;
}

int startProgram(const std::filesystem::path& folder, const std::filesystem::path& inputFile) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    const int input = ::open(inputFile.c_str(), O_RDONLY);
    const int discard = ::open("/dev/null", O_WRONLY);
    if (input < 0 || discard < 0 || ::chdir(folder.c_str()) != 0) ::_exit(127);
    ::dup2(input, STDIN_FILENO);
    ::dup2(discard, STDOUT_FILENO);
    ::dup2(discard, STDERR_FILENO);
    ::execl(SHARP_PRIMES_EXE, "sharp-primes", static_cast<char*>(nullptr));
    ::_exit(127);
}

}  // namespace sharp::test
